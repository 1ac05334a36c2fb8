// The log and its monthly totals as CSV files: UTF-8 with a byte-order mark, one header row,
// CR LF line ends, fields quoted where they need it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dialup/monthly_totals.h"
#include "platform/file_store.h"

namespace norvax {

// One field: in double quotes (doubled inside) when it holds a comma, a double quote, a line
// break or a blank at either end; as it stands otherwise. A field that a spreadsheet program
// would take for a formula (one that begins with =, +, -, @, a tab or a carriage return and
// is not a plain number) begins with an apostrophe, which keeps it text.
std::string CsvField(std::string_view utf8);

// Fields joined by commas, ended by CR LF.
std::string CsvRow(const std::vector<std::string>& utf8Fields);

// The viewer's columns of log lines (CP932): numbers without separators or padding, the
// connection time as h:mm:ss, names and numbers without their trailing blanks.
std::string LogCsv(const std::vector<std::string>& lines);

// The totals window's columns of its groups.
std::string TotalsCsv(const std::vector<TotalRecord>& groups);

// The message of a CSV file that could not be written (CP932): the file the user chose
// (UTF-8) and why, a missing folder in words of its own, else the system's reason (UTF-8).
std::string CsvWriteErrorMessage(const std::string& path, bool folderMissing,
                                 const std::string& reason);

// Writes the byte-order mark and the CSV text to the file in one step: the file holds the old
// contents or all of the new ones, never a part. Throws FileError.
void WriteCsvFile(FileStore& files, std::string_view name, std::string_view csv);

}  // namespace norvax
