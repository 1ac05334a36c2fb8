#include "launch/entry_editor_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "dialup/connection_settings_window.h"
#include "fakes/fake_ports.h"
#include "launch/proxy_window.h"
#include "platform/cp932.h"
#include "platform/processes.h"
#include "test_files.h"

namespace norvax {
namespace {

using testing::Sjis;

class EntryEditorWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    prefs.ResetToDefaults();
    fake.remote.phonebook = {{Sjis("プロバイダ"), "0120"}, {"Net", "03"}};
    for (int i = 0; i < 2; ++i) {
      Entry e = Entry::New();
      e[Column::Title] = "t" + std::to_string(i + 1);
      table.Append(e);
    }
  }
  std::unique_ptr<TForm3> Open(EditorContext& ctx) {
    return std::make_unique<TForm3>(ctx, table, prefs, fake.remote, fake.dialogs, fake.help);
  }

  EntryTable table;
  PreferenceList prefs;
  fakes::FakePorts fake;
};

TEST_F(EntryEditorWindowTest, AddShowsPaddedNumberAndPhonebook) {
  EditorContext ctx{EditorMode::Add, -1, 2, true};
  auto w = Open(ctx);
  EXPECT_EQ(w->Label6->text(), QStringLiteral("    3"));
  ASSERT_EQ(w->ComboBox1->count(), 2);
  EXPECT_EQ(w->ComboBox1->itemText(0), QStringLiteral("プロバイダ"));
  EXPECT_EQ(w->ComboBox2->count(), 7);
  EXPECT_FALSE(w->Button5->isEnabled());
  EXPECT_EQ(w->Password3->echoMode(), QLineEdit::Password);  // preference 4 is "1"
  EXPECT_EQ(w->Password2->echoMode(), QLineEdit::Normal);

  w->Edit1->setText(QStringLiteral("新規"));
  w->ComboBox1->setCurrentText(QStringLiteral("/N"));
  w->Edit4->setText("browser");
  w->Button1Click();
  EXPECT_TRUE(fake.dialogs.errors.empty());
  EXPECT_FALSE(ctx.cancelled);
  ASSERT_EQ(table.Count(), 3u);
  EXPECT_EQ(table.Value(2, Column::Title), Sjis("新規"));
  EXPECT_EQ(table.Value(2, Column::Connection), "/N");
  EXPECT_EQ(table.Value(2, Column::DialProfile), kDefaultDialProfile);
}

TEST_F(EntryEditorWindowTest, BrowsedProgramWithBlanksStartsAsOneWord) {
  testing::TempDir dir;
  const auto program = dir / "My Browser" / "run it";
  std::filesystem::create_directories(program.parent_path());
  testing::WriteFile(program, "");
  EditorContext ctx{EditorMode::Add, -1, 2, true};
  auto w = Open(ctx);
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->selectFile(QString::fromStdString(program.string()));
    static_cast<QDialog*>(dialog)->accept();  // the file dialog's own OK
  });
  w->Button3Click();
  const auto words = SplitCommandLine(w->Edit4->text().toStdString());
  EXPECT_EQ(words, std::vector<std::string>{program.string()}) << w->Edit4->text().toStdString();
}

TEST_F(EntryEditorWindowTest, ValidationMessagesKeepTheWindowAndTable) {
  EditorContext ctx{EditorMode::Add, -1, 2, true};
  auto w = Open(ctx);
  w->Button1Click();
  w->Edit1->setText("x");
  w->Edit4->setText("browser");
  w->Button1Click();
  w->ComboBox1->setCurrentText("Net");
  w->Edit5->setText(QString(256, 'a'));
  w->Button1Click();
  EXPECT_EQ(fake.dialogs.errors,
            (std::vector<std::string>{TitleMissingMessage(), BrowserConnectionMessage(),
                                      TooLongMessage()}));
  EXPECT_TRUE(ctx.cancelled);
  EXPECT_EQ(table.Count(), 2u);
  EXPECT_EQ(w->Edit5->text().size(), 256);  // input stays as typed
}

TEST_F(EntryEditorWindowTest, ByteLimitCountsDoubleByteCharacters) {
  EditorContext ctx{EditorMode::Edit, 0, 2, true};
  auto w = Open(ctx);
  w->Edit1->setText(QString(127, QChar(0x3042)) + "x");  // 255 bytes
  w->Button1Click();
  EXPECT_TRUE(fake.dialogs.errors.empty());
  EXPECT_EQ(table.Value(0, Column::Title).size(), 255u);

  EditorContext again{EditorMode::Edit, 0, 2, true};
  auto w2 = Open(again);
  w2->Edit1->setText(QString(128, QChar(0x3042)));  // 256 bytes
  w2->Button1Click();
  EXPECT_EQ(fake.dialogs.errors, std::vector<std::string>{TooLongMessage()});
  EXPECT_TRUE(again.cancelled);
}

