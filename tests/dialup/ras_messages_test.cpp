#include "dialup/ras_messages.h"

#include <gtest/gtest.h>

#include "fakes/fake_remote_access.h"
#include "test_files.h"

namespace norvax {
namespace {

using testing::Sjis;

TEST(RasMessages, TableCoversExactlyItsCodes) {
  int rows = 0;
  for (int code = 550; code < 800; ++code) {
    bool expected = code >= 600 && code <= 752 && !(code >= 721 && code <= 728) &&
                    !(code >= 745 && code <= 751);
    EXPECT_EQ(!RasErrorText(code).empty(), expected) << code;
    rows += expected;
  }
  EXPECT_EQ(rows, 138);
  EXPECT_EQ(RasErrorText(600), Sjis("操作保留中です。"));
  EXPECT_EQ(RasErrorText(635), Sjis("不明なエラー"));
  EXPECT_EQ(RasErrorText(682), "ERROR WRITING SECTIONNAME");
  EXPECT_EQ(RasErrorText(691), Sjis("ユーザー名またはパスワード、あるいはその両方が無効なため、この"
                                    "ドメインにはアクセスできません。"));
  EXPECT_EQ(RasErrorText(752), Sjis("スクリプトの処理中に構文エラーを検出しました。"));
}

TEST(RasMessages, BusyLineChangesTheSessionState) {
  struct Case {
    int code, state, after;
  } cases[] = {{676, 0, 0}, {676, 4, 4}, {676, 1, 3}, {676, 2, 3}, {678, 1, 1}};
  for (const auto& c : cases) {
    int state = c.state;
    EXPECT_FALSE(RasErrorText(c.code, &state).empty());
    EXPECT_EQ(state, c.after) << c.code << " " << c.state;
  }
  fakes::FakeRemoteAccess access;
  int state = 1;
  EXPECT_EQ(StateText(0, 676, access, &state), Sjis("回線はビジーです。"));
  EXPECT_EQ(state, 3);
}

TEST(RasMessages, StateText) {
  fakes::FakeRemoteAccess access;
  access.errorTexts[721] = "platform 721";
  access.errorTexts[745] = std::string(150, 'x');
  EXPECT_EQ(StateText(0, 721, access), "platform 721");
  EXPECT_EQ(StateText(0, 745, access), std::string(99, 'x'));
  EXPECT_EQ(StateText(0, 500, access), "");
  EXPECT_EQ(StateText(4, 0, access), "All devices connected");
  EXPECT_EQ(StateText(6, 0, access), Sjis("認証イベントが発生しました。"));
  EXPECT_EQ(StateText(19, 0, access), Sjis("ﾕｰｻﾞｰID､ﾊﾟｽﾜｰﾄﾞを認証中..."));
  EXPECT_EQ(StateText(8192, 0, access), Sjis("接続完了"));
  EXPECT_EQ(StateText(5, 0, access), "");
}

}  // namespace
}  // namespace norvax
