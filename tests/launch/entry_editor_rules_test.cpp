#include "launch/entry_editor_rules.h"

#include <gtest/gtest.h>

#include "test_files.h"

namespace norvax {
namespace {

using testing::Sjis;

EditorForm ValidForm() {
  EditorForm form;
  form.title = "t";
  form.proxyFlags = "000";
  form.dialProfile = std::string(kDefaultDialProfile);
  return form;
}

TEST(EntryEditorRules, NumberTextByMode) {
  EXPECT_EQ(EditorNumberText({EditorMode::Add, -1, 2, true}), "    3");
  EXPECT_EQ(EditorNumberText({EditorMode::Add, 0, 0, true}), "    1");
  EXPECT_EQ(EditorNumberText({EditorMode::Edit, 2, 5, true}), "3");
}

TEST(EntryEditorRules, ValidationOrderAndMessages) {
  const std::string title = TitleMissingMessage();
  const std::string pair = BrowserConnectionMessage();
  const std::string tooLong = TooLongMessage();
  EXPECT_EQ(title, Sjis("タイトルを入力して下さい"));
  EXPECT_EQ(pair, Sjis("ﾌﾞﾗｳｻﾞと接続のどちらかを入力するか削除して下さい。"));
  EXPECT_EQ(tooLong, Sjis("文字数オ－バ－です(>255)再入力して下さい"));
  EXPECT_EQ(TabMessage("ＩＤ"), Sjis("「ＩＤ」にタブは使えません。タブを除いて下さい。"));

  const std::string b256(256, 'x');
  struct Case {
    const char* name;
    void (*edit)(EditorForm&);
    std::optional<std::string> message;
  } cases[] = {
      {"valid, neither browser nor connection", [](EditorForm&) {}, std::nullopt},
      {"both set",
       [](EditorForm& f) {
         f.browser = "b";
         f.connection = "/N";
       },
       std::nullopt},
      {"no title first",
       [](EditorForm& f) {
         f.title = "";
         f.browser = "b";
         f.id = std::string(300, 'x');
       },
       title},
      {"browser only",
       [](EditorForm& f) {
         f.browser = "b";
         f.pass = std::string(300, 'x');
       },
       pair},
      {"connection only", [](EditorForm& f) { f.connection = "c"; }, pair},
      {"title 256", [](EditorForm& f) { f.title = std::string(256, 'x'); }, tooLong},
      {"set2 256", [](EditorForm& f) { f.set2 = std::string(256, 'x'); }, tooLong},
      {"workdir 256", [](EditorForm& f) { f.workDirectory = std::string(256, 'x'); }, tooLong},
      {"set1 255", [](EditorForm& f) { f.set1 = std::string(255, 'x'); }, std::nullopt},
      {"line break after the length check",
       [](EditorForm& f) {
         f.workDirectory = "a\nb";
         f.set2 = std::string(256, 'x');
       },
       tooLong},
      {"line break", [](EditorForm& f) { f.workDirectory = "C:\\a\r\nb"; },
       LineBreakMessage("作業ﾃﾞｨﾚｸﾄﾘ")},
      {"line break in title first",
       [](EditorForm& f) {
         f.title = "a\n";
         f.set2 = "\n";
       },
       LineBreakMessage("タイトル")},
      // A tab, as a line break: `norvaxctl entry list` separates the fields with tabs.
      {"tab", [](EditorForm& f) { f.id = "taro\tx"; }, TabMessage("ＩＤ")},
      {"tab and line break in field order",
       [](EditorForm& f) {
         f.pass = "\t";
         f.set2 = "\n";
       },
       TabMessage("ＰＡＳＳ")},
      // Proxy and dial values are not limited here.
      {"proxy 300", [](EditorForm& f) { f.proxyServers = std::string(300, 'x'); }, std::nullopt},
  };
  for (const auto& c : cases) {
    EditorForm form = ValidForm();
    c.edit(form);
    EXPECT_EQ(ValidateEditorForm(form), c.message) << c.name;
  }
}

TEST(EntryEditorRules, LimitCountsBytesOfDoubleByteText) {
  std::string twoFiftyFive;
  for (int i = 0; i < 127; ++i) twoFiftyFive += Sjis("あ");
  twoFiftyFive += "x";
  ASSERT_EQ(twoFiftyFive.size(), 255u);
  EditorForm form = ValidForm();
  form.title = twoFiftyFive;
  EXPECT_EQ(ValidateEditorForm(form), std::nullopt);
  form.title += "y";
  EXPECT_EQ(ValidateEditorForm(form), TooLongMessage());
}

TEST(EntryEditorRules, AddStartsWithDefaultsAndAppends) {
  EntryTable table;
  table.Append(Entry::New());
  EditorContext ctx{EditorMode::Add, 0, table.Count(), true};
  EditorForm form = InitialEditorForm(ctx, table);
  EXPECT_EQ(form.proxyFlags, "000");
  EXPECT_EQ(form.dialProfile, kDefaultDialProfile);
  EXPECT_EQ(form.title, "");
  form.title = "new";
  form.ownDialler = true;
  form.setPass = true;  // still written while its box is disabled
  StoreEditorForm(form, ctx, table);
  EXPECT_FALSE(ctx.cancelled);
  ASSERT_EQ(table.Count(), 2u);
  Entry e = table.Get(1);
  EXPECT_EQ(e[Column::Title], "new");
  EXPECT_EQ(e[Column::OwnDialler], "1");
  EXPECT_EQ(e[Column::SetPass], "1");
  EXPECT_EQ(e[Column::Maximise], "0");
  EXPECT_EQ(e[Column::ProxyFlags], "000");
}

TEST(EntryEditorRules, EditLoadsEveryColumnAndReplacesTheRow) {
  EntryTable table;
  Entry e;
  const char* values[] = {"T", "I",  "P",  "B",   "C",         "5",     "W",   "0",
                          "x", "S1", "S2", "100", "http=p:80", "local", "1;2;"};
  for (std::size_t c = 0; c < kColumnCount; ++c) e.values[c] = values[c];
  table.Append(Entry::New());
  table.Append(e);
  EditorContext ctx{EditorMode::Edit, 1, 2, true};
  EditorForm form = InitialEditorForm(ctx, table);
  EXPECT_EQ(form.title, "T");
  EXPECT_TRUE(form.setPass);  // "5" is non-zero
  EXPECT_FALSE(form.ownDialler);
  EXPECT_FALSE(form.maximise);  // "x" is no number
  EXPECT_TRUE(ProxyChecked(form.proxyFlags));
  EXPECT_EQ(form.proxyServers, "http=p:80");
  EXPECT_EQ(form.dialProfile, "1;2;");
  StoreEditorForm(form, ctx, table);
  Entry stored = table.Get(1);
  EXPECT_EQ(stored[Column::SetPass], "1");  // flags are normalised to "1" / "0"
  EXPECT_EQ(stored[Column::Maximise], "0");
  EXPECT_EQ(stored[Column::Set2], "S2");
  EXPECT_EQ(table.Count(), 2u);

  EditorContext bad{EditorMode::Edit, 5, 2, true};
  EXPECT_THROW(InitialEditorForm(bad, table), std::out_of_range);
}

TEST(EntryEditorRules, ProxyFlagAndButtons) {
  std::string flags = "011";
  EXPECT_FALSE(ProxyButtonEnabled(flags));
  SetProxyFlag(flags, true);
  EXPECT_EQ(flags, "111");
  EXPECT_TRUE(ProxyButtonEnabled(flags));
  SetProxyFlag(flags, false);
  EXPECT_EQ(flags, "011");
  std::string empty;
  SetProxyFlag(empty, true);
  EXPECT_EQ(empty, "100");
  EXPECT_TRUE(SetPassEnabled(false));
  EXPECT_FALSE(SetPassEnabled(true));

  PreferenceList prefs;
  prefs.ResetToDefaults();
  prefs[IdDisplay] = "2";
  prefs[PassDisplay] = "1";
  EXPECT_FALSE(EditorMasksId(prefs));
  EXPECT_TRUE(EditorMasksPass(prefs));
}

}  // namespace
}  // namespace norvax
