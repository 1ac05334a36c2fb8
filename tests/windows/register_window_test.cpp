#include "windows/register_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QWheelEvent>

#include "core/settings.h"
#include "fakes/fake_ports.h"
#include "platform/qt/qt_user_dialogs.h"
#include "test_files.h"

namespace norvax {
namespace {

class RegisterWindowTest : public ::testing::Test {
 protected:
  void Fill(int n) {
    for (int i = 0; i < n; ++i) {
      Entry e = Entry::New();
      e[Column::Title] = "t" + std::to_string(i + 1);
      e[Column::Id] = "id" + std::to_string(i + 1);
      e[Column::Pass] = "pw" + std::to_string(i + 1);
      state.table.Append(e);
    }
  }
  std::vector<std::string> Texts(TForm2& w, int k) {
    std::vector<std::string> texts;
    for (int i = 0; i < w.Column(k)->count(); ++i)
      texts.push_back(w.Column(k)->item(i)->text().toStdString());
    return texts;
  }
  void ExpectSelected(TForm2& w, int row) {
    for (int k = 1; k <= 8; ++k) EXPECT_EQ(w.Column(k)->SelectedRow(), row) << "column " << k;
  }
  void Click(TForm2& w, int k, int row) {
    w.Column(k)->SetSelectedRow(row);
    w.ColumnClick(k);
  }

  ProgramState state;
  fakes::FakePorts fake;

