#include "platform/sim/sim_remote_access.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <thread>

#include "platform/cp932.h"
#include "platform/profile_file.h"

namespace norvax {

namespace {

// Connection states of the progress notifications.
constexpr int kConnectDeviceState = 2;
constexpr int kAllDevicesConnectedState = 4;
constexpr int kAuthNotifyState = 6;
constexpr int kStartAuthenticationState = 19;

// The dial was refused because the adapter's own state file cannot be written.
constexpr int kCannotOpenPhonebook = 621;

}  // namespace

struct SimRemoteAccess::Dial {
  Dial(ConnectionHandle h, std::string n, DialNotifier f)
      : handle(h), name(std::move(n)), notifier(std::move(f)) {}

  const ConnectionHandle handle;
  const std::string name;
  const DialNotifier notifier;
  std::thread thread;
  // Guarded by the adapter's mutex.
  bool cancelled = false;
  bool finished = false;
  bool connected = false;
  int lastState = 0;
};

SimRemoteAccess::SimRemoteAccess(std::string phonebookPath) : path_(std::move(phonebookPath)) {}

SimRemoteAccess::~SimRemoteAccess() {
  std::map<ConnectionHandle, std::unique_ptr<Dial>> dials;
  std::vector<std::unique_ptr<Dial>> hungUp;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    dials.swap(dials_);
    hungUp.swap(hungUp_);
  }
  wake_.notify_all();
  for (auto& [handle, dial] : dials) {
    if (dial->thread.joinable()) dial->thread.join();
  }
  for (auto& dial : hungUp) {
    if (dial->thread.joinable()) dial->thread.join();
  }
}

Phonebook SimRemoteAccess::Load() const {
  try {
    return ReadPhonebookFile(path_);
  } catch (const ReadError& e) {
    Phonebook book;
    book.problems.push_back(e.what());
    return book;
  }
}

std::optional<std::string> SimRemoteAccess::LastDialNumber() const {
  std::lock_guard lock(mutex_);
  return lastDialNumber_;
}

std::vector<std::string> SimRemoteAccess::EnumPhonebookEntries() {
  std::vector<std::string> names;
  for (const auto& entry : Load().entries) names.push_back(entry.name);
  return names;
}

std::optional<std::string> SimRemoteAccess::GetEntryPhoneNumber(const std::string& connection) {
  const Phonebook book = Load();
  const PhonebookEntry* entry = book.Find(connection);
  if (entry == nullptr) return std::nullopt;
  return entry->phone;
}

std::optional<std::string> SimRemoteAccess::ErrorString(int code) {
  switch (code) {
    case kCannotOpenPhonebook:
      return Sjis("電話帳ファイルを開けません。");
    case sim_error::kUnknownEntry:
      return Sjis("電話帳のエントリが見つかりません。");
    default:
      return Sjis("エラー ") + std::to_string(code) + Sjis(" が発生しました。");
  }
}

SimConnections SimRemoteAccess::Connections() const {
  return SimConnections(
      (std::filesystem::path(path_).parent_path() / kSimConnectionsFileName).string());
}

int SimRemoteAccess::FindConnection(const std::string& entryName, ConnectionHandle& connection) {
  if (auto handle = Connections().Find(entryName)) connection = *handle;
  return 0;
}

int SimRemoteAccess::GetConnectState(ConnectionHandle connection, int& state) {
  if (connection == 0) return 1;
  {
    // A dial that has not (yet) connected reports the state it reached until it is hung up.
    std::lock_guard lock(mutex_);
    auto it = dials_.find(connection);
    if (it != dials_.end() && !it->second->connected) {
      state = it->second->lastState;
      return 0;
    }
  }
  if (!Connections().NameOf(connection)) return sim_error::kInvalidHandle;
  state = kConnectedState;
  return 0;
}

std::string SimRemoteAccess::ActivationOf(ConnectionHandle connection) {
  if (connection == 0 || !Connections().NameOf(connection)) return {};
  return std::to_string(connection);
}

bool SimRemoteAccess::HangUp(ConnectionHandle connection) {
  if (connection == 0) return false;
  std::unique_ptr<Dial> dial;
  {
    std::lock_guard lock(mutex_);
    auto it = dials_.find(connection);
    if (it != dials_.end()) {
      dial = std::move(it->second);
      dials_.erase(it);
      dial->cancelled = true;
    }
  }
  wake_.notify_all();
  const bool dialOpen = dial != nullptr;
  if (dial) {
    if (dial->thread.get_id() == std::this_thread::get_id()) {
      // Hung up from its own notifier: the thread ends after the notifier returns.
      std::lock_guard lock(mutex_);
      hungUp_.push_back(std::move(dial));
    } else if (dial->thread.joinable()) {
      // Nothing of this dial can arrive once its thread has ended.
      dial->thread.join();
    }
  }
  // A connection that came up before the cancel reached the dial goes down as well.
  const bool connectionOpen = Connections().HangUp(connection);
  return dialOpen || connectionOpen;
}

