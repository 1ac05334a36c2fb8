// A remote-access service with a phonebook set by the test.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/remote_access.h"

namespace norvax::fakes {

class FakeRemoteAccess : public RemoteAccess {
 public:
  std::vector<std::string> EnumPhonebookEntries() override {
    std::vector<std::string> names;
    for (auto& [name, number] : phonebook) names.push_back(name);
    return names;
  }
  std::optional<std::string> GetEntryPhoneNumber(const std::string& connection) override {
    for (auto& [name, number] : phonebook) {
      if (name == connection) return number;
    }
    return std::nullopt;
  }
  std::optional<std::string> ErrorString(int code) override {
    auto it = errorTexts.find(code);
    if (it == errorTexts.end()) return std::nullopt;
    return it->second;
  }

  int FindConnection(const std::string& entryName, ConnectionHandle& connection) override {
    if (enumerationFails) return 9;
    auto it = open.find(entryName);
    if (it != open.end()) connection = it->second;
    return 0;
  }
  int GetConnectState(ConnectionHandle connection, int& state) override {
    ++connectStateQueries;
    if (connection == 0) return 1;
    for (auto& [name, handle] : open) {
      if (handle == connection) {
        state = connectState;
        return 0;
      }
    }
    return 6;
  }
  // An open connection's activation is its handle here: a test that brings a connection up
  // again gives it another one.
  std::string ActivationOf(ConnectionHandle connection) override {
    for (auto& [name, handle] : open) {
      if (handle == connection) return std::to_string(handle);
    }
    return {};
  }
  bool HangUp(ConnectionHandle connection) override {
    hungUp.push_back(connection);
    if (lineLingers) return true;
    return std::erase_if(open, [&](const auto& kv) { return kv.second == connection; }) > 0;
  }

  // Records the dial and keeps its notifier; the test plays the progress with Notify.
  int DialEntry(const std::string& entryName, const std::string& userName,
                const std::string& password, const std::string& dialNumber, DialNotifier notifier,
                ConnectionHandle& connection, std::string& errorText) override {
    dials.push_back({entryName, userName, password, dialNumber});
    if (refuseDial) {
      errorText = refusalText;
      return 1;
    }
    connection = ++lastHandle;
    this->notifier = std::move(notifier);
    return 0;
  }
  void Notify(int connectionState, int errorCode) { notifier(0xCCCD, connectionState, errorCode); }

  struct Dial {
    std::string entryName, userName, password, dialNumber;
  };
  std::vector<Dial> dials;
  DialNotifier notifier;
  bool refuseDial = false;
  std::string refusalText;
  ConnectionHandle lastHandle = 0;

  std::vector<std::pair<std::string, std::string>> phonebook;  // name, number
  std::map<std::string, ConnectionHandle> open;                // connections that are up
  int connectState = kConnectedState;
  bool enumerationFails = false;
  bool lineLingers = false;  // a connection hung up stays up
  int connectStateQueries = 0;
  std::vector<ConnectionHandle> hungUp;
  std::map<int, std::string> errorTexts;
};

}  // namespace norvax::fakes
