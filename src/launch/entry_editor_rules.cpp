#include "launch/entry_editor_rules.h"

#include <stdexcept>

#include "core/decimal.h"
#include "platform/cp932.h"

namespace norvax {

namespace {

// A flag column is on when its decimal value is not 0; text that is no number is off.
bool FlagOn(const std::string& value) {
  auto n = ParseDecimal(value);
  return n.has_value() && *n != 0;
}

}  // namespace

std::string EditorNumberText(const EditorContext& context) {
  if (context.mode == EditorMode::Edit) return std::to_string(context.currentIndex + 1);
  std::string digits = std::to_string(context.entryCount + 1);
  if (digits.size() > 5) digits.resize(5);
  return std::string(5 - digits.size(), ' ') + digits;
}

EditorForm InitialEditorForm(const EditorContext& context, const EntryTable& table) {
  EditorForm form;
  if (context.mode == EditorMode::Add) {
    form.proxyFlags = "000";
    form.dialProfile = std::string(kDefaultDialProfile);
    return form;
  }
  if (context.currentIndex < 0 || static_cast<std::size_t>(context.currentIndex) >= table.Count())
    throw std::out_of_range("entry number");
  const auto i = static_cast<std::size_t>(context.currentIndex);
  form.title = table.Value(i, Column::Title);
  form.id = table.Value(i, Column::Id);
  form.pass = table.Value(i, Column::Pass);
  form.browser = table.Value(i, Column::Browser);
  form.connection = table.Value(i, Column::Connection);
  form.setPass = FlagOn(table.Value(i, Column::SetPass));
  form.workDirectory = table.Value(i, Column::WorkDirectory);
  form.ownDialler = FlagOn(table.Value(i, Column::OwnDialler));
  form.maximise = FlagOn(table.Value(i, Column::Maximise));
  form.set1 = table.Value(i, Column::Set1);
  form.set2 = table.Value(i, Column::Set2);
  form.proxyFlags = table.Value(i, Column::ProxyFlags);
  form.proxyServers = table.Value(i, Column::ProxyServers);
  form.proxyExceptions = table.Value(i, Column::ProxyExceptions);
  form.dialProfile = table.Value(i, Column::DialProfile);
  return form;
}

bool EditorMasksId(const PreferenceList& prefs) { return prefs.IsOn(IdDisplay); }
bool EditorMasksPass(const PreferenceList& prefs) { return prefs.IsOn(PassDisplay); }

bool ProxyChecked(const std::string& proxyFlags) {
  return !proxyFlags.empty() && proxyFlags[0] == '1';
}

bool ProxyButtonEnabled(const std::string& proxyFlags) { return ProxyChecked(proxyFlags); }

void SetProxyFlag(std::string& proxyFlags, bool on) {
  if (proxyFlags.empty()) proxyFlags = "000";
  proxyFlags[0] = on ? '1' : '0';
}

std::optional<std::string> ValidateEditorForm(const EditorForm& form) {
  if (form.title.empty()) return TitleMissingMessage();
  if (form.connection.empty() != form.browser.empty()) return BrowserConnectionMessage();
  for (const std::string* field : {&form.title, &form.id, &form.pass, &form.browser,
                                   &form.connection, &form.set1, &form.workDirectory, &form.set2}) {
    if (field->size() > kMaxFieldBytes) return TooLongMessage();
  }
  const std::pair<const std::string*, const char*> named[] = {{&form.title, "タイトル"},
                                                              {&form.id, "ＩＤ"},
                                                              {&form.pass, "ＰＡＳＳ"},
                                                              {&form.browser, "ブラウザ"},
                                                              {&form.connection, "接続先"},
                                                              {&form.set1, "ｾｯﾄ1"},
                                                              {&form.workDirectory, "作業ﾃﾞｨﾚｸﾄﾘ"},
                                                              {&form.set2, "ｾｯﾄ2"}};
  for (const auto& [field, name] : named) {
    if (HoldsLineBreak(*field)) return LineBreakMessage(name);
    if (field->find('\t') != std::string::npos) return TabMessage(name);
  }
  return std::nullopt;
}

Entry EntryFromForm(const EditorForm& form) {
  Entry e;
  e[Column::Title] = form.title;
  e[Column::Id] = form.id;
  e[Column::Pass] = form.pass;
  e[Column::Browser] = form.browser;
  e[Column::Connection] = form.connection;
  e[Column::SetPass] = form.setPass ? "1" : "0";
  e[Column::WorkDirectory] = form.workDirectory;
  e[Column::OwnDialler] = form.ownDialler ? "1" : "0";
  e[Column::Maximise] = form.maximise ? "1" : "0";
  e[Column::Set1] = form.set1;
  e[Column::Set2] = form.set2;
  e[Column::ProxyFlags] = form.proxyFlags;
  e[Column::ProxyServers] = form.proxyServers;
  e[Column::ProxyExceptions] = form.proxyExceptions;
  e[Column::DialProfile] = form.dialProfile;
  return e;
}

void StoreEditorForm(const EditorForm& form, EditorContext& context, EntryTable& table) {
  if (context.mode == EditorMode::Add) {
    table.Append(EntryFromForm(form));
  } else {
    if (context.currentIndex < 0 || static_cast<std::size_t>(context.currentIndex) >= table.Count())
      throw std::out_of_range("entry number");
    table.Set(static_cast<std::size_t>(context.currentIndex), EntryFromForm(form));
  }
  context.cancelled = false;
}

std::string TitleMissingMessage() { return Sjis("タイトルを入力して下さい"); }
std::string BrowserConnectionMessage() {
  return Sjis("ﾌﾞﾗｳｻﾞと接続のどちらかを入力するか削除して下さい。");
}
std::string TooLongMessage() { return Sjis("文字数オ－バ－です(>255)再入力して下さい"); }

std::string TabMessage(std::string_view fieldUtf8) {
  return Sjis("「" + std::string(fieldUtf8) + "」にタブは使えません。タブを除いて下さい。");
}

}  // namespace norvax
