#include "core/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>

#include "controls/nonscrlbox.h"
#include "controls/scrlbox.h"
#include "core/settings.h"
#include "core/startup.h"
#include "fakes/fake_password_prompt.h"
#include "fakes/fake_ports.h"
#include "launch/launch.h"
#include "platform/qt/qt_user_dialogs.h"
#include "test_files.h"
#include "windows/wait_window.h"

namespace norvax {
namespace {

using testing::Sjis;

struct MainWindow : ::testing::Test {
  fakes::FakePorts fake;
  fakes::FakePasswordPrompt prompt;
  ProgramState state;
  std::unique_ptr<TForm1> form;
  int registerCalls = 0;
  bool registerSaves = false;
  std::vector<bool> onTopDuringCommand;

  // A settings file with n entries; entry i has the given ID and password when listed.
  void Store(int n, std::initializer_list<std::pair<Pref, std::string>> changes = {},
             std::vector<std::pair<std::string, std::string>> idPass = {}) {
    EntryTable table;
    for (int i = 0; i < n; ++i) {
      Entry e = Entry::New();
      e[Column::Title] = "T" + std::to_string(i);
      e[Column::Browser] = "/usr/bin/browser";
      if (static_cast<std::size_t>(i) < idPass.size()) {
        e[Column::Id] = idPass[static_cast<std::size_t>(i)].first;
        e[Column::Pass] = idPass[static_cast<std::size_t>(i)].second;
      } else {
        e[Column::Id] = "id" + std::to_string(i);
        e[Column::Pass] = "pw" + std::to_string(i);
      }
      table.Append(e);
    }
    PreferenceList prefs;
    prefs.ResetToDefaults();
    for (auto& [p, v] : changes) prefs[p] = v;
    SaveEntryTable(fake.settings, table, prefs);
  }

