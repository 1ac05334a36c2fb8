#include "platform/qt/qt_help.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>

#include "test_files.h"

namespace norvax {
namespace {

TEST(HelpWindow, OpensTopicsByKeyAndFindsThemBySearch) {
  testing::TempDir dir;
  testing::WriteFile(dir / "NORVAX.HLP",
                     "@@ NV000 目次\n<p>はじめに</p>\n"
                     "@@ NV013 登録ウインドウ\n<p>エントリを追加します</p>\n"
                     "@@ NV014 エントリの編集\n<p>タイトルを入力</p>\n");
  QtHelp help(dir / "NORVAX.HLP");
  help.ShowTopic("NV013");
  HelpWindow* w = help.Window();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->CurrentKey(), QStringLiteral("NV013"));
  EXPECT_TRUE(w->Page->toPlainText().contains(QStringLiteral("エントリを追加します")));
  ASSERT_EQ(w->Contents->count(), 3);
  EXPECT_EQ(w->Contents->item(2)->text(), QStringLiteral("エントリの編集"));

  w->Search(QStringLiteral("タイトル"));
  ASSERT_EQ(w->SearchResults->count(), 1);
  EXPECT_EQ(w->SearchResults->item(0)->text(), QStringLiteral("エントリの編集"));

  w->Search(QStringLiteral("ｴﾝﾄﾘ"));  // half-width kana find full-width text
  ASSERT_EQ(w->SearchResults->count(), 2);
  EXPECT_EQ(w->SearchResults->item(0)->text(), QStringLiteral("登録ウインドウ"));

  help.ShowTopic("NV099");
  EXPECT_EQ(w->CurrentKey(), QString());
  EXPECT_TRUE(w->Page->toPlainText().contains(QStringLiteral("NV099")));

  help.ShowFinder();
  EXPECT_EQ(w->Finder->currentIndex(), 0);
  EXPECT_EQ(w->CurrentKey(), QStringLiteral("NV000"));
}

TEST(HelpWindow, UsableFromAModalDialog) {
  testing::TempDir dir;
  testing::WriteFile(dir / "NORVAX.HLP", "@@ NV013 登録ウインドウ\n<p>x</p>\n");
  QtHelp help(dir / "NORVAX.HLP");
  QDialog owner;
  Qt::WindowModality overDialog = Qt::NonModal;
  QWidget* modalAfter = nullptr;
  QWidget* helpOwner = nullptr;
  QTimer::singleShot(0, &owner, [&] {
    help.ShowTopic("NV013");  // the Help button of a modal window
    overDialog = help.Window()->windowModality();
    modalAfter = QApplication::activeModalWidget();
    helpOwner = help.Window()->parentWidget();
    help.Window()->close();
    owner.reject();
  });
  owner.exec();
  EXPECT_EQ(overDialog, Qt::ApplicationModal) << "otherwise the modal dialog blocks its input";
  EXPECT_EQ(modalAfter, help.Window());
  EXPECT_EQ(helpOwner, &owner) << "a window manager places it over the dialog";
  help.ShowFinder();  // from the main window again: not modal, a window of its own
  EXPECT_EQ(help.Window()->windowModality(), Qt::NonModal);
  EXPECT_EQ(help.Window()->parentWidget(), nullptr);
}

TEST(HelpWindow, MissingFileIsSaidInTheWindow) {
  testing::TempDir dir;
  QtHelp help(dir / "NORVAX.HLP");
  help.ShowTopic("NV013");
  EXPECT_TRUE(help.Window()->Page->toPlainText().contains(QStringLiteral("開けません")));
  EXPECT_EQ(help.Window()->Contents->count(), 0);
}

}  // namespace
}  // namespace norvax