void SimRemoteAccess::ReapFinished() {
  for (auto& [handle, dial] : dials_) {
    if (dial->finished && dial->thread.joinable()) dial->thread.join();
  }
  std::erase_if(hungUp_, [](const std::unique_ptr<Dial>& dial) {
    if (!dial->finished) return false;
    if (dial->thread.joinable()) dial->thread.join();
    return true;
  });
}

int SimRemoteAccess::DialEntry(const std::string& entryName, const std::string& userName,
                               const std::string& password, const std::string& dialNumber,
                               DialNotifier notifier, ConnectionHandle& connection,
                               std::string& errorText) {
  {
    std::lock_guard lock(mutex_);
    lastDialNumber_ = dialNumber;
  }
  const Phonebook book = Load();
  const PhonebookEntry* entry = book.Find(entryName);
  if (entry == nullptr) {
    errorText = *ErrorString(sim_error::kUnknownEntry);
    return 1;
  }
  const bool accepted = entry->Accepts(userName, password);
  ConnectionHandle handle = 0;
  try {
    handle = Connections().NewHandle();
  } catch (const std::exception&) {
    errorText = *ErrorString(kCannotOpenPhonebook);
    return 1;
  }

  std::lock_guard lock(mutex_);
  if (stopping_) {
    errorText = *ErrorString(sim_error::kUnknownEntry);
    return 1;
  }
  ReapFinished();
  const DialStepScript step = entry->Attempt(++attemptsMade_[entryName]);
  auto owned = std::make_unique<Dial>(handle, entryName, std::move(notifier));
  Dial& dial = *owned;
  dials_[handle] = std::move(owned);
  // The thread waits for the mutex held here before it reads anything of the dial.
  dial.thread = std::thread([this, &dial, step, accepted] { Run(dial, step, accepted); });
  connection = handle;
  return 0;
}

bool SimRemoteAccess::Deliver(Dial& dial, int state, int errorCode) {
  {
    std::lock_guard lock(mutex_);
    if (dial.cancelled || stopping_) return false;
    dial.lastState = state;
  }
  if (dial.notifier) dial.notifier(kDialEventMessage, state, errorCode);
  return true;
}

void SimRemoteAccess::Run(Dial& dial, DialStepScript step, bool credentialsAccepted) {
  {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(step.delayMs),
                   [&] { return dial.cancelled || stopping_; });
  }
  const auto authenticate = [&] {
    return Deliver(dial, kAllDevicesConnectedState, 0) && Deliver(dial, kAuthNotifyState, 0) &&
           Deliver(dial, kStartAuthenticationState, 0);
  };
  switch (step.outcome) {
    case DialOutcome::Busy:
      Deliver(dial, kConnectDeviceState, sim_error::kLineBusy);
      break;
    case DialOutcome::NoAnswer:
      Deliver(dial, kConnectDeviceState, sim_error::kNoAnswer);
      break;
    case DialOutcome::Error:
      Deliver(dial, kConnectDeviceState, step.errorCode);
      break;
    case DialOutcome::BadPassword:
      if (authenticate()) Deliver(dial, kStartAuthenticationState, sim_error::kAccessDenied);
      break;
    case DialOutcome::Connect: {
      if (!authenticate()) break;
      if (!credentialsAccepted) {
        Deliver(dial, kStartAuthenticationState, sim_error::kAccessDenied);
        break;
      }
      {
        std::lock_guard lock(mutex_);
        if (dial.cancelled || stopping_) break;
      }
      // A HangUp from now on waits for this thread and then takes the connection down.
      bool up = true;
      try {
        Connections().BringUpAs(dial.handle, dial.name);
      } catch (const std::exception&) {
        up = false;
      }
      if (!up) {
        Deliver(dial, kStartAuthenticationState, kCannotOpenPhonebook);
        break;
      }
      {
        std::lock_guard lock(mutex_);
        dial.connected = true;
      }
      Deliver(dial, kConnectedState, 0);
      break;
    }
  }
  std::lock_guard lock(mutex_);
  dial.finished = true;
}

}  // namespace norvax
