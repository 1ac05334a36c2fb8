#include "core/startup.h"

#include "core/decimal.h"
#include "core/settings.h"
#include "platform/cp932.h"

namespace norvax {

CommandLineResult ReadCommandLine(const std::vector<std::string>& args, const PreferenceList& prefs,
                                  const EntryTable& table) {
  CommandLineResult result;
  if (args.empty() || prefs.IsOn(NoConnectNoBrowser)) return result;
  auto number = ParseDecimal(args.front());
  if (number) {
    int64_t n = int64_t{*number} - 1;
    if (n >= 0 && static_cast<std::size_t>(n) < table.Count() &&
        !table.Value(static_cast<std::size_t>(n), Column::Browser).empty()) {
      result.entry = static_cast<int>(n);
      return result;
    }
  }
  result.error = true;
  return result;
}

std::string CommandLineErrorMessage() { return Sjis("ｺﾏﾝﾄﾞﾗｲﾝ引数 ｴﾗ-"); }

std::optional<WindowBounds> StoredWindowBounds(const PreferenceList& prefs, int screenWidth,
                                               int screenHeight) {
  if (!prefs.IsOn(KeepWindowPosition)) return std::nullopt;
  std::optional<int32_t> v[6];
  for (std::size_t i = 0; i < 6; ++i) {
    v[i] = ParseDecimal(prefs[WindowLeft + i]);
    if (!v[i]) return std::nullopt;
  }
  if (!(int64_t{*v[0]} + 10 < screenWidth && int64_t{*v[1]} + 10 < screenHeight)) {
    return std::nullopt;
  }
  return WindowBounds{*v[0], *v[1], *v[2], *v[3], *v[4], *v[5]};
}

void SaveAtExit(ProfileFile& file, const EntryTable& table, PreferenceList& prefs,
                const WindowBounds& bounds, bool startAborted) {
  if (startAborted || !prefs.IsOn(KeepWindowPosition)) return;
  prefs[WindowLeft] = DecimalText(bounds.left);
  prefs[WindowTop] = DecimalText(bounds.top);
  prefs[WindowWidth] = DecimalText(bounds.width);
  prefs[WindowHeight] = DecimalText(bounds.height);
  prefs[LeftPanelWidth] = DecimalText(bounds.leftPanelWidth);
  prefs[TitleColumnWidth] = DecimalText(bounds.titleColumnWidth);
  prefs[TableChecksum] = DecimalText(EntryChecksum(table));
  SavePreferences(file, prefs);
}

}  // namespace norvax
