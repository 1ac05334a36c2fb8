#include "dialup/call_record.h"

#include <algorithm>
#include <charconv>

#include "core/decimal.h"
#include "dialup/log_move.h"
#include "platform/cp932.h"

namespace norvax {
namespace {

constexpr std::string_view kSection = "[Call]";

std::string DateTimeText(const DateTime& t) {
  if (t == DateTime{}) return {};
  return DateText(t) + " " + TimeText(t);
}

DateTime DateTimeValue(const std::string& text) {
  DateTime t;
  return ParseDateTimeText(text, t) ? t : DateTime{};
}

int32_t NumberValue(const std::string& text, int32_t fallback) {
  return ParseDecimal(text).value_or(fallback);
}

uint64_t SizeValue(const std::string& text) {
  uint64_t size = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
  return error == std::errc{} && end == text.data() + text.size() ? size : 0;
}

// The noted log line of a call, made when one of its keys is read.
NotedLogLine& Noted(CallRecord& call) { return call.line ? *call.line : call.line.emplace(); }

void SetField(CallRecord& call, std::string_view key, const std::string& value) {
  if (key == "Entry") call.entry = value;
  if (key == "Connection") call.connection = value;
  if (key == "Dialler") call.dialler = value;
  if (key == "Profile") call.profile = value;
  if (key == "Log") call.log = value == "1";
  if (key == "Attempts") call.attempts = NumberValue(value, 1);
  if (key == "Start") call.start = DateTimeValue(value);
  if (key == "Refreshed") call.refreshed = DateTimeValue(value);
  if (key == "Seconds") call.seconds = NumberValue(value, 0);
  if (key == "End") call.end = DateTimeValue(value);
  if (key == "Activation") call.activation = value;
  if (key == "Line") Noted(call).composed.line = value;
  if (key == "LineAt") Noted(call).logSize = SizeValue(value);
  if (key == "LineDate") Noted(call).composed.state.lastDate = value;
  if (key == "LineSeconds") Noted(call).composed.state.cumulative = NumberValue(value, 0);
}

std::string NoteText(const std::optional<NotedLogLine>& noted) {
  if (!noted) return {};
  return "Line=" + noted->composed.line + "\r\nLineAt=" + std::to_string(noted->logSize) +
         "\r\nLineDate=" + noted->composed.state.lastDate +
         "\r\nLineSeconds=" + DecimalText(noted->composed.state.cumulative) + "\r\n";
}

int32_t ClampedSeconds(int64_t seconds) {
  return static_cast<int32_t>(std::clamp<int64_t>(seconds, 0, INT32_MAX));
}

// Stores calls; a failure is reported, and the calls stay as they are in memory.
void Keep(FileStore& files, const std::vector<CallRecord>& calls, UserDialogs& report) {
  try {
    StoreCallRecords(files, calls);
  } catch (const FileError& e) {
    report.ShowError(e.Message());
  }
}

}  // namespace

std::vector<CallRecord> ReadCallRecords(const FileStore& files) {
  std::vector<CallRecord> calls;
  bool inCall = false;
  for (const std::string& line : ReadAllLines(files, kCallRecordFileName)) {
    if (line.starts_with('[')) {
      inCall = line == kSection;
      if (inCall) calls.emplace_back();
      continue;
    }
    const auto equals = line.find('=');
    if (inCall && equals != std::string::npos) {
      SetField(calls.back(), std::string_view(line).substr(0, equals), line.substr(equals + 1));
    }
  }
  std::erase_if(calls,
                [](const CallRecord& c) { return c.connection.empty() || c.start == DateTime{}; });
  for (CallRecord& c : calls) {
    if (c.line && c.line->composed.line.empty()) c.line.reset();
  }
  return calls;
}

void StoreCallRecords(FileStore& files, const std::vector<CallRecord>& calls) {
  if (calls.empty()) {
    files.Remove(kCallRecordFileName);
    return;
  }
  std::string text;
  for (const CallRecord& c : calls) {
    text += std::string(kSection) + "\r\nEntry=" + c.entry + "\r\nConnection=" + c.connection +
            "\r\nDialler=" + c.dialler + "\r\nProfile=" + c.profile +
            "\r\nLog=" + (c.log ? "1" : "0") + "\r\nAttempts=" + DecimalText(c.attempts) +
            "\r\nStart=" + DateTimeText(c.start) + "\r\nRefreshed=" + DateTimeText(c.refreshed) +
            "\r\nSeconds=" + DecimalText(c.seconds) + "\r\nEnd=" + DateTimeText(c.end) +
            "\r\nActivation=" + c.activation + "\r\n" + NoteText(c.line);
  }
  files.Replace(kCallRecordFileName, text);
}

std::string PendingCallsMessage() {
  return Sjis(
      "NORVAX  ﾛｸﾞに書き込めなかった接続は保存しました。"
      "次回のﾛｸﾞの書き込み・移動、または次回の起動時に書き込みます。");
}

void WriteEndedCalls(std::vector<CallRecord>& calls, FileStore& files, ProfileFile& logState,
                     const HolidayCalendar& holidays, UserDialogs& report, LockWait wait) {
  if (std::none_of(calls.begin(), calls.end(), [](const CallRecord& c) { return c.Ended(); })) {
    return;
  }
  const auto keptFor = [&](const std::string& reason) {
    Keep(files, calls, report);
    report.ShowError(reason + "\r\n" + PendingCallsMessage());
  };
  try {
    auto lock = wait == LockWait::kWait ? files.Lock(kLogLockName) : files.TryLock(kLogLockName);
    if (!lock) throw FileError(files.PathOf(kLogLockName), "in use by another program");
    // A move that cannot be finished now does not cost a call its line: the line goes to
    // the end of the log, where the move's recovery keeps it, and the move is tried again
    // at the next write, move or start.
    std::optional<FileError> moveWaits;
    bool moveTried = false;
    for (auto call = calls.begin(); call != calls.end();) {
      if (!call->Ended()) {
        ++call;
        continue;
      }
      if (call->log && !moveTried) {
        moveTried = true;
        try {
          RecoverLogMove(files, *lock);
        } catch (const FileError& e) {
          moveWaits = e;
        }
      }
      if (call->log && !call->line) {
        try {
          call->line =
              NoteLogLine(logState, files, holidays,
                          {call->connection, call->start, call->end, call->seconds, call->attempts},
                          ParseProfile(call->profile));
        } catch (const ProfileError& e) {
          // Never logged, now or later: the profile was readable when the call began.
          report.ShowError(e.what());
        }
        try {
          if (call->line) StoreCallRecords(files, calls);
        } catch (const FileError&) {
          call->line.reset();  // a line not noted is not written
          throw;
        }
      }
      if (call->line) WriteNotedLogLine(logState, files, *lock, call->connection, *call->line);
      call = calls.erase(call);
      Keep(files, calls, report);
    }
    if (moveWaits) report.ShowError(moveWaits->Message());
  } catch (const FileError& e) {
    keptFor(e.Message());
  } catch (const WriteError& e) {
    keptFor(e.Message());
  }
}

void EndLeftoverCalls(std::vector<CallRecord>& calls, const std::string& dialler,
                      RemoteAccess& remote, const DateTime& now, StillUp stillUp) {
  for (CallRecord& call : calls) {
    if (call.Ended()) continue;
    const int64_t sinceLook = SecondsBetween(call.refreshed, now);
    ConnectionHandle up = 0;
    int state = 0;
    const bool callUp = sinceLook >= 0 && sinceLook <= kCallLooksMissedSeconds &&
                        !call.activation.empty() && call.dialler == dialler &&
                        remote.FindConnection(call.connection, up) == 0 && up != 0 &&
                        remote.GetConnectState(up, state) == 0 && state == kConnectedState &&
                        remote.ActivationOf(up) == call.activation;
    if (callUp && stillUp == StillUp::kLeave) continue;
    if (callUp && remote.HangUp(up)) {
      call.seconds = ClampedSeconds(int64_t{call.seconds} + sinceLook);
      call.end = now;
    } else {
      call.end = call.refreshed;
    }
  }
}

void FinishLeftoverCalls(std::vector<CallRecord>& calls, FileStore& files, ProfileFile& logState,
                         const HolidayCalendar& holidays, const std::string& dialler,
                         RemoteAccess& remote, const DateTime& now, StillUp stillUp,
                         UserDialogs& report) {
  try {
    calls = ReadCallRecords(files);
  } catch (const FileError& e) {
    report.ShowError(e.Message());
    return;
  }
  if (calls.empty()) return;
  EndLeftoverCalls(calls, dialler, remote, now, stillUp);
  Keep(files, calls, report);
  WriteEndedCalls(calls, files, logState, holidays, report, LockWait::kWait);
}

}  // namespace norvax
