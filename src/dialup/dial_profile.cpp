#include "dialup/dial_profile.h"

#include "core/decimal.h"
#include "core/entry_table.h"
#include "platform/cp932.h"

namespace norvax {
namespace {

int32_t NumberField(const std::vector<std::string>& fields, std::size_t index) {
  auto value = ParseDecimal(fields[index]);
  if (!value) {
    throw ProfileError(Sjis("接続先設定の項目 ") + DecimalText(static_cast<int64_t>(index)) +
                       " (\"" + fields[index] + "\") " + Sjis("は数値ではありません。"));
  }
  return *value;
}

char FirstChar(const std::string& field) { return field.empty() ? '\0' : field[0]; }

// A value typed into an edit; empty or non-numeric text counts as 999999.
int64_t EditValue(const std::string& text) {
  auto value = ParseDecimal(text);
  return value ? *value : 999999;
}

bool InRange(const std::string& text, int64_t low, int64_t high) {
  int64_t v = EditValue(text);
  return v >= low && v <= high;
}

SettingsFailure RangeFailure(const ConnectionSettings& s, int edit, const char* range) {
  return {edit, s.edit[edit] + Sjis("はエラーです。  ") + Sjis(range)};
}

}  // namespace

void SplitProfile(std::string_view text, std::vector<std::string>& list) {
  std::string item;
  for (char c : text) {
    if (c == ';') {
      list.push_back(item);
      item.clear();
    } else {
      item.push_back(c);
    }
  }
}

std::vector<std::string> SplitProfile(std::string_view text) {
  std::vector<std::string> list;
  SplitProfile(text, list);
  return list;
}

std::string JoinProfile(const std::vector<std::string>& list) {
  std::string text;
  for (const auto& item : list) {
    text += item;
    text += ';';
  }
  return text;
}

ParsedProfile ParseProfile(std::string_view text) {
  auto f = SplitProfile(text);
  if (f.size() < kProfileFieldCount) {
    throw ProfileError(Sjis("接続先設定の項目が足りません (") +
                       DecimalText(static_cast<int64_t>(f.size())) + " / 19)");
  }
  ParsedProfile p;
  p.redial = FirstChar(f[0]);
  p.maximum = NumberField(f, 1);
  p.interval = NumberField(f, 2);
  p.tone = FirstChar(f[4]);
  p.phone = p.tone == '0' ? "P" + f[3] : f[3];
  p.log = FirstChar(f[5]);
  p.baseMinutes = NumberField(f, 6);
  p.baseFee = NumberField(f, 7);
  p.unitSeconds = NumberField(f, 8);
  p.unitFee = NumberField(f, 9);
  p.cap = NumberField(f, 10);
  p.startDay = NumberField(f, 11);
  p.dayFee = NumberField(f, 12);
  p.daySeconds = NumberField(f, 13);
  p.holidayFee = NumberField(f, 14);
  p.holidaySeconds = NumberField(f, 15);
  p.lateFee = NumberField(f, 16);
  p.lateSeconds = NumberField(f, 17);
  p.flatRate = FirstChar(f[18]);
  return p;
}

std::string FieldSeparatorMessage(std::string_view fieldUtf8) {
  return Sjis("「" + std::string(fieldUtf8) + "」に「;」は使えません。「;」を除いて下さい。");
}

ConnectionSettingsEnabling EnablingOf(const ConnectionSettings& settings) {
  return {settings.checkBox1, settings.checkBox2};
}

ConnectionSettings LoadConnectionSettings(std::string_view profileText,
                                          const std::string& connection, RemoteAccess& access) {
  auto f = SplitProfile(profileText);
  f.resize(std::max(f.size(), kProfileFieldCount));
  ConnectionSettings s;
  auto on = [](const std::string& field) { return ParseDecimal(field) == 1; };
  s.checkBox1 = on(f[0]);
  s.edit[1] = f[1];
  s.edit[2] = f[2];
  s.edit[3] = f[3];
  if (f[3] == " " && !connection.empty()) {
    s.edit[3] = access.GetEntryPhoneNumber(connection).value_or(" ");
  }
  s.radioButton1 = f[4] == "1";
  s.radioButton2 = f[4] == "0";
  s.checkBox2 = on(f[5]);
  for (int i = 4; i <= 15; ++i) s.edit[i] = f[static_cast<std::size_t>(i + 2)];
  s.checkBox3 = on(f[18]);
  return s;
}

std::optional<SettingsFailure> CheckRedialSettings(const ConnectionSettings& s) {
  if (!InRange(s.edit[1], 1, 100)) return RangeFailure(s, 1, "1 ～ 100 を入力して下さい");
  if (!InRange(s.edit[2], 1, 999)) return RangeFailure(s, 2, "1 ～ 999 を入力して下さい");
  return std::nullopt;
}

std::optional<SettingsFailure> CheckChargeSettings(const ConnectionSettings& s) {
  for (int edit = 4; edit <= 8; ++edit) {
    if (!InRange(s.edit[edit], 0, 99999)) {
      return RangeFailure(s, edit, "0 ～ 99999 を入力して下さい");
    }
  }
  bool unitSet = EditValue(s.edit[6]) != 0;
  bool feeSet = EditValue(s.edit[7]) != 0;
  if (EditValue(s.edit[8]) != 0 && !(unitSet && feeSet)) {
    return SettingsFailure{6, Sjis("従量分を入力するか又は上限を０にして下さい")};
  }
  if (unitSet != feeSet)
    return SettingsFailure{6, Sjis("従量分は両方入力するか又は０にして下さい")};
  if (!InRange(s.edit[9], 1, 31)) return RangeFailure(s, 9, "1 ～ 31 を入力して下さい");
  for (int edit = 10; edit <= 15; ++edit) {
    if (!InRange(s.edit[edit], 1, 9999)) return RangeFailure(s, edit, "1 ～ 9999 を入力して下さい");
  }
  return std::nullopt;
}

std::optional<SettingsFailure> CheckBox1Changed(ConnectionSettings& settings) {
  if (!settings.checkBox1) {
    if (auto failure = CheckRedialSettings(settings)) {
      settings.checkBox1 = true;
      return failure;
    }
  }
  return std::nullopt;
}

std::optional<SettingsFailure> CheckBox2Changed(ConnectionSettings& settings) {
  if (!settings.checkBox2) {
    if (auto failure = CheckChargeSettings(settings)) {
      settings.checkBox2 = true;
      return failure;
    }
  }
  return std::nullopt;
}

std::optional<SettingsFailure> ApplyConnectionSettings(const ConnectionSettings& s,
                                                       std::string& profileText) {
  if (auto failure = CheckRedialSettings(s)) return failure;
  // The number is the one free text of the profile, which is one line of the settings file.
  if (HoldsLineBreak(s.edit[3])) return SettingsFailure{3, LineBreakMessage("電話番号")};
  // A ";" would end the field early and shift every field after it.
  if (s.edit[3].find(';') != std::string::npos) {
    return SettingsFailure{3, FieldSeparatorMessage("電話番号")};
  }
  if (auto failure = CheckChargeSettings(s)) return failure;
  auto f = SplitProfile(profileText);
  f.resize(std::max(f.size(), kProfileFieldCount));
  auto flag = [](bool on) { return std::string(1, on ? '1' : '0'); };
  f[0] = flag(s.checkBox1);
  f[1] = s.edit[1];
  f[2] = s.edit[2];
  f[3] = s.edit[3].empty() ? std::string(1, ' ') : s.edit[3];
  f[4] = flag(s.radioButton1);
  f[5] = flag(s.checkBox2);
  for (int i = 4; i <= 15; ++i) f[static_cast<std::size_t>(i + 2)] = s.edit[i];
  f[18] = flag(s.checkBox3);
  profileText = JoinProfile(f);
  return std::nullopt;
}

}  // namespace norvax
