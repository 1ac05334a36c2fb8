// Port: starting other programs and watching them end. Command lines are CP932.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace norvax {

// A started program; 0 is none.
using ProcessHandle = std::int64_t;

// Environment variables set for one started program only, by name; an empty value removes
// the variable from what the program inherits.
using EnvironmentChanges = std::map<std::string, std::string>;

class Processes {
 public:
  virtual ~Processes() = default;

  // Starts a program from a command line (program path, optionally followed by arguments,
  // split as a shell splits words, quotes included; no shell runs), in directory when it is
  // not empty, with the program's environment changed as environment says. 0 when the
  // program could not be started.
  virtual ProcessHandle Start(const std::string& commandLine, const std::string& directory,
                              const EnvironmentChanges& environment = {}) = 0;

  // Ids of the started program and of every program it started, directly or through
  // others, that still run, for finding their windows. A launcher script that starts the
  // real program and ends leaves the real program here; empty once all have ended.
  virtual std::vector<std::uint32_t> ProcessTree(ProcessHandle process) = 0;

  // Waits at most timeoutMs for the started program and every program it started to end;
  // true when none is left.
  virtual bool WaitForExit(ProcessHandle process, std::uint32_t timeoutMs) = 0;

  // Lets go of a started program; it keeps running.
  virtual void Close(ProcessHandle process) = 0;

  // Asks the started program and every program it started to end (as a logout would), and
  // lets go of it.
  virtual void Terminate(ProcessHandle process) = 0;

  // Asks the desktop to open a file, folder or address with its usual program and returns
  // at once, never waiting for that program; false when the target is neither an existing
  // file or folder nor an address, or the desktop's opener is missing.
  virtual bool ShellOpen(const std::string& target) = 0;

  // Starts the guardian of the call in progress that was just recorded in the program
  // directory: a program of its own that outlives this one and, should this one end without
  // finishing the call (killed, or ended at once by a display server that went), hangs the
  // call up and logs it as the next start would, then ends; it also ends once the call is
  // no longer in progress. A guardian that cannot be started is reported on the error
  // stream: the next start then finishes the call.
  virtual void GuardCall() = 0;
};

// The words of a command line as a POSIX shell splits them: blanks separate words; single
// quotes keep everything; double quotes keep everything but \" \\ \$ \`; a backslash
// outside quotes keeps the next character. Nothing when a quote is left open.
std::optional<std::vector<std::string>> SplitCommandLine(const std::string& commandLine);

// word as one word of a command line, as SplitCommandLine reads it back: unchanged when it
// holds nothing SplitCommandLine splits or reads specially (blanks, quotes, backslashes),
// else in single quotes.
std::string QuoteCommandWord(const std::string& word);

}  // namespace norvax
