// The connection log NORVA.LOG, its per-connection state file NORVALOG.INI, and the line
// that ends every logged connection.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "dialup/dates.h"
#include "dialup/dial_profile.h"
#include "dialup/holidays.h"
#include "platform/file_store.h"
#include "platform/profile_file.h"

namespace norvax {

inline constexpr const char* kLogFileName = "NORVA.LOG";
inline constexpr const char* kLogStateFileName = "NORVALOG.INI";
inline constexpr const char* kLogArchiveName = "NORVALOG.OLD";
inline constexpr const char* kLogTempName = "NORVALOG.TMP";
// Log writes and log moves of every process take turns through this lock file.
inline constexpr const char* kLogLockName = "NORVALOG.LCK";

// The value a missing key of the state file reads as.
inline constexpr const char* kMissingStateValue = "ERROR@@";

// Per connection: the start date of the last logged call and the connection seconds of the
// current billing month.
struct LogState {
  std::string lastDate = kMissingStateValue;
  int32_t cumulative = 0;
  bool operator==(const LogState&) const = default;
};

LogState ReadLogState(const ProfileFile& stateFile, const std::string& entryName);
// Throws WriteError when the state file cannot be written.
void WriteLogState(ProfileFile& stateFile, const std::string& entryName, const LogState& state);

// One connection to log.
struct LoggedConnection {
  std::string entryName;  // CP932
  DateTime start;
  DateTime end;
  int32_t duration = 0;  // whole seconds
  int32_t attempts = 1;
};

struct ComposedLogLine {
  std::string line;  // without the line end
  LogState state;    // to store after the call
  bool operator==(const ComposedLogLine&) const = default;
};

// The log line of a connection and the state that follows it, from the state before it.
ComposedLogLine ComposeLogLine(const LoggedConnection& connection, const ParsedProfile& profile,
                               const LogState& before, const HolidayCalendar& holidays);

// Whole seconds of a call from the tick counts of the millisecond clock at its start and
// end. The clock wraps at 2^32 ms (about 49.7 days); the wall-clock times of the start and
// end tell how often it wrapped during a longer call.
int32_t DurationSeconds(uint32_t startTick, uint32_t endTick, const DateTime& start,
                        const DateTime& end);

// A line on its way to the log, noted (by the caller, where it survives the program) before
// anything is written, so that a program that ends half-way through the write has it
// finished once: the line and the state that follows it, and the size of the log before it.
struct NotedLogLine {
  ComposedLogLine composed;
  uint64_t logSize = 0;
  bool operator==(const NotedLogLine&) const = default;
};

// The line of a connection from the state file as it is now, and the log's size; for a
// caller that holds the log's lock.
NotedLogLine NoteLogLine(const ProfileFile& stateFile, const FileStore& files,
                         const HolidayCalendar& holidays, const LoggedConnection& connection,
                         const ParsedProfile& profile);

// Writes a noted line for a caller that holds the log's lock, unless the log holds it
// already where it was noted: the state of the connection entryName first, then the line,
// flushed. A piece of the line that ends the log (a write cut off) is cut away first, so
// that the line is there once and whole. A failed state write throws WriteError and writes
// no line; a failed write of the log throws FileError.
void WriteNotedLogLine(ProfileFile& stateFile, FileStore& files, const FileLock& held,
                       const std::string& entryName, const NotedLogLine& noted);

// Appends the line of a connection to the log and updates the state file, holding the
// log's lock, as WriteNotedLogLine does. A lock held elsewhere for too long throws FileError
// and changes nothing. A log move left unfinished is completed first; when that fails, the
// line is appended all the same and the move's error is returned, for the user to be told.
[[nodiscard]] std::optional<FileError> WriteLogLine(ProfileFile& stateFile, FileStore& files,
                                                    const HolidayCalendar& holidays,
                                                    const LoggedConnection& connection,
                                                    const ParsedProfile& profile);
// The same for a caller that holds the log's lock.
[[nodiscard]] std::optional<FileError> WriteLogLine(ProfileFile& stateFile, FileStore& files,
                                                    const FileLock& held,
                                                    const HolidayCalendar& holidays,
                                                    const LoggedConnection& connection,
                                                    const ParsedProfile& profile);

// Sequential access to the log, one open file at a time.
class LogFile {
 public:
  explicit LogFile(FileStore& files) : files_(files) {}
  // False when the log does not exist (nothing is opened).
  bool OpenForReading();
  // False at the end of the log.
  bool ReadLine(std::string& line);
  // Appends one line and its line end, flushed to disk.
  void WriteLine(std::string_view line);
  void Close() { reader_.reset(); }

 private:
  FileStore& files_;
  std::unique_ptr<LineReader> reader_;
};

// The lines of the log up to the first empty line; nothing when there is no log.
std::optional<std::vector<std::string>> ReadLogLines(FileStore& files);

// The fields of a log line: views of the line itself, but for a quoted field with two double
// quotes standing for one, which is a view of the fields' own copy of its text. They are valid
// while the line lives, until the next split. A split reuses the memory of the one before, so
// reading a log line by line allocates nothing once it has seen the longest line.
class LogFields {
 public:
  std::size_t Size() const { return fields_.size(); }
  // Field i (from 0).
  std::string_view operator[](std::size_t i) const { return fields_[i]; }

 private:
  friend void SplitLogLine(std::string_view line, LogFields& fields, std::size_t maxFields);
  std::vector<std::string_view> fields_;
  std::string copies_;  // the quoted fields that held doubled double quotes, one after another
};

// Splits a log line into its fields: blanks (characters up to the space) separate fields
// as commas do, a field in double quotes runs to the closing quote with two double quotes
// standing for one. Only the first 4095 characters count. With maxFields, the fields after
// that many are not split.
void SplitLogLine(std::string_view line, LogFields& fields,
                  std::size_t maxFields = std::numeric_limits<std::size_t>::max());
std::vector<std::string> SplitLogLine(std::string_view line);

// A line that lacks a field or holds text where a number belongs. what() is CP932.
class LogFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Field `number` (from 1) of a split line as an integer; throws LogFormatError naming
// lineNumber (from 1) when it is missing or not a number.
int32_t LogNumberField(const LogFields& fields, std::size_t number, int64_t lineNumber);

}  // namespace norvax
