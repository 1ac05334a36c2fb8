// The calls the program answers for until their log line is written: the call in progress
// and the calls that ended while their line could not be written (the log in use by another
// program for too long, a write error). They are kept in a file of the program directory,
// replaced in one step at every change, so that a program that ends without its own end (the
// display server gone, killed) leaves them behind: the next start of the program, or of a
// log command of norvaxctl, ends and logs them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dialup/connection_log.h"
#include "dialup/dates.h"
#include "dialup/holidays.h"
#include "platform/file_store.h"
#include "platform/profile_file.h"
#include "platform/remote_access.h"
#include "platform/user_dialogs.h"

namespace norvax {

inline constexpr const char* kCallRecordFileName = "NORVACALL.INI";

// How often the record of a call in progress is brought up to date: its last look is the
// call's end when the program ends without its own end and the connection is gone by the
// next start.
inline constexpr uint32_t kCallRefreshMs = 30000;

// A record of a call in progress whose last look is older than this (three looks missed), or
// newer than now, is a program's that stopped looking then: the call ended at that look.
inline constexpr int64_t kCallLooksMissedSeconds = 3 * kCallRefreshMs / 1000;

struct CallRecord {
  std::string entry;       // CP932: the entry's title
  std::string connection;  // CP932: the phonebook name, which the log line names
  std::string dialler;     // the remote-access service that made the call
  std::string profile;     // the entry's dial profile text
  bool log = false;        // the profile keeps a log
  int32_t attempts = 1;
  DateTime start;
  DateTime refreshed;      // the last look while the call was up
  int32_t seconds = 0;     // the call's seconds at that look; once ended, the whole call's
  DateTime end;            // all zero while the call is up
  std::string activation;  // what tells the connection's activation apart (RemoteAccess)
  std::optional<NotedLogLine> line;  // the log line once it is on its way to the log
  bool Ended() const { return end != DateTime{}; }
  bool operator==(const CallRecord&) const = default;
};

// The calls of the record file, oldest first; none when there is no file. A section the
// program did not write (no connection or start) is left out. Throws FileError.
std::vector<CallRecord> ReadCallRecords(const FileStore& files);

// Replaces the record file by calls, in one step; removes it when there are none. Throws
// FileError.
void StoreCallRecords(FileStore& files, const std::vector<CallRecord>& calls);

// Whether a busy log is waited for (as long as the log's lock waits) or the lines are kept
// for later at once.
enum class LockWait { kWait, kNoWait };

// "NORVAX  ﾛｸﾞに書き込めなかった接続は保存しました。..."
std::string PendingCallsMessage();

// Writes the log lines of the ended calls, oldest first, under one hold of the log's lock,
// and drops each from calls (and the record file) once written; a call whose profile keeps
// no log is just dropped. Each line is noted in the record file before it is written, and a
// noted line is written only when the log does not hold it where it was noted: a program
// that ends at any moment of this leaves every line in the log once. When the lock cannot
// be had or a line cannot be noted or written, that call and every later one stay, and
// report is told the reason and that they are kept.
void WriteEndedCalls(std::vector<CallRecord>& calls, FileStore& files, ProfileFile& logState,
                     const HolidayCalendar& holidays, UserDialogs& report, LockWait wait);

// What ending the calls a gone program left does with a connection that is still the call's:
// hang it up, the call ending now, or leave both as they are (a command that only lists).
enum class StillUp { kHangUp, kLeave };

// Ends the calls still in progress of a program that is gone. A call is still up only when
// its record was brought up to date a moment ago (kCallLooksMissedSeconds) and the dialler
// that made it, serving the directory now, has the very activation of the call up (the same
// connection brought up again is another call). Such a call is hung up and ends now, or is
// left in progress with the connection; every other call ended, as far as anyone knows, at
// the record's last look.
void EndLeftoverCalls(std::vector<CallRecord>& calls, const std::string& dialler,
                      RemoteAccess& remote, const DateTime& now, StillUp stillUp);

// At the start of a program that writes the log, while no copy of NORVAX runs on the
// directory: reads the record file into calls, ends the calls the copy before left in
// progress (EndLeftoverCalls) and logs every ended call. Problems go to report; calls that
// cannot be logged now, or are left up, stay in calls and in the file.
void FinishLeftoverCalls(std::vector<CallRecord>& calls, FileStore& files, ProfileFile& logState,
                         const HolidayCalendar& holidays, const std::string& dialler,
                         RemoteAccess& remote, const DateTime& now, StillUp stillUp,
                         UserDialogs& report);

}  // namespace norvax
