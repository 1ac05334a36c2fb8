#include "dialup/log_csv.h"

#include <algorithm>

#include "core/decimal.h"
#include "dialup/connection_log.h"
#include "dialup/log_view.h"
#include "platform/cp932.h"

namespace norvax {
namespace {

std::string TrimmedEnd(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return std::string(text);
}

// A number column: the plain integer, or the text as stored when it holds none.
std::string NumberText(const std::string& field) {
  auto value = ParseDecimal(field);
  return value ? DecimalText(*value) : Cp932ToUtf8(field);
}

}  // namespace

std::string CsvField(std::string_view utf8) {
  if (!utf8.empty() && std::string_view("=+-@\t\r").find(utf8.front()) != std::string_view::npos &&
      !ParseDecimal(utf8)) {
    return CsvField("'" + std::string(utf8));
  }
  bool quote = utf8.find_first_of(",\"\r\n") != std::string_view::npos ||
               (!utf8.empty() && (utf8.front() == ' ' || utf8.back() == ' ' ||
                                  utf8.front() == '\t' || utf8.back() == '\t'));
  if (!quote) return std::string(utf8);
  std::string quoted = "\"";
  for (char c : utf8) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string CsvRow(const std::vector<std::string>& utf8Fields) {
  std::string row;
  for (std::size_t i = 0; i < utf8Fields.size(); ++i) {
    if (i > 0) row += ',';
    row += CsvField(utf8Fields[i]);
  }
  row += "\r\n";
  return row;
}

std::string LogCsv(const std::vector<std::string>& lines) {
  std::string csv = CsvRow({"日付", "接続先", "開始時刻", "接続時間", "接続料金", "電話料金",
                            "ﾃﾚﾎｰﾀﾞｲ", "電話番号", "ﾘﾀﾞｲﾔﾙ"});
  for (const auto& line : lines) {
    auto f = SplitLogLine(line);
    f.resize(std::max<std::size_t>(f.size(), 9));
    auto seconds = ParseDecimal(f[3]);
    csv += CsvRow({Cp932ToUtf8(f[0]), Cp932ToUtf8(TrimmedEnd(f[1])), Cp932ToUtf8(f[2]),
                   seconds ? DurationText(*seconds) : Cp932ToUtf8(f[3]), NumberText(f[4]),
                   NumberText(f[5]), NumberText(f[6]), Cp932ToUtf8(TrimmedEnd(f[7])),
                   NumberText(f[8])});
  }
  return csv;
}

std::string TotalsCsv(const std::vector<TotalRecord>& groups) {
  std::string csv =
      CsvRow({"日付", "接続先", "接続時間", "接続料金", "固定料金", "電話料金", "ﾃﾚﾎｰﾀﾞｲ"});
  for (const auto& g : groups) {
    csv += CsvRow({Cp932ToUtf8(TrimmedEnd(g.period)), Cp932ToUtf8(TrimmedEnd(g.name)),
                   TotalTimeText(g.seconds), DecimalText(g.provider), DecimalText(g.fixed),
                   DecimalText(g.phone), DecimalText(g.flat)});
  }
  return csv;
}

std::string CsvWriteErrorMessage(const std::string& path, bool folderMissing,
                                 const std::string& reason) {
  return Cp932ForDisplay("CSVファイル「" + path + "」を保存できませんでした。\n" +
                         (folderMissing ? std::string("保存先のフォルダがありません。") : reason));
}

void WriteCsvFile(FileStore& files, std::string_view name, std::string_view csv) {
  // The byte-order mark tells the spreadsheet programs that the file is UTF-8; without it
  // they read it in the system's code page.
  std::string data = "\xEF\xBB\xBF";
  data += csv;
  files.Replace(name, data);
}

}  // namespace norvax
