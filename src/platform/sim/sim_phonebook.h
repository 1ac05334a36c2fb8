// The simulated dialler's phonebook: a profile file in the program directory that lists
// the connections the simulated remote-access service knows, what each accepts and how
// each dial attempt ends.
//
//   [Connections]
//   1=Example Net
//   [Connection:Example Net]
//   Phone=03-1234-5678
//   User=taro
//   Password=secret
//   Attempt1=busy 800
//   Attempt2=connect 1500
//
// Attempts after the last scripted one repeat the last one. Outcomes: "busy",
// "noanswer", "badpassword", "error <code>", "connect", each followed by a delay in ms.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/remote_access.h"

namespace norvax {

class ProfileFile;
class SimConnections;

inline constexpr const char* kPhonebookFileName = "phonebook.ini";

enum class DialOutcome { Busy, NoAnswer, BadPassword, Error, Connect };

struct DialStepScript {
  DialOutcome outcome = DialOutcome::Connect;
  int errorCode = 0;  // for Error
  int delayMs = 0;

  bool operator==(const DialStepScript&) const = default;
};

struct PhonebookEntry {
  std::string name;  // CP932
  std::string phone;
  std::string user;
  std::string password;
  std::vector<DialStepScript> attempts;  // never empty for a valid entry

  // The script of attempt number n (from 1); the last one repeats.
  const DialStepScript& Attempt(int n) const;
};

struct Phonebook {
  std::vector<PhonebookEntry> entries;
  // One line per fault found, naming the connection and the key (UTF-8). Faulty
  // connections are left out of entries.
  std::vector<std::string> problems;

  const PhonebookEntry* Find(const std::string& name) const;
};

// Parses one step such as "busy 800" or "error 678 1000"; nothing when malformed.
std::optional<DialStepScript> ParseDialStep(const std::string& text);

Phonebook ReadPhonebook(const ProfileFile& file);

// The remote-access service of the simulated dialler. The phonebook is read afresh on
// each call, so edits take effect without a restart; a missing file is an empty book.
class SimRemoteAccess : public RemoteAccess {
 public:
  explicit SimRemoteAccess(std::string phonebookPath);

  std::vector<std::string> EnumPhonebookEntries() override;
  std::optional<std::string> GetEntryPhoneNumber(const std::string& connection) override;
  std::optional<std::string> ErrorString(int code) override;
  int FindConnection(const std::string& entryName, ConnectionHandle& connection) override;
  int GetConnectState(ConnectionHandle connection, int& state) override;
  bool HangUp(ConnectionHandle connection) override;
  int DialEntry(const std::string& entryName, const std::string& userName,
                const std::string& password, const std::string& dialNumber, DialNotifier notifier,
                ConnectionHandle& connection, std::string& errorText) override;

  Phonebook Load() const;

 private:
  SimConnections Connections() const;

  std::string path_;
};

}  // namespace norvax
