#include "launch/proxy_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include "core/entry_table.h"
#include "fakes/fake_help.h"
#include "fakes/fake_user_dialogs.h"

namespace norvax {
namespace {

struct ProxyWindow : ::testing::Test {
  std::string flags = "110", servers = "http=a:8080;socks=s:1080", exceptions = "localhost";
  fakes::FakeUserDialogs dialogs;
  fakes::FakeHelp help;
  TForm6 form{flags, servers, exceptions, dialogs, help};
};

TEST_F(ProxyWindow, ShowsTheRecordInItsRows) {
  EXPECT_EQ(form.windowTitle(), QStringLiteral("ﾌﾟﾛｷｼの設定"));
  EXPECT_TRUE(form.CheckBox1->isChecked());
  EXPECT_TRUE(form.RadioButton1->isChecked());
  EXPECT_EQ(form.Edits[0]->text(), QStringLiteral("a"));     // HTTP host
  EXPECT_EQ(form.Edits[1]->text(), QStringLiteral("8080"));  // HTTP port
  EXPECT_EQ(form.Edits[8]->text(), QStringLiteral("s"));     // Socks host
  EXPECT_EQ(form.Memo1->toPlainText(), QStringLiteral("localhost"));
}

TEST_F(ProxyWindow, OkWritesTheWorkingCopyCancelLeavesIt) {
  form.Edits[0]->clear();                            // HTTP host gone: its port goes too
  form.Edits[4]->setText(QStringLiteral("ftp.jp"));  // FTP host
  form.RadioButton2->setChecked(true);
  form.Memo1->setPlainText(QStringLiteral("a.local\nb.local"));
  form.Button1->click();
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(flags, "111");
  EXPECT_EQ(servers, "ftp=ftp.jp;socks=s:1080");
  EXPECT_EQ(exceptions, "a.local;b.local") << "line breaks never reach the settings file";

  std::string f = "100", s = "http=x:1", e = "";
  TForm6 other(f, s, e, dialogs, help);
  other.CheckBox1->setChecked(true);
  other.Button2->click();
  EXPECT_EQ(f, "100");
  EXPECT_EQ(s, "http=x:1");
  other.Button3->click();
  EXPECT_EQ(help.topics, std::vector<std::string>{"NV015"});
}

TEST_F(ProxyWindow, RefusedTextKeepsTheWindowAndTheRecord) {
  form.Edits[0]->setText(QStringLiteral("proxy😀"));
  form.Button1->click();
  // A line break pasted into a server field would reach the settings file.
  form.Edits[0]->setText(QStringLiteral("a"));
  QApplication::clipboard()->setText(QStringLiteral("proxy.example.jp\n"));
  form.Edits[3]->paste();  // Secure port
  form.Button1->click();
  EXPECT_NE(form.result(), QDialog::Accepted);
  ASSERT_EQ(dialogs.errors.size(), 2u);
  EXPECT_EQ(dialogs.errors[1], LineBreakMessage("Secure"));
  EXPECT_EQ(servers, "http=a:8080;socks=s:1080");
}

}  // namespace
}  // namespace norvax
