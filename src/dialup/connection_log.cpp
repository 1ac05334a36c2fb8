#include "dialup/connection_log.h"

#include <algorithm>
#include <cstdio>

#include "core/decimal.h"
#include "dialup/log_move.h"
#include "dialup/tariff.h"
#include "platform/cp932.h"

namespace norvax {
namespace {

constexpr const char* kDateKey = "Date";
constexpr const char* kCumulativeKey = "RuikeiTime";

// The fourteen fields of a log line.
constexpr const char kLogRecordFormat[] =
    "%10.10s,\"%-8.20s\",%8.8s,%.4d,%.4d,%.4d,%.4d,\"%-8.20s\",%.2d,%.4d,%-7.7s,%-1.10s,%.5d,%4.4x";

// The longest prefix of text whose quoted form (each double quote doubled) fits in
// maxBytes, never ending inside a double-byte character; returned in quoted form, so the
// field reads back as written.
std::string QuotedPrefix(std::string_view text, std::size_t maxBytes) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t width = IsCp932LeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    if (i + width > text.size()) break;
    std::size_t quoted = text[i] == '"' ? 2 : width;
    if (out.size() + quoted > maxBytes) break;
    if (text[i] == '"') {
      out += "\"\"";
    } else {
      out.append(text.substr(i, width));
    }
    i += width;
  }
  return out;
}

int32_t Wrap(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

// The error of an unreadable number field, in a function of its own so that the reading,
// which runs for every number of every line, stays small.
[[noreturn]] void ThrowUnreadableField(std::size_t number, int64_t lineNumber) {
  throw LogFormatError(Sjis("NORVA.LOG の ") + DecimalText(lineNumber) +
                       Sjis(" 行目が読めません (項目 ") +
                       DecimalText(static_cast<int64_t>(number)) + ")");
}

// Blanks (every character up to the space) separate the fields of a log line as commas do.
bool IsLogBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Where the quoted text from p ends: at the next double quote that is not the second byte of
// a character, or at the end of the line.
std::size_t QuotedRunEnd(std::string_view line, std::size_t p) {
  while (p < line.size() && line[p] != '"') {
    p += IsCp932LeadByte(static_cast<unsigned char>(line[p])) && p + 1 < line.size() ? 2 : 1;
  }
  return p;
}

// Two double quotes at p, which stand for one inside a quoted field.
bool DoubledQuoteAt(std::string_view line, std::size_t p) {
  return p + 1 < line.size() && line[p] == '"' && line[p + 1] == '"';
}

struct QuotedField {
  std::string_view text;
  std::size_t end;  // at the closing quote, or at the end of the line
};

// The quoted field whose text starts at start, after its opening quote. The text of a field
// in which two double quotes stand for one is copied to the end of copies with one double
// quote for each two.
QuotedField ReadQuotedField(std::string_view line, std::size_t start, std::string& copies) {
  std::size_t end = QuotedRunEnd(line, start);
  if (!DoubledQuoteAt(line, end)) return {line.substr(start, end - start), end};
  // The copies are never longer than the line: with room for all of it, they never move,
  // and the views of the fields copied before stay valid.
  copies.reserve(line.size());
  const std::size_t begin = copies.size();
  copies.append(line.substr(start, end - start));
  while (DoubledQuoteAt(line, end)) {
    copies += '"';
    start = end + 2;
    end = QuotedRunEnd(line, start);
    copies.append(line.substr(start, end - start));
  }
  return {std::string_view(copies).substr(begin), end};
}

}  // namespace

LogState ReadLogState(const ProfileFile& stateFile, const std::string& entryName) {
  LogState state;
  state.lastDate = stateFile.ReadString(entryName, kDateKey, kMissingStateValue);
  std::string cumulative = stateFile.ReadString(entryName, kCumulativeKey, kMissingStateValue);
  // A missing or unreadable count starts the month afresh.
  state.cumulative = ParseDecimal(cumulative).value_or(0);
  return state;
}

