#include "dialup/log_move.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

#include "core/decimal.h"
#include "dialup/connection_log.h"
#include "platform/cp932.h"

namespace norvax {
namespace {

constexpr std::string_view kHeaderMark = "#NORVAX-LOG-MOVE\t";

std::string Joined(const std::vector<std::string>& lines) {
  std::size_t size = 0;
  for (const auto& line : lines) size += line.size() + 2;
  std::string data;
  data.reserve(size);
  for (const auto& line : lines) {
    data += line;
    data += "\r\n";
  }
  return data;
}

std::vector<std::string> NonEmpty(std::vector<std::string> lines) {
  std::erase(lines, std::string());
  return lines;
}

// Archive, then log, then the temporary file goes: each step can be done again safely.
// `lines` are the lines of the move, `since` the lines logged after it began, which stay.
void FinishMove(FileStore& files, const std::vector<std::string>& lines, std::string_view cutoff,
                uint64_t archiveSize, const std::vector<std::string>& since,
                LogMoveOutcome* outcome) {
  std::vector<std::string> moved;
  std::vector<std::string> kept;
  for (const auto& line : lines) {
    if (line.empty()) continue;
    (LineMoves(line, cutoff) ? moved : kept).push_back(line);
  }
  files.Truncate(kLogArchiveName, archiveSize);
  files.Append(kLogArchiveName, Joined(moved));
  files.Replace(kLogFileName, Joined(kept) + Joined(since));
  files.Remove(kLogTempName);
  if (outcome) {
    outcome->moved = moved.size();
    outcome->kept = kept.size();
  }
}

bool StartsWith(const std::vector<std::string>& lines, const std::vector<std::string>& head) {
  return lines.size() >= head.size() && std::equal(head.begin(), head.end(), lines.begin());
}

// The lines logged after a move began that was cut off: they were appended to the log
// while the move could not be finished. The log is then the move's lines (not yet
// replaced) or its kept lines (replaced), followed by those. When both fit, the log was
// not replaced: the other reading would need the calls logged since to repeat moved lines,
// start time included. A log that starts with neither was changed by other hands; then
// every line that the move's lines do not account for, counted by how often each occurs,
// is kept.
std::vector<std::string> LoggedSince(const std::vector<std::string>& log,
                                     const std::vector<std::string>& lines,
                                     std::string_view cutoff) {
  std::vector<std::string> kept;
  for (const auto& line : lines) {
    if (!LineMoves(line, cutoff)) kept.push_back(line);
  }
  for (const auto& head : {std::cref(lines), std::cref(kept)}) {
    if (StartsWith(log, head)) {
      return {log.begin() + static_cast<long>(head.get().size()), log.end()};
    }
  }
  std::unordered_map<std::string, std::size_t> count;
  for (const auto& line : lines) ++count[line];
  std::vector<std::string> since;
  for (const auto& line : log) {
    auto it = count.find(line);
    if (it != count.end() && it->second > 0) {
      --it->second;
    } else {
      since.push_back(line);
    }
  }
  return since;
}

struct MoveHeader {
  std::string cutoff;
  uint64_t archiveSize = 0;
};

std::optional<MoveHeader> ParseHeader(std::string_view line) {
  if (line.substr(0, kHeaderMark.size()) != kHeaderMark) return std::nullopt;
  line.remove_prefix(kHeaderMark.size());
  auto tab = line.find('\t');
  if (tab == std::string_view::npos) return std::nullopt;
  MoveHeader header;
  header.cutoff = std::string(line.substr(0, tab));
  std::string_view size = line.substr(tab + 1);
  if (size.empty()) return std::nullopt;
  for (char c : size) {
    if (c < '0' || c > '9') return std::nullopt;
    header.archiveSize = header.archiveSize * 10 + static_cast<uint64_t>(c - '0');
  }
  return header;
}

}  // namespace

std::string CutoffText(int year, int month, int day) { return DateText(year, month, day); }

Date DefaultCutoff(const Date& today) {
  if (today.month > 3) return {today.year, today.month - 3, 15};
  return {today.year - 1, today.month + 9, 15};
}

bool LineMoves(std::string_view line, std::string_view cutoff) {
  return !(line.substr(0, 10) > cutoff);
}

bool RecoverLogMove(FileStore& files) {
  auto lock = files.Lock(kLogLockName);
  return RecoverLogMove(files, *lock);
}

bool RecoverLogMove(FileStore& files, const FileLock&) {
  if (!files.Exists(kLogTempName)) return false;
  auto temp = ReadAllLines(files, kLogTempName);
  std::optional<MoveHeader> header;
  if (!temp.empty()) header = ParseHeader(temp.front());
  auto log = NonEmpty(ReadAllLines(files, kLogFileName));
  if (header) {
    temp.erase(temp.begin());
    temp = NonEmpty(std::move(temp));
    auto since = LoggedSince(log, temp, header->cutoff);
    FinishMove(files, temp, header->cutoff, header->archiveSize, since, nullptr);
    return true;
  }
  // An older move renamed the log to the temporary file and was writing the lines it kept
  // back to a new log, in their order, when it stopped; calls logged later follow them.
  // Everything the temporary file holds goes back in front. The log's leading lines that
  // are found in the temporary file in order, each of its lines standing for one log line
  // at most, were written back; the first line that is not is a later call, and so is every
  // line after it. Equal lines are separate calls and all stay.
  auto lines = NonEmpty(std::move(temp));
  std::size_t held = 0;
  std::size_t next = 0;
  for (; held < log.size(); ++held) {
    auto found = std::find(lines.begin() + static_cast<long>(next), lines.end(), log[held]);
    if (found == lines.end()) break;
    next = static_cast<std::size_t>(found - lines.begin()) + 1;
  }
  lines.insert(lines.end(), log.begin() + static_cast<long>(held), log.end());
  files.Replace(kLogFileName, Joined(lines));
  files.Remove(kLogTempName);
  return true;
}

LogMoveOutcome MoveLog(FileStore& files, UserDialogs& dialogs, const std::string& cutoff,
                       const std::string& today) {
  LogMoveOutcome outcome;
  RecoverLogMove(files);
  if (cutoff > today) {
    dialogs.ShowError(cutoff + Sjis("は未来日付です。"));
    outcome.result = LogMoveResult::kFutureDate;
    return outcome;
  }
  // The lines to move; nothing, with the refusal shown, when there are none. Never shown
  // while the lock is held: a log write waiting for it in the message box's event loop
  // would wait for the program itself.
  auto read = [&files](std::vector<std::string>& lines) {
    if (!files.Exists(kLogFileName)) return LogMoveResult::kNoLog;
    lines = NonEmpty(ReadAllLines(files, kLogFileName));
    return lines.empty() ? LogMoveResult::kEmptyLog : LogMoveResult::kMoved;
  };
  auto refuse = [&dialogs, &outcome](LogMoveResult result) {
    dialogs.ShowError(
        Sjis(result == LogMoveResult::kNoLog ? "ログファイルがありません。" : "ログが０件です。"));
    outcome.result = result;
    return outcome;
  };
  std::vector<std::string> lines;
  if (auto result = read(lines); result != LogMoveResult::kMoved) return refuse(result);
  std::string question = cutoff + Sjis("以前のログを移動します。") + "\r\n\r\n" +
                         Cp932ForDisplay(files.PathOf(kLogFileName)) + " -> \r\n" +
                         Cp932ForDisplay(files.PathOf(kLogArchiveName));
  if (!dialogs.ConfirmOkCancel(question)) {
    outcome.result = LogMoveResult::kCancelled;
    return outcome;
  }
  LogMoveResult result;
  {
    // What the log holds now moves: calls may have been logged, or another program may
    // have moved lines, while the user was asked.
    auto lock = files.Lock(kLogLockName);
    RecoverLogMove(files, *lock);
    result = read(lines);
    if (result == LogMoveResult::kMoved) {
      uint64_t archiveSize = files.Size(kLogArchiveName).value_or(0);
      std::string temp = std::string(kHeaderMark) + cutoff + "\t" +
                         DecimalText(static_cast<int64_t>(archiveSize)) + "\r\n" + Joined(lines);
      files.Replace(kLogTempName, temp);
      FinishMove(files, lines, cutoff, archiveSize, {}, &outcome);
      return outcome;
    }
  }
  return refuse(result);
}

}  // namespace norvax
