#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "app/qt_japanese.h"
#include "core/main_window_rules.h"
#include "core/program_state.h"
#include "platform/qt/fonts.h"
#include "windows/version_window.h"
#include "windows/wait_window.h"

namespace norvax {
namespace {

TEST(WaitWindow, ShowsTheCountdownAndCancels) {
  MainState main;
  TForm5 wait(main);
  EXPECT_TRUE(wait.isVisible());
  EXPECT_EQ(wait.pos(), QPoint(0, 0));
  wait.SetText(WaitCountdownText(3), 0x008000);
  EXPECT_EQ(wait.Label1->text(), QStringLiteral("ﾊﾟｽﾜ-ﾄﾞのｾｯﾄ待機  あと  29  SEC"));
  EXPECT_EQ(wait.Label1->palette().color(QPalette::WindowText), QColor(0, 128, 0));
  EXPECT_FALSE(main.waitCancelled);
  wait.Button1->click();
  EXPECT_TRUE(main.waitCancelled);
  EXPECT_TRUE(wait.isVisible()) << "the main timer ends the wait, not the button";
}

TEST(ProgramFonts, JapaneseFacesHaveTheGlyphsTheWindowsShow) {
  InstallFontSubstitutes();
  // Full-width and half-width kana, kanji and the full-width digits of the version.
  const QString text = QStringLiteral("タイトルﾀｲﾄﾙ環境設定２．３１");
  for (const QFont& font : {PGothic(12), Gothic(13)}) {
    QFontMetrics metrics(font);
    for (QChar c : text)
      EXPECT_TRUE(metrics.inFont(c)) << font.family().toStdString() << int{c.unicode()};
  }
}

TEST(QtJapanese, StandardButtonsSpeakJapanese) {
  QTranslator translator;
  ASSERT_TRUE(InstallQtJapanese(translator));
  QMessageBox box(QMessageBox::NoIcon, QString(), QString(), QMessageBox::Ok | QMessageBox::Cancel);
  EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("キャンセル"));
  QCoreApplication::removeTranslator(&translator);
}

TEST(VersionWindow, EnterPressesOk) {
  TAboutBox box;
  EXPECT_EQ(box.windowTitle(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
  EXPECT_EQ(box.Version->text(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ          ２．３１"));
  box.show();
  QApplication::processEvents();
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(&box, &enter);
  EXPECT_EQ(box.result(), QDialog::Accepted);
  EXPECT_FALSE(box.isVisible());
}

}  // namespace
}  // namespace norvax
