// The entry editor's rules: what it shows when it opens, how its input is checked and
// how the result is written into the register window's working table.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/entry_table.h"
#include "core/preferences.h"

namespace norvax {

enum class EditorMode { Add = 1, Edit = 2 };

// Handed from the register window to the editor and back.
struct EditorContext {
  EditorMode mode = EditorMode::Add;
  int currentIndex = -1;       // row being edited (Edit)
  std::size_t entryCount = 0;  // rows before the new one (Add)
  bool cancelled = true;       // cleared by the editor once it has stored its result
};

// Longest accepted text of a field, in bytes.
inline constexpr std::size_t kMaxFieldBytes = 255;

// Everything the editor edits, as CP932 text; flags as booleans.
struct EditorForm {
  std::string title, id, pass, browser, connection, workDirectory, set1, set2;
  bool setPass = false, ownDialler = false, maximise = false;
  // Working copies of the proxy and dial values, edited by their own windows.
  std::string proxyFlags, proxyServers, proxyExceptions, dialProfile;

  bool operator==(const EditorForm&) const = default;
};

// The number shown in the editor's number box: the new number right-aligned in five
// characters for Add, the plain number for Edit.
std::string EditorNumberText(const EditorContext& context);

// The form when the editor opens: empty with the default proxy and dial values for Add,
// the entry's values for Edit.
EditorForm InitialEditorForm(const EditorContext& context, const EntryTable& table);

// Password characters are hidden only when the display preference is exactly "1".
bool EditorMasksId(const PreferenceList& prefs);
bool EditorMasksPass(const PreferenceList& prefs);

// "PASSをセットする" is usable only while "NORVAXで接続" is not checked.
inline bool SetPassEnabled(bool ownDialler) { return !ownDialler; }
// The proxy-settings button is usable only when the proxy flags ask for a proxy.
bool ProxyButtonEnabled(const std::string& proxyFlags);
// The proxy check box sets the first proxy flag.
void SetProxyFlag(std::string& proxyFlags, bool on);
// The proxy check box is checked when the first proxy flag is "1".
bool ProxyChecked(const std::string& proxyFlags);

// The message of the first failed check, in the order the editor checks; nothing when
// the form may be stored. After the length check, a line break or a tab in any text field
// is refused, field by field: the settings file holds one value per line, and the entry
// listings of norvaxctl separate the fields with tabs.
std::optional<std::string> ValidateEditorForm(const EditorForm& form);

// The entry the form describes.
Entry EntryFromForm(const EditorForm& form);

// Appends (Add) or replaces (Edit) the entry in the table and clears cancelled. The
// form must have passed ValidateEditorForm.
void StoreEditorForm(const EditorForm& form, EditorContext& context, EntryTable& table);

// The Set1 choices offered in the editor.
inline constexpr const char* kBrowserKinds[] = {"IE3.X OR NETSCAPE", "IE3.X", "NETSCAPE", "IE4.0",
                                                "IE4&WIN98",         "NS4.0", "NS4.X"};

// "タイトルを入力して下さい"
std::string TitleMissingMessage();
// "ﾌﾞﾗｳｻﾞと接続のどちらかを入力するか削除して下さい。"
std::string BrowserConnectionMessage();
// "文字数オ－バ－です(>255)再入力して下さい"
std::string TooLongMessage();
// "「<field>」にタブは使えません。タブを除いて下さい。", the field named as the editor names it
// (UTF-8).
std::string TabMessage(std::string_view fieldUtf8);

}  // namespace norvax