TEST_F(EntryEditorWindowTest, TextWithoutShiftJisFormIsRefusedNamingTheField) {
  EditorContext ctx{EditorMode::Edit, 1, 2, true};
  auto w = Open(ctx);
  w->Edit5->setText(QString::fromUtf8("\xF0\x9F\x98\x80"));
  w->Button1Click();
  ASSERT_EQ(fake.dialogs.errors.size(), 1u);
  EXPECT_NE(Cp932ToUtf8(fake.dialogs.errors[0]).find("ｾｯﾄ2"), std::string::npos);
  EXPECT_TRUE(ctx.cancelled);
  EXPECT_EQ(table.Value(1, Column::Set2), "");
}

TEST_F(EntryEditorWindowTest, EditLoadsTheEntryAndCheckBoxRules) {
  table.List(Column::OwnDialler)[1] = "1";
  table.List(Column::SetPass)[1] = "1";
  table.List(Column::ProxyFlags)[1] = "101";
  table.List(Column::Set1)[1] = "IE4.0";
  EditorContext ctx{EditorMode::Edit, 1, 2, true};
  auto w = Open(ctx);
  EXPECT_EQ(w->Label6->text(), QStringLiteral("2"));
  EXPECT_EQ(w->Edit1->text(), QStringLiteral("t2"));
  EXPECT_EQ(w->ComboBox2->currentText(), QStringLiteral("IE4.0"));
  EXPECT_TRUE(w->CheckBox3->isChecked());
  EXPECT_TRUE(w->CheckBox1->isChecked());
  EXPECT_FALSE(w->CheckBox1->isEnabled());
  EXPECT_TRUE(w->CheckBox2->isChecked());
  EXPECT_TRUE(w->Button5->isEnabled());

  w->CheckBox3->setChecked(false);
  w->CheckBox3Click();
  EXPECT_TRUE(w->CheckBox1->isEnabled());
  w->CheckBox2->setChecked(false);
  w->CheckBox2Click();
  EXPECT_FALSE(w->Button5->isEnabled());
  EXPECT_EQ(w->Working().proxyFlags, "001");
  EXPECT_EQ(table.Value(1, Column::ProxyFlags), "101");  // only OK writes it
  w->Button1Click();
  EXPECT_EQ(table.Value(1, Column::ProxyFlags), "001");
  EXPECT_EQ(table.Value(1, Column::OwnDialler), "0");
  EXPECT_EQ(table.Value(1, Column::SetPass), "1");
}

// A stored "taro{~x" types taro, ENTER and x: the ID and PASS fields say so themselves.
TEST_F(EntryEditorWindowTest, IdAndPassFieldsSayWhatTheMarkersType) {
  EditorContext ctx{EditorMode::Add, -1, 2, true};
  auto w = Open(ctx);
  for (const QLineEdit* field : {w->Password2, w->Password3}) {
    const QString tip = field->toolTip();
    for (const char* word : {"{~", "ENTER", "{]", "TAB"}) {
      EXPECT_TRUE(tip.contains(QLatin1String(word))) << field->objectName().toStdString() << word;
    }
  }
}

TEST_F(EntryEditorWindowTest, CancelAndHelp) {
  EditorContext ctx{EditorMode::Edit, 0, 2, true};
  auto w = Open(ctx);
  w->Edit1->setText("changed");
  w->Button4Click();
  w->Button2Click();
  EXPECT_TRUE(ctx.cancelled);
  EXPECT_EQ(table.Value(0, Column::Title), "t1");
  EXPECT_EQ(fake.help.topics, std::vector<std::string>{"NV014"});
}

}  // namespace
}  // namespace norvax

namespace norvax {
namespace {

TEST_F(EntryEditorWindowTest, ProxyButtonOpensTheProxyWindow) {
  table.List(Column::ProxyFlags)[0] = "100";
  EditorContext ctx{EditorMode::Edit, 0, 2, true};
  auto w = Open(ctx);
  bool opened = false;
  QTimer::singleShot(0, [&] {
    auto* proxy = qobject_cast<TForm6*>(QApplication::activeModalWidget());
    opened = proxy != nullptr;
    if (QApplication::activeModalWidget()) QApplication::activeModalWidget()->close();
  });
  w->Button5->click();
  EXPECT_TRUE(opened);
  EXPECT_EQ(w->Working().proxyFlags, "100");  // closed without OK: unchanged
}

}  // namespace
}  // namespace norvax

namespace norvax {
namespace {

TEST_F(EntryEditorWindowTest, ConnectionButtonOpensTheSettingsOnTheWorkingProfile) {
  EditorContext ctx{EditorMode::Add, -1, 2, true};
  auto w = Open(ctx);
  bool opened = false;
  QTimer::singleShot(0, [&] {
    opened = qobject_cast<TForm7*>(QApplication::activeModalWidget()) != nullptr;
    if (QApplication::activeModalWidget()) QApplication::activeModalWidget()->close();
  });
  w->Button7->click();
  EXPECT_TRUE(opened);
  EXPECT_EQ(w->Working().dialProfile, kDefaultDialProfile);
}

}  // namespace
}  // namespace norvax