void WriteLogState(ProfileFile& stateFile, const std::string& entryName, const LogState& state) {
  auto section = stateFile.ReadSection(entryName);
  auto set = [&section](const char* key, const std::string& value) {
    for (auto& [k, v] : section) {
      if (SameProfileName(k, key)) {
        v = value;
        return;
      }
    }
    section.emplace_back(key, value);
  };
  set(kDateKey, state.lastDate);
  set(kCumulativeKey, DecimalText(state.cumulative));
  stateFile.WriteSection(entryName, section);
}

ComposedLogLine ComposeLogLine(const LoggedConnection& c, const ParsedProfile& profile,
                               const LogState& before, const HolidayCalendar& holidays) {
  std::string dateText = DateText(c.start);
  auto period = BillingPeriod(c.start.year, c.start.month, c.start.day, profile.startDay);
  int32_t cumulative = before.cumulative;
  if (!CumulativeSurvives(cumulative, c.start.day, profile.startDay, before.lastDate, period.start,
                          dateText)) {
    cumulative = 0;
  }
  std::string timeText = TimeText(c.start);
  int32_t newCumulative = Wrap(static_cast<int64_t>(cumulative) + c.duration);
  int32_t provider = ProviderCharge(c.duration, cumulative, profile);
  PhoneCharges phone = PhoneCharge(c.start, c.end, c.duration, profile, holidays);
  std::string_view number = profile.phone;
  if (!number.empty() && number[0] == 'P') number.remove_prefix(1);

  std::string name = QuotedPrefix(c.entryName, 20);
  std::string numberText = QuotedPrefix(number, 20);
  std::string key = period.key;
  int needed = std::snprintf(nullptr, 0, kLogRecordFormat, dateText.c_str(), name.c_str(),
                             timeText.c_str(), c.duration, provider, phone.phone, phone.flat,
                             numberText.c_str(), Wrap(static_cast<int64_t>(c.attempts) - 1),
                             profile.baseFee, key.c_str(), " ", newCumulative, 0u);
  std::string line(static_cast<std::size_t>(needed) + 1, '\0');
  std::snprintf(line.data(), line.size(), kLogRecordFormat, dateText.c_str(), name.c_str(),
                timeText.c_str(), c.duration, provider, phone.phone, phone.flat, numberText.c_str(),
                Wrap(static_cast<int64_t>(c.attempts) - 1), profile.baseFee, key.c_str(), " ",
                newCumulative, 0u);
  line.resize(static_cast<std::size_t>(needed));
  return {line, {dateText, newCumulative}};
}

int32_t DurationSeconds(uint32_t startTick, uint32_t endTick, const DateTime& start,
                        const DateTime& end) {
  constexpr int64_t kWrapMs = int64_t{1} << 32;
  int64_t ms = static_cast<uint32_t>(endTick - startTick);
  if (start == DateTime{} || end == DateTime{}) return static_cast<int32_t>(ms / 1000);
  const int64_t wallMs = SecondsBetween(start, end) * 1000;
  if (wallMs - ms > kWrapMs / 2) ms += (wallMs - ms + kWrapMs / 2) / kWrapMs * kWrapMs;
  return static_cast<int32_t>(std::min<int64_t>(ms / 1000, INT32_MAX));
}

std::optional<FileError> WriteLogLine(ProfileFile& stateFile, FileStore& files,
                                      const HolidayCalendar& holidays,
                                      const LoggedConnection& connection,
                                      const ParsedProfile& profile) {
  if (connection.start == DateTime{}) return std::nullopt;  // no connection came up
  auto lock = files.Lock(kLogLockName);
  return WriteLogLine(stateFile, files, *lock, holidays, connection, profile);
}