  bool Start(std::vector<std::string> args = {}) {
    form = std::make_unique<TForm1>(state, fake.ports);
    form->registerCommand = [this](ProgramState&, Ports&, QWidget* parent) {
      ++registerCalls;
      onTopDuringCommand.push_back(parent->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
      return registerSaves;
    };
    form->versionCommand = [](QWidget*) {};
    form->processEvents = [] {};
    form->resize(200, 150);
    return form->Start(args, prompt);
  }

  QStringList Texts(QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
  }

  void Select(ColumnList* list, int row) { list->SetSelectedRow(row); }

  void DoubleClick(ColumnList* list, int row, Qt::MouseButton button) {
    const QPointF at = list->visualItemRect(list->item(row)).center();
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                      QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
      QMouseEvent e(type, at, list->viewport()->mapToGlobal(at), button,
                    type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
      QApplication::sendEvent(list->viewport(), &e);
    }
  }
};

TEST_F(MainWindow, ColumnsShowTheEntriesWithTheMasking) {
  Store(3, {{IdDisplay, "2"}, {PassDisplay, "1"}},
        {{std::string(20, 'i'), std::string(21, 'p')}, {Sjis("山田"), Sjis("あいう")}, {"", ""}});
  ASSERT_TRUE(Start());
  EXPECT_EQ(Texts(form->Nonscrlbox1), (QStringList{"T0", "T1", "T2"}));
  EXPECT_EQ(Texts(form->Nonscrlbox2), (QStringList{QString(20, '*'), QString(4, '*'), QString()}));
  EXPECT_EQ(Texts(form->Scrlbox1), (QStringList{QString(30, '*'), QString(6, '*'), QString()}));
}

TEST_F(MainWindow, IdsInClearWithPreferenceThreeAtZero) {
  Store(2, {{IdDisplay, "0"}, {PassDisplay, "0"}}, {{Sjis("山田"), "secret"}});
  ASSERT_TRUE(Start());
  EXPECT_EQ(form->Nonscrlbox2->item(0)->text(), QStringLiteral("山田"));
  EXPECT_EQ(form->Scrlbox1->item(0)->text(), QStringLiteral("secret"));
}

TEST_F(MainWindow, SingleTitleClickOnlySelectsWithPreference28Off) {
  Store(3, {{TitleSingleClick, "0"}});
  ASSERT_TRUE(Start());
  Select(form->Scrlbox1, 2);
  Select(form->Nonscrlbox2, 2);
  Select(form->Nonscrlbox1, 1);
  form->Nonscrlbox1Click();
  EXPECT_TRUE(fake.processes.started.empty());
  EXPECT_EQ(form->Nonscrlbox1->SelectedRow(), 1);
  EXPECT_EQ(form->Nonscrlbox2->SelectedRow(), -1);
  EXPECT_EQ(form->Scrlbox1->SelectedRow(), -1);
  form->Nonscrlbox1DblClick();
  EXPECT_EQ(fake.processes.started.size(), 1u);
  EXPECT_EQ(state.main.currentEntry, 1);
}

TEST_F(MainWindow, SingleTitleClickLaunchesWithPreference28On) {
  Store(3, {{TitleSingleClick, "1"}});
  ASSERT_TRUE(Start());
  Select(form->Nonscrlbox1, 2);
  form->Nonscrlbox1Click();
  EXPECT_EQ(fake.processes.started.size(), 1u);
  EXPECT_EQ(state.main.currentEntry, 2);
  form->Nonscrlbox1DblClick();
  EXPECT_TRUE(fake.dialogs.errors.empty()) << "the double click tries no second launch";
}

TEST_F(MainWindow, IdAndPasswordClicksClearTheOtherColumns) {
  Store(3);
  ASSERT_TRUE(Start());
  Select(form->Nonscrlbox1, 0);
  Select(form->Nonscrlbox2, 1);
  form->Nonscrlbox2Click();
  EXPECT_EQ(form->Nonscrlbox1->SelectedRow(), -1);
  EXPECT_EQ(form->Nonscrlbox2->SelectedRow(), 1);
  Select(form->Scrlbox1, 2);
  form->Scrlbox1Click();
  EXPECT_EQ(form->Nonscrlbox2->SelectedRow(), -1);
  EXPECT_EQ(form->Scrlbox1->SelectedRow(), 2);
  EXPECT_EQ(state.main.currentEntry, -1) << "ID and password clicks launch nothing";
}

TEST_F(MainWindow, ColumnsStayLevelWhenThePasswordColumnScrolls) {
  Store(40);
  ASSERT_TRUE(Start());
  form->show();
  QApplication::processEvents();
  QScrollBar* bar = form->Scrlbox1->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 5);
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  QApplication::processEvents();
  int top = form->Scrlbox1->TopIndex();
  EXPECT_GT(top, 0);
  EXPECT_EQ(form->Nonscrlbox1->TopIndex(), top);
  EXPECT_EQ(form->Nonscrlbox2->TopIndex(), top);
  EXPECT_FALSE(form->Nonscrlbox1->verticalScrollBar()->isVisible());
  EXPECT_FALSE(form->Nonscrlbox2->verticalScrollBar()->isVisible());

  // The keyboard in the title column scrolls all three.
  QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
  QApplication::sendEvent(form->Nonscrlbox1, &end);
  EXPECT_GT(form->Nonscrlbox1->TopIndex(), top);
  EXPECT_EQ(form->Scrlbox1->TopIndex(), form->Nonscrlbox1->TopIndex());
  EXPECT_EQ(form->Nonscrlbox2->TopIndex(), form->Nonscrlbox1->TopIndex());

