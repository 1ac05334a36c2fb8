// Moving the old lines of the connection log to the archive NORVALOG.OLD.
//
// A move never loses a line, even when the program is killed half-way: it first writes
// NORVALOG.TMP (a header with the cut-off and the archive's size, then every line of the
// log) in one step, then appends the old lines to the archive, replaces the log by the
// remaining lines in one step, and removes NORVALOG.TMP. A NORVALOG.TMP found later is
// finished from its own contents before anything else touches the log. Moves, their
// recovery and log writes hold the log's lock (kLogLockName), so that in every process
// they take turns.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "dialup/dates.h"
#include "platform/file_store.h"
#include "platform/user_dialogs.h"

namespace norvax {

// "%.4d/%.2d/%.2d" of the cut-off day.
std::string CutoffText(int year, int month, int day);

// The cut-off proposed when the log viewer opens: the 15th, three months before today.
Date DefaultCutoff(const Date& today);

// Whether a log line moves: its date key (first 10 characters) is not after the cut-off.
bool LineMoves(std::string_view line, std::string_view cutoff);

enum class LogMoveResult { kMoved, kFutureDate, kNoLog, kEmptyLog, kCancelled };

struct LogMoveOutcome {
  LogMoveResult result = LogMoveResult::kMoved;
  std::size_t moved = 0;  // lines now in the archive
  std::size_t kept = 0;   // lines left in the log
};

// The log viewer's move of the lines dated on or before cutoff ("yyyy/mm/dd"; compared as
// text). Errors are shown through dialogs with the system's messages; the user confirms
// before anything changes. The lock is not held while the user is asked (a call that ends
// meanwhile is logged from the question's event loop); the log is read again under it
// after the OK, and the lines logged meanwhile move or stay like the others. Empty lines
// are dropped; the lines after them are moved or kept like any other. A file error, or the
// lock held elsewhere too long, throws FileError; NORVALOG.TMP then lets the next move or
// the next start finish the work.
LogMoveOutcome MoveLog(FileStore& files, UserDialogs& dialogs, const std::string& cutoff,
                       const std::string& today);

// Finishes a move that was cut off, when NORVALOG.TMP is there, keeping the lines logged
// since at the end of the log. A NORVALOG.TMP without the header (from an older version,
// which renamed the log to it) is put back in front of the log, leaving out the log lines
// it already holds. True when something was recovered. The first form takes the log's
// lock for the time it works; the second is for a caller that holds it.
bool RecoverLogMove(FileStore& files);
bool RecoverLogMove(FileStore& files, const FileLock& held);

}  // namespace norvax
