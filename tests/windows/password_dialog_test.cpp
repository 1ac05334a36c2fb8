#include "windows/password_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "platform/cp932.h"

namespace norvax {
namespace {

TEST(PasswordDialog, SingleAndTwoFieldForms) {
  PasswordDialog d;
  EXPECT_EQ(d.size(), QSize(230, 136));
  EXPECT_EQ(d.windowTitle(), QStringLiteral("登録ｳｲﾝﾄﾞｳのﾊﾟｽﾜｰﾄﾞ 設定"));
  EXPECT_EQ(d.Password->echoMode(), QLineEdit::Password);
  EXPECT_TRUE(d.OKBtn->isDefault());

  d.Apply(VerifySetup(Sjis("登録ｳｲﾝﾄﾞｳ表示")));
  EXPECT_EQ(d.windowTitle(), QStringLiteral("登録ｳｲﾝﾄﾞｳ表示"));
  EXPECT_EQ(d.Label1->text(), QStringLiteral("ﾊﾟｽﾜｰﾄﾞの入力:"));
  EXPECT_EQ(d.Label2->text(), QString());
  EXPECT_FALSE(d.Password2->isEnabled());

  d.Apply(PasswordPromptSetup{Sjis("変更"), Sjis("旧ﾊﾟｽﾜ-ﾄﾞ"), Sjis("新ﾊﾟｽﾜ-ﾄﾞ"), true});
  EXPECT_TRUE(d.Password2->isEnabled());
  EXPECT_EQ(d.Label2->text(), QStringLiteral("新ﾊﾟｽﾜ-ﾄﾞ"));
}

TEST(PasswordDialog, PromptKeepsTypedTextBetweenShowings) {
  QtPasswordPrompt prompt(nullptr);
  prompt.Setup(VerifySetup(Sjis("x")));
  QTimer::singleShot(0, [&] {
    prompt.Dialog().Password->setText(QStringLiteral("ﾊﾟｽ"));
    prompt.Dialog().OKBtn->click();
  });
  EXPECT_TRUE(prompt.Show());
  EXPECT_EQ(prompt.First(), Sjis("ﾊﾟｽ"));
  QTimer::singleShot(0, [&] { prompt.Dialog().CancelBtn->click(); });
  EXPECT_FALSE(prompt.Show());
  EXPECT_EQ(prompt.First(), Sjis("ﾊﾟｽ"));
}

}  // namespace
}  // namespace norvax