  // Only the left button's double click launches, the entry of the row clicked.
  DoubleClick(form->Nonscrlbox1, 38, Qt::RightButton);
  EXPECT_TRUE(fake.processes.started.empty());
  DoubleClick(form->Nonscrlbox1, 38, Qt::LeftButton);
  EXPECT_EQ(fake.processes.started.size(), 1u);
  EXPECT_EQ(state.main.currentEntry, 38);
}

TEST_F(MainWindow, RegisterCommandRefillsKeepingTheViewAndRestoresStayingOnTop) {
  Store(40, {{AlwaysOnTop, "1"}});
  ASSERT_TRUE(Start());
  EXPECT_TRUE(form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  form->Scrlbox1->SetTopIndex(5);
  Select(form->Scrlbox1, 7);
  state.table.List(Column::Title)[7] = "renamed";
  form->Exit1Click();  // not saved: the columns keep what they showed
  EXPECT_EQ(form->Nonscrlbox1->item(7)->text(), QStringLiteral("T7"));
  registerSaves = true;
  form->Exit1Click();
  EXPECT_EQ(registerCalls, 2);
  EXPECT_EQ(onTopDuringCommand, (std::vector<bool>{false, false}));
  EXPECT_TRUE(form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(form->Nonscrlbox1->item(7)->text(), QStringLiteral("renamed"));
  EXPECT_EQ(form->Scrlbox1->TopIndex(), 5);
  EXPECT_EQ(form->Nonscrlbox1->TopIndex(), 5);
  EXPECT_EQ(form->Nonscrlbox1->SelectedRow(), 7);
}

TEST_F(MainWindow, PreferencesCommandAppliesTheCaptionBarAndMasking) {
  Store(2, {{AlwaysOnTop, "0"}});
  ASSERT_TRUE(Start());
  EXPECT_TRUE(form->Panel5->isHidden());
  form->preferencesCommand = [](ProgramState& s, Ports&, QWidget*) {
    s.prefs[ShowTargetCaption] = "1";
    s.prefs[PassDisplay] = "0";
    s.prefs[AlwaysOnTop] = "1";
    return true;
  };
  form->N3Click();
  EXPECT_FALSE(form->Panel5->isHidden());
  EXPECT_EQ(form->Scrlbox1->item(0)->text(), QStringLiteral("pw0"));
  EXPECT_TRUE(form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(MainWindow, CaptionBarShowsTheLastTargetAfterAFill) {
  Store(2, {{ShowTargetCaption, "1"}, {IdPassSingleClick, "0"}});
  ASSERT_TRUE(Start());
  state.lastTargetCaption = Sjis("接続 - 前回");
  Select(form->Nonscrlbox2, 0);
  form->Nonscrlbox2Click();  // selects only: no fill, no caption update
  EXPECT_EQ(form->Label4->text(), QString());
  form->Nonscrlbox2DblClick();
  EXPECT_EQ(form->Label4->text(), QStringLiteral("接続 - 前回"));

  // A caption longer than the bar is cut; the window keeps its width.
  const int width = form->width();
  state.lastTargetCaption = std::string(200, 'W');
  form->Nonscrlbox2DblClick();
  QApplication::processEvents();
  EXPECT_EQ(form->width(), width);
  EXPECT_TRUE(form->Label4->text().endsWith(QChar(0x2026))) << form->Label4->text().toStdString();
  EXPECT_EQ(form->Label4->toolTip(), QString(200, 'W'));
}

TEST_F(MainWindow, LogCommandHidesTheMainWindowWhileTheViewerIsOpen) {
  Store(1);
  ASSERT_TRUE(Start());
  bool hiddenDuring = false;
  bool flagDuring = false;
  form->logCommand = [&](ProgramState& s, Ports&, QWidget* owner) {
    hiddenDuring = !owner->isVisible();
    flagDuring = s.main.mainWindowHidden;
  };
  form->K3Click();
  EXPECT_TRUE(hiddenDuring);
  EXPECT_TRUE(flagDuring);
  EXPECT_TRUE(form->isVisible());
  EXPECT_FALSE(state.main.mainWindowHidden);
}

TEST_F(MainWindow, ClosingTheWaitWindowWhileTheMainWindowIsHiddenGivesUpTheWaitOnly) {
  Store(1);
  ASSERT_TRUE(Start());
  MainWindowControl control;
  control.Attach(form.get());
  control.HideMainWindow();
  control.ShowWaitWindow();
  QWidget* wait = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (qobject_cast<TForm5*>(w) && w->isVisible()) wait = w;
  }
  ASSERT_NE(wait, nullptr);
  // Records a request to end the event loop, as Qt makes one when its last window closes.
  struct QuitWatch : QObject {
    bool asked = false;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Quit) asked = true;
      return false;
    }
  } watch;
  qApp->installEventFilter(&watch);
  QTimer::singleShot(0, wait, [wait] {
    wait->close();  // Alt+F4
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
  });
  QApplication::exec();
  qApp->removeEventFilter(&watch);
  EXPECT_FALSE(watch.asked);
  EXPECT_TRUE(state.main.waitCancelled) << "as its Cancel button does";
}

TEST_F(MainWindow, HelpAndRelaunch) {
  Store(2);
  ASSERT_TRUE(Start());
  form->SearchforHelpOn1Click();
  EXPECT_EQ(fake.help.finderShown, 1);
  state.session.state = kSessionRelaunchRequested;
  state.session.entry = 1;
  state.main.timerBusy = true;
  PostRelaunch(form.get());
  QApplication::sendPostedEvents(form.get());
  EXPECT_EQ(fake.dialogs.errors, std::vector<std::string>{LaunchBusyMessage()});
}

TEST_F(MainWindow, AbandonedStartNeverShowsTheWindow) {
  Store(2);
  EXPECT_FALSE(Start({"9"}));
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(fake.dialogs.errors, std::vector<std::string>{Sjis("ｺﾏﾝﾄﾞﾗｲﾝ引数 ｴﾗ-")});
}

TEST_F(MainWindow, CommandLineStartIsMinimisedUntilRestored) {
  Store(2);
  ASSERT_TRUE(Start({"2"}));
  EXPECT_TRUE(state.main.minimisedAtStart);
  EXPECT_EQ(state.main.currentEntry, 1);
  form->showNormal();
  QApplication::processEvents();
  EXPECT_FALSE(state.main.minimisedAtStart);
}

TEST_F(MainWindow, AQuitAskedForDuringAStartUpBoxEndsTheProgramOnceStartUpReturns) {
  Store(1, {{LockActive, "1"}});  // damaged: start-up says so in a box
  QtUserDialogs boxes;
  Ports ports{fake.settings, boxes,         fake.help,     fake.remote,
              fake.clock,    fake.windows,  fake.registry, fake.processes,
              fake.program,  fake.logState, fake.logFiles, fake.proxy};
  TForm1 window(state, ports);
  bool runs = true;
  QTimer::singleShot(0, &window, [&] {
    // A quit signal while the box is open: it closes the main window, as at any time.
    QTimer::singleShot(0, &window, [&] { window.close(); });
    runs = window.Start({}, prompt);
  });
  QApplication::exec();
  EXPECT_FALSE(runs);
  EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindow, AHandedOverLaunchWaitsForNoModalWindowNorTheEnd) {
  Store(2);
  ASSERT_TRUE(Start());
  QDialog editing(form.get());
  editing.setModal(true);
  editing.show();
  EXPECT_EQ(form->AnotherStart({"2"}), StartAnswer::kEditing) << "its entry may change there";
  EXPECT_EQ(form->AnotherStart({}), StartAnswer::kTaken) << "the windows come to the front";
  editing.hide();
  state.main.ending = true;
  EXPECT_EQ(form->AnotherStart({"2"}), StartAnswer::kEnding);
  state.main.ending = false;
  QApplication::processEvents();
  EXPECT_EQ(state.main.currentEntry, -1);
  EXPECT_EQ(form->AnotherStart({"2"}), StartAnswer::kTaken);
  QApplication::processEvents();
  EXPECT_EQ(state.main.currentEntry, 1);
}

// A later start that the running copy refuses learns why, says it itself and fails; the
// running copy shows nothing.
TEST_F(MainWindow, AHandedOverLaunchThatCannotRunIsRefusedWithItsReason) {
  Store(2);
  ASSERT_TRUE(Start());
  EXPECT_EQ(form->AnotherStart({"3"}),
            StartReply(StartAnswer::kRefused, CommandLineErrorMessage()));
  state.main.timerEnabled = true;  // a launch waits to type the password
  EXPECT_EQ(form->AnotherStart({"2"}), StartReply(StartAnswer::kRefused, LaunchBusyMessage()));
  EXPECT_EQ(form->AnotherStart({}), StartAnswer::kTaken) << "the windows come to the front";
  QApplication::processEvents();
  EXPECT_EQ(fake.dialogs.errors, std::vector<std::string>{});
  EXPECT_EQ(state.main.currentEntry, -1);
}

TEST_F(MainWindow, BoundsAreRestoredAndSavedAtExit) {
  Store(2, {{KeepWindowPosition, "1"},
            {WindowLeft, "30"},
            {WindowTop, "40"},
            {WindowWidth, "220"},
            {WindowHeight, "260"},
            {LeftPanelWidth, "120"},
            {TitleColumnWidth, "70"}});
  ASSERT_TRUE(Start());
  EXPECT_EQ(form->width(), 220);
  EXPECT_EQ(form->Panel2->width(), 120);
  form->Panel3->setFixedWidth(60);
  form->FormDestroy();
  form->FormDestroy();  // runs once
  EXPECT_EQ(state.prefs[TitleColumnWidth], "60");
  EXPECT_EQ(state.prefs[WindowWidth], "220");
  ProgramState reread;
  ASSERT_TRUE(ReadSettings(fake.settings, reread.table, reread.prefs));
  EXPECT_EQ(reread.prefs[TitleColumnWidth], "60");
}

}  // namespace
}  // namespace norvax