std::optional<FileError> WriteLogLine(ProfileFile& stateFile, FileStore& files,
                                      const FileLock& held, const HolidayCalendar& holidays,
                                      const LoggedConnection& connection,
                                      const ParsedProfile& profile) {
  if (connection.start == DateTime{}) return std::nullopt;
  // A move that cannot be finished now does not cost the call its line: the line goes to
  // the end of the log, where the move's recovery keeps it, and the move is tried again
  // at the next write, move or start.
  std::optional<FileError> pending;
  try {
    RecoverLogMove(files, held);
  } catch (const FileError& e) {
    pending = e;
  }
  WriteNotedLogLine(stateFile, files, held, connection.entryName,
                    NoteLogLine(stateFile, files, holidays, connection, profile));
  return pending;
}

NotedLogLine NoteLogLine(const ProfileFile& stateFile, const FileStore& files,
                         const HolidayCalendar& holidays, const LoggedConnection& connection,
                         const ParsedProfile& profile) {
  return {
      ComposeLogLine(connection, profile, ReadLogState(stateFile, connection.entryName), holidays),
      files.Size(kLogFileName).value_or(0)};
}

void WriteNotedLogLine(ProfileFile& stateFile, FileStore& files, const FileLock&,
                       const std::string& entryName, const NotedLogLine& noted) {
  const std::string whole = noted.composed.line + "\r\n";
  const std::string there = files.Read(kLogFileName, noted.logSize, whole.size());
  if (there == whole) return;  // the state went first
  if (!there.empty() && whole.starts_with(there) &&
      files.Size(kLogFileName) == noted.logSize + there.size()) {
    files.Truncate(kLogFileName, noted.logSize);
  }
  WriteLogState(stateFile, entryName, noted.composed.state);
  LogFile log(files);
  log.WriteLine(noted.composed.line);
  log.Close();
}

bool LogFile::OpenForReading() {
  reader_ = files_.OpenLines(kLogFileName);
  return reader_ != nullptr;
}

bool LogFile::ReadLine(std::string& line) { return reader_ && reader_->ReadLine(line); }

void LogFile::WriteLine(std::string_view line) {
  std::string data(line);
  data += "\r\n";
  files_.Append(kLogFileName, data);
}

std::optional<std::vector<std::string>> ReadLogLines(FileStore& files) {
  RecoverLogMove(files);
  LogFile log(files);
  if (!log.OpenForReading()) return std::nullopt;
  std::vector<std::string> lines;
  std::string line;
  while (log.ReadLine(line) && !line.empty()) lines.push_back(line);
  log.Close();
  return lines;
}

void SplitLogLine(std::string_view line, LogFields& fields, std::size_t maxFields) {
  fields.fields_.clear();
  fields.copies_.clear();
  // Only the first 4095 characters count, and a NUL ends the text as it would a C string.
  line = line.substr(0, std::min<std::size_t>(line.find('\0'), 4095));
  const std::size_t n = line.size();
  std::size_t p = 0;
  while (p < n && IsLogBlank(line[p])) ++p;
  for (std::size_t count = 0; p < n && count < maxFields; ++count) {
    std::string_view field;
    if (line[p] == '"') {
      auto quoted = ReadQuotedField(line, p + 1, fields.copies_);
      field = quoted.text;
      p = std::min(quoted.end + 1, n);  // past the closing quote
    } else {
      std::size_t start = p;
      while (p < n && !IsLogBlank(line[p]) && line[p] != ',') ++p;
      field = line.substr(start, p - start);
    }
    fields.fields_.push_back(field);
    while (p < n && IsLogBlank(line[p])) ++p;
    if (p < n && line[p] == ',') {
      do {
        ++p;
      } while (p < n && IsLogBlank(line[p]));
    }
  }
}

std::vector<std::string> SplitLogLine(std::string_view line) {
  LogFields fields;
  SplitLogLine(line, fields);
  std::vector<std::string> strings;
  for (std::size_t i = 0; i < fields.Size(); ++i) strings.emplace_back(fields[i]);
  return strings;
}

int32_t LogNumberField(const LogFields& fields, std::size_t number, int64_t lineNumber) {
  std::optional<int32_t> value;
  if (number >= 1 && number <= fields.Size()) value = ParseDecimal(fields[number - 1]);
  if (!value) ThrowUnreadableField(number, lineNumber);
  return *value;
}

}  // namespace norvax
