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
// The file is saved in CP932 or, as today's editors save it, in UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norvax {

class ProfileFile;

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
  // Whether a user name and password log in: each is checked only when the entry lists one.
  bool Accepts(const std::string& userName, const std::string& pass) const {
    return (user.empty() || userName == user) && (password.empty() || pass == password);
  }
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

// How the phonebook file stores its text.
enum class PhonebookEncoding { kCp932, kUtf8 };

// UTF-8 when the whole file is valid UTF-8 and holds more than ASCII; CP932 otherwise.
PhonebookEncoding PhonebookEncodingOf(std::string_view contents);

// The connections of the file; names, numbers, users and passwords come out as CP932. A
// connection whose UTF-8 text has no CP932 form is a fault.
Phonebook ReadPhonebook(const ProfileFile& file, PhonebookEncoding encoding);

// The phonebook file at path in whichever encoding it is saved; an empty book when the
// file is missing. Throws ReadError when it cannot be read.
Phonebook ReadPhonebookFile(const std::string& path);

}  // namespace norvax
