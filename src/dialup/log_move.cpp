#include "dialup/log_move.h"

#include <cstdio>
#include <optional>
#include <unordered_set>
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

// Archive, then log, then the temporary file goes: each step can be done again safely.
void FinishMove(FileStore& files, const std::vector<std::string>& lines, std::string_view cutoff,
                uint64_t archiveSize, LogMoveOutcome* outcome) {
  std::vector<std::string> moved;
  std::vector<std::string> kept;
  for (const auto& line : lines) {
    if (line.empty()) continue;
    (LineMoves(line, cutoff) ? moved : kept).push_back(line);
  }
  files.Truncate(kLogArchiveName, archiveSize);
  files.Append(kLogArchiveName, Joined(moved));
  files.Replace(kLogFileName, Joined(kept));
  files.Remove(kLogTempName);
  if (outcome) {
    outcome->moved = moved.size();
    outcome->kept = kept.size();
  }
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
  if (!files.Exists(kLogTempName)) return false;
  auto temp = ReadAllLines(files, kLogTempName);
  std::optional<MoveHeader> header;
  if (!temp.empty()) header = ParseHeader(temp.front());
  if (header) {
    temp.erase(temp.begin());
    FinishMove(files, temp, header->cutoff, header->archiveSize, nullptr);
    return true;
  }
  // An older move renamed the log to the temporary file and then wrote some of the lines
  // back; everything it held goes back in front of what the log holds now.
  std::vector<std::string> lines;
  std::unordered_set<std::string> held;
  for (auto& line : temp) {
    if (line.empty()) continue;
    held.insert(line);
    lines.push_back(line);
  }
  for (auto& line : ReadAllLines(files, kLogFileName)) {
    if (!line.empty() && !held.count(line)) lines.push_back(line);
  }
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
  if (!files.Exists(kLogFileName)) {
    dialogs.ShowError(Sjis("ログファイルがありません。"));
    outcome.result = LogMoveResult::kNoLog;
    return outcome;
  }
  std::vector<std::string> lines;
  for (auto& line : ReadAllLines(files, kLogFileName)) {
    if (!line.empty()) lines.push_back(std::move(line));
  }
  if (lines.empty()) {
    dialogs.ShowError(Sjis("ログが０件です。"));
    outcome.result = LogMoveResult::kEmptyLog;
    return outcome;
  }
  std::string question = cutoff + Sjis("以前のログを移動します。") + "\r\n\r\n" +
                         Cp932ForDisplay(files.PathOf(kLogFileName)) + " -> \r\n" +
                         Cp932ForDisplay(files.PathOf(kLogArchiveName));
  if (!dialogs.ConfirmOkCancel(question)) {
    outcome.result = LogMoveResult::kCancelled;
    return outcome;
  }
  uint64_t archiveSize = files.Size(kLogArchiveName).value_or(0);
  std::string temp = std::string(kHeaderMark) + cutoff + "\t" +
                     DecimalText(static_cast<int64_t>(archiveSize)) + "\r\n" + Joined(lines);
  files.Replace(kLogTempName, temp);
  FinishMove(files, lines, cutoff, archiveSize, &outcome);
  return outcome;
}

}  // namespace norvax
