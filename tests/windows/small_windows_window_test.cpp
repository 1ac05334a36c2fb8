#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include "app/qt_japanese.h"
#include "core/main_window_rules.h"
#include "core/program_state.h"
#include "dialup/dial_status_dialog.h"
#include "platform/cp932.h"
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

// The main timer's next steps may keep the event loop from running for a while (the window
// system's calls): the window is on the screen with its text before its creator goes on.
TEST(WaitWindow, IsPaintedBeforeItsCreatorGoesOn) {
  MainState main;
  TForm5 wait(main);
  // The screen of the offscreen platform shows what the window has painted and flushed.
  const auto shown = [&wait] {
    return QGuiApplication::primaryScreen()->grabWindow(wait.winId()).toImage();
  };
  const QImage created = shown();
  ASSERT_FALSE(created.isNull()) << "nothing painted";
  wait.SetText(WaitCountdownText(3), 0x008000);
  const QImage counting = shown();
  EXPECT_NE(counting, created) << "the countdown is painted at once";
  wait.SetText(WaitCountdownText(3), 0xFFFFFF);
  EXPECT_NE(shown(), counting) << "and so is its blink";
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

void PressEsc(QWidget& window) {
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&window, &esc);
}

TEST(DialStatusDialog, EscCancelsAndTheDialogStaysUntilTheSessionCloses) {
  EXPECT_EQ(TOKRightDlg("", nullptr).windowTitle(), QStringLiteral("ﾀﾞｲｱﾛｸﾞ"));
  int cancels = 0;
  TOKRightDlg status(Sjis("NORVAX  Providerに接続中"), [&] { ++cancels; });
  EXPECT_EQ(status.windowTitle(), QStringLiteral("NORVAX  Providerに接続中"));
  status.show();
  status.SetStatus(Sjis("切断中..."));
  EXPECT_EQ(status.Label1->text(), QStringLiteral("切断中..."));
  status.SetLabelColour(0x808080);
  EXPECT_EQ(status.Label2->palette().color(QPalette::WindowText), QColor(128, 128, 128));
  PressEsc(status);
  EXPECT_EQ(cancels, 1);
  EXPECT_TRUE(status.isVisible());
}

TEST(DialErrorDialog, ShowsTheTextAndEscCloses) {
  EXPECT_EQ(TOKRightDlg1(Sjis("NORVAX  Providerに接続"), "").windowTitle(),
            QStringLiteral("NORVAX  Providerに接続"));
  TOKRightDlg1 error("", Sjis("回線がビジーです。  ﾀﾞｲﾔﾙ 1回"));
  EXPECT_EQ(error.windowTitle(), QStringLiteral("ﾀﾞｲｱﾛｸﾞ"));
  EXPECT_EQ(error.Memo1->toPlainText(), QStringLiteral("回線がビジーです。  ﾀﾞｲﾔﾙ 1回"));
  EXPECT_TRUE(error.Memo1->isReadOnly());
  error.show();
  PressEsc(error);
  EXPECT_FALSE(error.isVisible());
}

}  // namespace
}  // namespace norvax
