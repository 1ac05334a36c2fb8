#include <gtest/gtest.h>

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include "controls/nonscrlbox.h"
#include "controls/scrlbox.h"
#include "controls/separater.h"

namespace norvax {
namespace {

QStringList Rows(int n) {
  QStringList rows;
  for (int i = 0; i < n; ++i) rows << QStringLiteral("row %1").arg(i);
  return rows;
}

void Mouse(QWidget* viewport, QEvent::Type type, QPoint at, Qt::MouseButton button) {
  QMouseEvent e(type, QPointF(at), viewport->mapToGlobal(QPointF(at)), button,
                type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
  QApplication::sendEvent(viewport, &e);
}

void DoubleClick(ColumnList* list, int row, Qt::MouseButton button) {
  const QPoint at = list->visualItemRect(list->item(row)).center();
  for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                    QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
    Mouse(list->viewport(), type, at, button);
  }
}

// The three columns of a table side by side, five rows and a bit of the sixth in view.
struct LevelTable {
  QWidget form;
  TNonscrlbox* title = new TNonscrlbox(&form);
  TNonscrlbox* id = new TNonscrlbox(&form);
  TScrlbox* pass = new TScrlbox(&form);
  ColumnGroup group{{title, id, pass}};
  LevelTable() {
    int left = 0;
    for (ColumnList* list : {static_cast<ColumnList*>(title), static_cast<ColumnList*>(id),
                             static_cast<ColumnList*>(pass)}) {
      list->setGeometry(left, 0, 80, 75);
      list->SetRows(Rows(40));
      left += 80;
    }
    form.resize(240, 75);
    form.show();
    QApplication::processEvents();
  }
};

TEST(ColumnGroup, ColumnsStayLevelUnderEveryMouseAndKeyInput) {
  LevelTable t;
  auto level = [&](const std::string& input) {
    EXPECT_EQ(t.title->TopIndex(), t.pass->TopIndex()) << input;
    EXPECT_EQ(t.id->TopIndex(), t.pass->TopIndex()) << input;
  };
  // A click on the partly visible sixth row brings it into view a moment later.
  t.title->scrollToItem(t.title->item(5));
  EXPECT_EQ(t.title->TopIndex(), 1);
  level("click on the bottom row");
  const std::pair<ColumnList*, int> keys[] = {
      {t.id, Qt::Key_Down},    {t.id, Qt::Key_Down},     {t.title, Qt::Key_PageDown},
      {t.id, Qt::Key_End},     {t.title, Qt::Key_Up},    {t.pass, Qt::Key_PageUp},
      {t.title, Qt::Key_Home}, {t.id, Qt::Key_PageDown}, {t.pass, Qt::Key_End},
  };
  for (auto [list, key] : keys) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(list, &press);
    level(QKeySequence(key).toString().toStdString());
  }
  EXPECT_EQ(t.pass->TopIndex(), 35) << "End shows the last rows";
}

TEST(ColumnLists, OnlyTheLeftButtonClicksAndDoubleClicks) {
  TNonscrlbox box;
  box.resize(80, 70);
  box.SetRows(Rows(5));
  box.show();
  QApplication::processEvents();
  std::vector<std::string> seen;
  QObject::connect(&box, &QListWidget::clicked, [&] { seen.push_back("click"); });
  QObject::connect(&box, &QListWidget::doubleClicked, [&] { seen.push_back("double"); });
  DoubleClick(&box, 2, Qt::RightButton);
  DoubleClick(&box, 2, Qt::MiddleButton);
  EXPECT_TRUE(seen.empty());
  DoubleClick(&box, 3, Qt::LeftButton);
  EXPECT_EQ(seen, (std::vector<std::string>{"click", "double"}));
  EXPECT_EQ(box.SelectedRow(), 3);
}

TEST(ColumnLists, RowsAreFourteenPixelsHigh) {
  TScrlbox box;
  box.resize(80, 140);
  box.SetRows(Rows(30));
  box.show();
  for (int i : {0, 1, 5}) EXPECT_EQ(box.visualItemRect(box.item(i)).height(), 14) << i;
  EXPECT_EQ(box.visualItemRect(box.item(1)).top() - box.visualItemRect(box.item(0)).top(), 14);
}

TEST(Nonscrlbox, NoScrollBarsUnlessAsked) {
  TNonscrlbox box;
  box.resize(60, 70);
  box.SetRows(Rows(40));
  box.show();
  QApplication::processEvents();
  EXPECT_FALSE(box.ScrollBars());
  EXPECT_FALSE(box.verticalScrollBar()->isVisible());
  EXPECT_FALSE(box.horizontalScrollBar()->isVisible());
  // Its owner can still scroll it.
  box.SetTopIndex(7);
  EXPECT_EQ(box.TopIndex(), 7);

  box.SetScrollBars(true);
  QApplication::processEvents();
  EXPECT_TRUE(box.verticalScrollBar()->isVisible());
  EXPECT_TRUE(box.horizontalScrollBar()->isVisible());
}

TEST(Nonscrlbox, WheelDoesNotScrollABoxWithoutScrollBars) {
  TNonscrlbox box;
  box.resize(60, 70);
  box.SetRows(Rows(40));
  box.show();
  QPointF at(10, 10);
  QWheelEvent wheel(at, box.viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(box.viewport(), &wheel);
  EXPECT_EQ(box.TopIndex(), 0);
}

TEST(Scrlbox, OnScrollAfterEveryScrollBarActionWithTheNewTopRow) {
  TScrlbox box;
  box.resize(80, 70);  // five rows visible
  box.SetRows(Rows(40));
  box.show();
  QApplication::processEvents();
  std::vector<int> tops;
  QObject::connect(&box, &TScrlbox::OnScroll, [&](QObject* sender) {
    EXPECT_EQ(sender, &box);
    tops.push_back(box.TopIndex());
  });
  QScrollBar* bar = box.verticalScrollBar();
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  bar->setSliderDown(true);
  bar->setSliderPosition(20);  // dragging the thumb
  bar->setSliderDown(false);
  QApplication::processEvents();
  ASSERT_EQ(tops.size(), 3u);
  EXPECT_EQ(tops[0], 1);
  EXPECT_GT(tops[1], 1);
  EXPECT_EQ(tops[2], 20);

  // Scrolling that does not come through the scroll bar raises nothing.
  tops.clear();
  box.SetTopIndex(3);
  box.SetSelectedRow(30);
  QApplication::processEvents();
  EXPECT_TRUE(tops.empty());

  // An action that cannot move the bar still reports, once.
  box.SetTopIndex(0);
  bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
  QApplication::processEvents();
  EXPECT_EQ(tops, std::vector<int>{0});
}

// A Level separator between a 50-pixel control and the rest of a 200-pixel panel.
struct SplitPanel {
  QWidget form;
  QWidget* panel = new QWidget(&form);
  QWidget* left = new QWidget(panel);
  TSeparater* sep = new TSeparater(panel);
  SplitPanel() {
    form.resize(240, 120);
    panel->setGeometry(20, 10, 200, 100);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    sep->SetKind(Tkind::Level);
    sep->setFixedWidth(2);
    left->setFixedWidth(50);
    sep->SetReSizeCtrl(left);
    layout->addWidget(left);
    layout->addWidget(sep);
    layout->addStretch(1);
    form.show();
    layout->activate();
  }
  void Mouse(QEvent::Type type, int x, Qt::MouseButton button = Qt::LeftButton) {
    QPointF local(x, 1);
    QMouseEvent e(type, local, sep->mapToGlobal(local), button,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QApplication::sendEvent(sep, &e);
  }
};

TEST(Separater, KindSetsCursorAndThickness) {
  TSeparater sep;
  EXPECT_EQ(sep.Kind(), Tkind::Vertical);
  EXPECT_EQ(sep.height(), 5);
  EXPECT_EQ(sep.cursor().shape(), Qt::SplitVCursor);
  EXPECT_EQ(sep.TopMgn, 1);
  EXPECT_EQ(sep.EndMgn, 6);
  EXPECT_EQ(sep.LineWidth, 3);
  sep.SetKind(Tkind::Level);
  EXPECT_EQ(sep.width(), 5);
  EXPECT_EQ(sep.cursor().shape(), Qt::SplitHCursor);
}

TEST(Separater, GuideLineStaysWithinTheMargins) {
  SplitPanel p;
  ASSERT_EQ(p.sep->x(), 50);
  int starts = 0;
  QObject::connect(p.sep, &TSeparater::OnStartDrag, [&] { ++starts; });
  p.Mouse(QEvent::MouseButtonPress, 1);
  ASSERT_TRUE(p.sep->Dragging());
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(p.sep->GuidePosition(), 51);
  EXPECT_EQ(p.sep->DragRect(), QRect(20, 10, 200, 100)) << "the panel, in form coordinates";
  ASSERT_NE(p.sep->GuideLine(), nullptr);
  EXPECT_EQ(p.sep->GuideLine()->geometry().center().x(), 20 + 51);
  p.Mouse(QEvent::MouseMove, -500);
  EXPECT_EQ(p.sep->GuidePosition(), 1);
  p.Mouse(QEvent::MouseMove, 500);
  EXPECT_EQ(p.sep->GuidePosition(), 200 - 6);
  p.Mouse(QEvent::MouseMove, 31);  // 30 pixels right of the grab point
  EXPECT_EQ(p.sep->GuidePosition(), 81);

  std::vector<std::pair<int, int>> ends;
  QObject::connect(p.sep, &TSeparater::OnEndDrag,
                   [&](QObject*, int pos, int cg) { ends.emplace_back(pos, cg); });
  p.Mouse(QEvent::MouseButtonRelease, 31, Qt::RightButton);  // any button ends the drag
  EXPECT_FALSE(p.sep->Dragging());
  EXPECT_EQ(p.sep->GuideLine(), nullptr);
  EXPECT_EQ(p.left->width(), 80);
  EXPECT_EQ(p.sep->x(), 80);
  EXPECT_EQ(ends, (std::vector<std::pair<int, int>>{{80, 0}}));
}

TEST(Separater, ReleaseWithoutMovingKeepsTheControlAtTheLeadingEdge) {
  SplitPanel p;
  p.Mouse(QEvent::MouseButtonPress, 0);
  p.Mouse(QEvent::MouseButtonRelease, 0);
  EXPECT_EQ(p.left->width(), 50);
  EXPECT_EQ(p.sep->x(), 50);
}

TEST(Separater, OnlyTheLeftButtonStartsAndIdleMovesDoNothing) {
  SplitPanel p;
  int starts = 0;
  QObject::connect(p.sep, &TSeparater::OnStartDrag, [&] { ++starts; });
  p.Mouse(QEvent::MouseButtonPress, 1, Qt::RightButton);
  p.Mouse(QEvent::MouseMove, 40, Qt::RightButton);
  p.Mouse(QEvent::MouseButtonRelease, 40, Qt::RightButton);
  EXPECT_EQ(starts, 0);
  EXPECT_FALSE(p.sep->Dragging());
  EXPECT_EQ(p.left->width(), 50);
}

TEST(Separater, DestroyedResizeControlIsForgotten) {
  SplitPanel p;
  delete p.left;
  EXPECT_EQ(p.sep->ReSizeCtrl(), nullptr);
  p.Mouse(QEvent::MouseButtonPress, 1);
  p.Mouse(QEvent::MouseMove, 20);
  p.Mouse(QEvent::MouseButtonRelease, 20);  // resizes nothing, does not crash
  EXPECT_FALSE(p.sep->Dragging());
}

}  // namespace
}  // namespace norvax
