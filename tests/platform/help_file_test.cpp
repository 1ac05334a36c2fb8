#include "platform/help_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/help.h"
#include "test_files.h"

namespace norvax {
namespace {

constexpr std::string_view kFile =
    "NORVAX help\n"
    "@@ NV000 目次\n"
    "<p>NORVAX の使い方</p>\n"
    "@; a remark that is not part of any page\n"
    "@@ NV013 登録ウインドウ\n"
    "<p>Entries &amp; passwords: 追加・修正・削除</p>\n"
    "<p>Use the <b>OK</b> button.</p>\n"
    "@@   nv014\n"
    "editor\n";

TEST(HelpFile, TopicsInFileOrderWithTheirPages) {
  auto topics = ParseHelpFile(kFile);
  ASSERT_EQ(topics.size(), 3u);
  EXPECT_EQ(topics[0].key, "NV000");
  EXPECT_EQ(topics[0].title, "目次");
  EXPECT_EQ(topics[0].html, "<p>NORVAX の使い方</p>\n");
  EXPECT_EQ(topics[1].title, "登録ウインドウ");
  EXPECT_EQ(topics[1].html.find("remark"), std::string::npos);
  EXPECT_EQ(topics[2].key, "nv014");
  EXPECT_EQ(topics[2].title, "nv014") << "a topic without a title is named by its key";
  EXPECT_EQ(FindHelpTopic(topics, "NV014"), &topics[2]);
  EXPECT_EQ(FindHelpTopic(topics, "NV015"), nullptr);
}

TEST(HelpFile, SearchNeedsEveryWordInTitleOrText) {
  auto topics = ParseHelpFile(kFile);
  struct Case {
    const char* query;
    std::vector<std::size_t> found;
  } cases[] = {
      {"", {}},
      {"   ", {}},
      {"ok", {1}},                   // ASCII case ignored
      {"entries & passwords", {1}},  // entities decoded
      {"b", {1}},                    // in "button"; "<b>" itself is markup
      {"登録", {1}},                 // title
      {"NORVAX　使い方", {0}},       // ideographic space separates words
      {"削除 editor", {}},
      {"p", {1}},  // "<p>" is markup, not text
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SearchHelpTopics(topics, c.query), c.found) << c.query;
  }
}

TEST(HelpFile, ShippedFileHasEveryTopicTheProgramOpens) {
  auto path = std::filesystem::path(NORVAX_SOURCE_DIR) / "resources" / "NORVAX.HLP";
  auto topics = ParseHelpFile(testing::ReadFile(path));
  std::vector<std::string> keys = {help_topic::kRegister, help_topic::kEntryEditor,
                                   help_topic::kProxy, help_topic::kConnectionSettings,
                                   help_topic::kLogViewer};
  for (const char* k : help_topic::kPreferencesPages) keys.push_back(k);
  for (const auto& k : keys) {
    const HelpTopic* t = FindHelpTopic(topics, k);
    ASSERT_NE(t, nullptr) << k;
    EXPECT_GT(HelpPlainText(t->html).size(), 100u) << k;
  }
  // The entry editor's page says what the markers in an ID or password type.
  const std::string editor = FindHelpTopic(topics, help_topic::kEntryEditor)->html;
  for (const char* marker : {"{~", "{]"}) {
    EXPECT_NE(editor.find(marker), std::string::npos) << marker;
  }
  // The pages name the buttons as the windows label them, so a search for a label finds them.
  for (const char* label : {"CSV出力", "月間合計", "norvax.ini.damaged-"}) {
    EXPECT_FALSE(SearchHelpTopics(topics, label).empty()) << label;
  }
}

}  // namespace
}  // namespace norvax