  void SetUp() override { state.prefs.ResetToDefaults(); }
};

TEST_F(RegisterWindowTest, EmptyTableKeepsOkOffUntilAnEntryIsAdded) {
  TForm2 w(state, fake.ports);
  EXPECT_EQ(w.windowTitle(), QStringLiteral("登録"));
  EXPECT_FALSE(w.Button3->isEnabled());
  EXPECT_FALSE(w.Button2->isEnabled());
  EXPECT_TRUE(w.Button1->isEnabled());
  w.ColumnClick(2);  // a click in empty columns changes nothing
  EXPECT_FALSE(w.Button3->isEnabled());

  w.runEditor = [](EditorContext& ctx, EntryTable& table) {
    EXPECT_EQ(ctx.mode, EditorMode::Add);
    Entry e = Entry::New();
    e[Column::Title] = "new";
    table.Append(e);
    ctx.cancelled = false;
  };
  w.Button1Click();
  EXPECT_TRUE(w.Button3->isEnabled());
  EXPECT_TRUE(w.Button2->isEnabled());
  EXPECT_EQ(Texts(w, 1), std::vector<std::string>{"  1"});
  EXPECT_EQ(Texts(w, 2), std::vector<std::string>{"new"});
  ExpectSelected(w, 0);
}

TEST_F(RegisterWindowTest, CancelledEditorChangesNothing) {
  Fill(2);
  TForm2 w(state, fake.ports);
  w.runEditor = [](EditorContext&, EntryTable&) {};
  w.Button1Click();
  EXPECT_EQ(w.Working().Count(), 2u);
  EXPECT_EQ(w.Column(2)->count(), 2);
  EXPECT_FALSE(w.Button3->isEnabled());
}

TEST_F(RegisterWindowTest, DeletingTheFifthOfTwelveRenumbersAndSelectsTheFifth) {
  Fill(12);
  TForm2 w(state, fake.ports);
  EXPECT_EQ(Texts(w, 1).front(), "  1");
  EXPECT_EQ(Texts(w, 1).back(), " 12");
  Click(w, 3, 4);
  ExpectSelected(w, 4);
  w.Button2Click();
  EXPECT_EQ(Texts(w, 1).size(), 11u);
  EXPECT_EQ(Texts(w, 1).back(), " 11");
  EXPECT_EQ(Texts(w, 2)[4], "t6");
  EXPECT_EQ(w.Working().Table().Value(4, Column::Id), "id6");
  ExpectSelected(w, 4);
}

TEST_F(RegisterWindowTest, DeletingTheLastRowsAndTheOnlyRow) {
  Fill(3);
  TForm2 w(state, fake.ports);
  Click(w, 2, 2);
  w.Button2Click();
  ExpectSelected(w, 1);
  w.Button2Click();
  w.Button2Click();
  EXPECT_EQ(w.Working().Count(), 0u);
  EXPECT_FALSE(w.Button2->isEnabled());
  EXPECT_FALSE(w.Button5->isEnabled());
  EXPECT_FALSE(w.Button6->isEnabled());
  EXPECT_FALSE(w.Button7->isEnabled());
  EXPECT_TRUE(w.Button3->isEnabled());  // OK stays on
}

TEST_F(RegisterWindowTest, MovesExchangeRowsButNotNumbers) {
  Fill(3);
  TForm2 w(state, fake.ports);
  Click(w, 8, 0);
  w.Button6Click();  // first row up: nothing
  EXPECT_EQ(Texts(w, 2), (std::vector<std::string>{"t1", "t2", "t3"}));
  w.Button7Click();
  EXPECT_EQ(Texts(w, 2), (std::vector<std::string>{"t2", "t1", "t3"}));
  EXPECT_EQ(Texts(w, 3), (std::vector<std::string>{"id2", "id1", "id3"}));
  EXPECT_EQ(Texts(w, 1), (std::vector<std::string>{"  1", "  2", "  3"}));
  ExpectSelected(w, 1);
  Click(w, 2, 2);
  w.Button7Click();  // last row down: nothing
  EXPECT_EQ(w.Working().Table().List(Column::Title), (std::vector<std::string>{"t2", "t1", "t3"}));
}

TEST_F(RegisterWindowTest, MaskingFollowsThePreferencesAndTheMoment) {
  Fill(1);
  state.table.List(Column::Pass)[0] = std::string(25, 'p');
  state.prefs[IdDisplay] = "2";
  state.prefs[PassDisplay] = "1";
  TForm2 w(state, fake.ports);
  EXPECT_EQ(Texts(w, 3)[0], "id1");
  EXPECT_EQ(Texts(w, 4)[0], std::string(21, '*'));
  Click(w, 2, 0);
  w.runEditor = [](EditorContext& ctx, EntryTable&) { ctx.cancelled = false; };
  w.Button5Click();
  EXPECT_EQ(Texts(w, 4)[0], std::string(20, '*'));
  EXPECT_EQ(w.Working().Table().Value(0, Column::Pass), std::string(25, 'p'));
}

TEST_F(RegisterWindowTest, OkWritesTableChecksumAndPreferences) {
  Fill(3);
  TForm2 w(state, fake.ports);
  Click(w, 2, 0);
  w.Button2Click();
  w.Button3Click();
  EXPECT_TRUE(w.EntriesSaved());
  EXPECT_EQ(state.table.Count(), 2u);
  EXPECT_EQ(state.prefs[TableChecksum], std::to_string(EntryChecksum(state.table)));
  // The file reads back as the new table.
  EntryTable read;
  PreferenceList prefs;
  EXPECT_TRUE(ReadSettings(fake.settings, read, prefs));
  EXPECT_EQ(read.List(Column::Title), (std::vector<std::string>{"t2", "t3"}));
}

TEST_F(RegisterWindowTest, CancelAndFailedWriteLeaveEverythingAsItWas) {
  Fill(3);
  const EntryTable before = state.table;
  {
    TForm2 w(state, fake.ports);
    Click(w, 2, 0);
    w.Button2Click();
    w.Button4Click();
    EXPECT_FALSE(w.EntriesSaved());
  }
  EXPECT_EQ(state.table, before);
  EXPECT_EQ(fake.settings.writeCount, 0);

  fake.settings.failWrites = true;
  TForm2 w(state, fake.ports);
  Click(w, 2, 0);
  w.Button2Click();
  w.Button3Click();
  EXPECT_FALSE(w.EntriesSaved());
  EXPECT_EQ(state.table, before);
  ASSERT_EQ(fake.dialogs.errors.size(), 1u);
}

TEST_F(RegisterWindowTest, ClickInScrollingColumnLevelsTheOthers) {
  Fill(40);
  TForm2 w(state, fake.ports);
  w.show();
  w.Scrlbox1->SetTopIndex(10);
  w.Scrlbox1Scroll();
  for (int k = 1; k <= 7; ++k) EXPECT_EQ(w.Column(k)->TopIndex(), 10) << k;
  Click(w, 8, 30);
  ExpectSelected(w, 30);
  for (int k = 1; k <= 7; ++k) EXPECT_EQ(w.Column(k)->TopIndex(), w.Scrlbox1->TopIndex()) << k;
}

TEST_F(RegisterWindowTest, ADragInOneColumnSelectsTheRowInAllAndDeleteTakesThatRow) {
  Fill(40);
  TForm2 w(state, fake.ports);
  w.show();
  QApplication::processEvents();
  QWidget* view = w.Nonscrlbox3->viewport();
  auto mouse = [&](QEvent::Type type, int row) {
    const QPointF at = w.Nonscrlbox3->visualItemRect(w.Nonscrlbox3->item(row)).center();
    QMouseEvent e(type, at, view->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(view, &e);
  };
  mouse(QEvent::MouseButtonPress, 2);
  mouse(QEvent::MouseMove, 4);
  mouse(QEvent::MouseMove, 5);
  mouse(QEvent::MouseButtonRelease, 5);
  ExpectSelected(w, 5);
  EXPECT_TRUE(w.Button2->isEnabled());
  w.Button2Click();
  EXPECT_EQ(Texts(w, 2)[4], "t5");
  EXPECT_EQ(Texts(w, 2)[5], "t7") << "the row the user saw selected is gone";

  // A column that scrolls by itself (a click on a row partly in view) takes the rest along.
  w.Nonscrlbox3->scrollToItem(w.Nonscrlbox3->item(30));
  EXPECT_GT(w.Scrlbox1->TopIndex(), 0);
  for (int k = 1; k <= 7; ++k) EXPECT_EQ(w.Column(k)->TopIndex(), w.Scrlbox1->TopIndex()) << k;
}

TEST_F(RegisterWindowTest, ADoubleClickOnARowEditsIt) {
  Fill(3);
  TForm2 w(state, fake.ports);
  w.show();
  QApplication::processEvents();
  EditorContext edited{EditorMode::Add, -1, 0, true};
  w.runEditor = [&](EditorContext& ctx, EntryTable&) { edited = ctx; };
  QWidget* view = w.Nonscrlbox4->viewport();
  const QPointF at = w.Nonscrlbox4->visualItemRect(w.Nonscrlbox4->item(1)).center();
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                            QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
    QMouseEvent e(type, at, view->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(view, &e);
  }
  EXPECT_EQ(edited.mode, EditorMode::Edit);
  EXPECT_EQ(edited.currentIndex, 1);
  ExpectSelected(w, 1);
}

TEST_F(RegisterWindowTest, HelpOpensTheRegisterTopic) {
  TForm2 w(state, fake.ports);
  w.Button8Click();
  EXPECT_EQ(fake.help.topics, std::vector<std::string>{"NV013"});
}

}  // namespace
}  // namespace norvax

namespace norvax {
namespace {

TEST_F(RegisterWindowTest, WheelOverAFixedColumnScrollsTheWholeTable) {
  Fill(40);
  TForm2 w(state, fake.ports);
  w.show();
  const QPointF at(10, 10);
  QWheelEvent wheel(at, w.Nonscrlbox3->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(w.Nonscrlbox3->viewport(), &wheel);
  EXPECT_GT(w.Scrlbox1->TopIndex(), 0);
  for (int k = 1; k <= 7; ++k) EXPECT_EQ(w.Column(k)->TopIndex(), w.Scrlbox1->TopIndex()) << k;
}

}  // namespace
}  // namespace norvax

namespace norvax {
namespace {

TEST_F(RegisterWindowTest, ValueWithLineBreakIsRefusedBeforeAnythingIsWritten) {
  Fill(2);
  TForm2 w(state, fake.ports);
  w.runEditor = [](EditorContext& ctx, EntryTable& table) {
    Entry e = Entry::New();
    e[Column::Title] = "x";
    e[Column::ProxyServers] = "http=a\nb";
    table.Append(e);
    ctx.cancelled = false;
  };
  w.Button1Click();
  w.Button3Click();
  EXPECT_FALSE(w.EntriesSaved());
  EXPECT_EQ(fake.settings.writeCount, 0);
  EXPECT_EQ(fake.dialogs.errors.size(), 1u);
  EXPECT_EQ(state.table.Count(), 2u);
}

}  // namespace
}  // namespace norvax
