#include "windows/register_window.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

#include "core/password_lock.h"
#include "core/settings.h"
#include "launch/entry_editor_window.h"
#include "platform/help.h"
#include "platform/profile_file.h"
#include "platform/qt/fonts.h"
#include "platform/qt/modal_owner.h"
#include "platform/qt/qt_user_dialogs.h"
#include "platform/user_dialogs.h"
#include "windows/password_dialog.h"

namespace norvax {

namespace {

template <typename Box>
Box* MakeColumn(QWidget* parent, const char* name, int left, int width) {
  auto* box = new Box(parent);
  box->setObjectName(name);
  box->setGeometry(left, 32, width, 257);
  box->setFocusPolicy(Qt::NoFocus);
  return box;
}

}  // namespace

TForm2::TForm2(ProgramState& state, Ports& ports, QWidget* parent)
    : QDialog(parent), state_(state), ports_(ports), working_(state.table) {
  setObjectName("Form2");
  setWindowTitle(QStringLiteral("登録"));
  setFixedSize(522, 328);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFont(PGothic(12));

  auto label = [this](const char* name, const char* text, int left) {
    auto* l = new QLabel(QString::fromUtf8(text), this);
    l->setObjectName(name);
    l->move(left, 15);
    l->adjustSize();
    return l;
  };
  Label1 = label("Label1", "ＮＯ", 13);
  Label2 = label("Label2", "タイトル", 52);
  Label3 = label("Label3", "ＩＤ", 144);
  Label5 = label("Label5", "ＰＡＳＳ", 216);
  Label4 = label("Label4", "起動ブラウザ", 280);
  Label6 = label("Label6", "接続", 370);
  Label8 = label("Label8", "ｾｯﾄ1", 424);
  Label9 = label("Label9", "ｾｯﾄ2", 472);

  Nonscrlbox1 = MakeColumn<TNonscrlbox>(this, "Nonscrlbox1", 8, 25);
  Nonscrlbox2 = MakeColumn<TNonscrlbox>(this, "Nonscrlbox2", 32, 81);
  Nonscrlbox3 = MakeColumn<TNonscrlbox>(this, "Nonscrlbox3", 112, 81);
  Nonscrlbox4 = MakeColumn<TNonscrlbox>(this, "Nonscrlbox4", 192, 81);
  Nonscrlbox5 = MakeColumn<TNonscrlbox>(this, "Nonscrlbox5", 272, 81);
  Nonscrlbox6 = MakeColumn<TNonscrlbox>(this, "Nonscrlbox6", 352, 65);
  Nonscrlbox7 = MakeColumn<TNonscrlbox>(this, "Nonscrlbox7", 416, 49);
  Scrlbox1 = MakeColumn<TScrlbox>(this, "Scrlbox1", 464, 49);
  columns_ = {Nonscrlbox1, Nonscrlbox2, Nonscrlbox3, Nonscrlbox4,
              Nonscrlbox5, Nonscrlbox6, Nonscrlbox7, Scrlbox1};

  auto button = [this](const char* name, const char* text, int left, int width) {
    auto* b = new QPushButton(QString::fromUtf8(text), this);
    b->setObjectName(name);
    b->setGeometry(left, 296, width, 25);
    return b;
  };
  Button1 = button("Button1", "追加", 24, 41);
  Button2 = button("Button2", "削除", 72, 41);
  Button5 = button("Button5", "編集", 120, 41);
  Button6 = button("Button6", "移動↑", 176, 41);
  Button7 = button("Button7", "移動↓", 224, 41);
  Button3 = button("Button3", "OK", 320, 57);
  Button4 = button("Button4", "ｷｬﾝｾﾙ", 384, 57);
  Button8 = button("Button8", "ﾍﾙﾌﾟ", 448, 57);
  setTabOrder(Button3, Button4);
  setTabOrder(Button4, Button1);
  setTabOrder(Button1, Button2);
  setTabOrder(Button2, Button5);
  setTabOrder(Button5, Button6);
  setTabOrder(Button6, Button7);
  setTabOrder(Button7, Button8);

  connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TForm2::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TForm2::Button4Click);
  connect(Button5, &QPushButton::clicked, this, &TForm2::Button5Click);
  connect(Button6, &QPushButton::clicked, this, &TForm2::Button6Click);
  connect(Button7, &QPushButton::clicked, this, &TForm2::Button7Click);
  connect(Button8, &QPushButton::clicked, this, &TForm2::Button8Click);
  for (int k = 1; k <= 8; ++k) {
    ColumnList* box = Column(k);
    connect(box, &QListWidget::itemPressed, this, [this, k] { ColumnClick(k); });
    connect(box, &QListWidget::itemClicked, this, [this, k] { ColumnClick(k); });
    // A double click on a row edits it, as 編集 does.
    connect(box, &QListWidget::itemDoubleClicked, this, [this, k] {
      ColumnClick(k);
      if (Button5->isEnabled()) Button5Click();
    });
    // A drag moves the selection within one column: the row goes to all of them, so that
    // Delete and Edit take the row the user sees.
    connect(box, &QListWidget::itemSelectionChanged, this, [this, k] {
      if (Column(k)->SelectedRow() >= 0) ColumnClick(k);
    });
    if (k < 8) box->viewport()->installEventFilter(this);
  }
  connect(Scrlbox1, &TScrlbox::OnScroll, this, &TForm2::Scrlbox1Scroll);
  // Whatever scrolls one column scrolls all eight.
  new ColumnGroup({columns_.begin(), columns_.end()}, this);

  runEditor = [this](EditorContext& context, EntryTable& table) {
    TForm3 editor(context, table, state_.prefs, ports_.remote, ports_.dialogs, ports_.help, this);
    editor.setWindowTitle(context.mode == EditorMode::Add ? QStringLiteral("追加")
                                                          : QStringLiteral("編集"));
    ExecModal(editor);
  };

  FormCreate();
}

void TForm2::FormCreate() {
  for (std::size_t i = 0; i < working_.Count(); ++i) {
    SetDisplayRow(static_cast<int>(i), MaskMoment::AtCreation, true);
  }
  SetButtons(ButtonsAtCreation());
}

void TForm2::SetDisplayRow(int row, MaskMoment moment, bool append) {
  const RegisterRow r =
      DisplayRow(working_.Table(), static_cast<std::size_t>(row), state_.prefs, moment);
  const std::string* texts[] = {&r.title,      &r.id,   &r.pass, &r.browser,
                                &r.connection, &r.set1, &r.set2};
  if (append) {
    Nonscrlbox1->addItem(ToQString(RowNumberText(static_cast<std::size_t>(row))));
    for (int k = 2; k <= 8; ++k) Column(k)->addItem(ToQString(*texts[k - 2]));
  } else {
    for (int k = 2; k <= 8; ++k) Column(k)->item(row)->setText(ToQString(*texts[k - 2]));
  }
}

void TForm2::ExchangeDisplayRows(int a, int b) {
  for (int k = 2; k <= 8; ++k) {
    ColumnList* box = Column(k);
    const QString ta = box->item(a)->text();
    box->item(a)->setText(box->item(b)->text());
    box->item(b)->setText(ta);
  }
}

void TForm2::SetButtons(const RegisterButtons& b) {
  Button2->setEnabled(b.del);
  Button3->setEnabled(b.ok);
  Button5->setEnabled(b.edit);
  Button6->setEnabled(b.moveUp);
  Button7->setEnabled(b.moveDown);
}

RegisterButtons TForm2::Buttons() const {
  return RegisterButtons{Button2->isEnabled(), Button3->isEnabled(), Button5->isEnabled(),
                         Button6->isEnabled(), Button7->isEnabled()};
}

void TForm2::SelectRow(int index, int except) {
  for (int k = 1; k <= 8; ++k) {
    if (k == except) continue;
    ColumnList* box = Column(k);
    const QSignalBlocker block(box);
    box->SetSelectedRow(index);
  }
  // The selected row is brought into view in every column alike.
  if (index >= 0) Scrlbox1->scrollToItem(Scrlbox1->item(index));
  LevelColumns(Scrlbox1->TopIndex());
}

void TForm2::LevelColumns(int top) {
  for (int k = 1; k <= 7; ++k) Column(k)->SetTopIndex(top);
}

int TForm2::SelectedRow() const { return Nonscrlbox2->SelectedRow(); }

void TForm2::ColumnClick(int k) {
  const int row = Column(k)->SelectedRow();
  SelectRow(row, k);
  if (k == 8 && Nonscrlbox2->TopIndex() != Scrlbox1->TopIndex()) LevelColumns(Scrlbox1->TopIndex());
  SetButtons(ButtonsAfterSelect(Buttons(), working_.Count()));
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Wheel && watched != Scrlbox1->viewport()) {
    QApplication::sendEvent(Scrlbox1->verticalScrollBar(), event);
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TForm2::Scrlbox1Scroll() { LevelColumns(Scrlbox1->TopIndex()); }

void TForm2::Button1Click() {
  EditorContext context{EditorMode::Add, SelectedRow(), working_.Count(), true};
  runEditor(context, working_.Table());
  if (context.cancelled) return;
  const int row = static_cast<int>(context.entryCount);
  SetDisplayRow(row, MaskMoment::AfterEdit, true);
  SelectRow(row);
  SetButtons(ButtonsAfterSelect(Buttons(), working_.Count()));
}

void TForm2::Button5Click() {
  EditorContext context{EditorMode::Edit, SelectedRow(), working_.Count(), true};
  if (context.currentIndex < 0) return;
  runEditor(context, working_.Table());
  if (context.cancelled) return;
  SetDisplayRow(context.currentIndex, MaskMoment::AfterEdit, false);
  SelectRow(context.currentIndex);
}

void TForm2::Button2Click() {
  const int a = SelectedRow();
  const int n = static_cast<int>(working_.Count());
  if (a < 0 || a >= n) return;
  const int next = working_.Delete(a);
  delete Nonscrlbox1->takeItem(n - 1);
  for (int k = 2; k <= 8; ++k) delete Column(k)->takeItem(a);
  if (n - 1 <= 0) {
    SetButtons(ButtonsAfterLastDeleted(Buttons()));
  } else {
    SelectRow(next);
  }
}

void TForm2::Button6Click() {
  const int a = SelectedRow();
  const int to = working_.MoveUp(a);
  if (to < 0) return;
  ExchangeDisplayRows(a, to);
  SelectRow(to);
}

void TForm2::Button7Click() {
  const int a = SelectedRow();
  const int to = working_.MoveDown(a);
  if (to < 0) return;
  ExchangeDisplayRows(a, to);
  SelectRow(to);
}

void TForm2::Button3Click() {
  // The program's table and preferences change only once the file holds the new table.
  if (auto message = UnstorableTableMessage(working_.Table())) {
    ports_.dialogs.ShowError(*message);
    return;
  }
  PreferenceList prefs = state_.prefs;
  try {
    SaveEntryTable(ports_.settings, working_.Table(), prefs);
  } catch (const WriteError& e) {
    ports_.dialogs.ShowError(e.Message());
    return;
  }
  state_.table = working_.Table();
  state_.prefs = prefs;
  entriesSaved_ = true;
  accept();
}

void TForm2::Button4Click() { reject(); }

void TForm2::Button8Click() { ports_.help.ShowTopic(help_topic::kRegister); }

bool RegisterCommand(ProgramState& state, Ports& ports, QWidget* parent) {
  QtPasswordPrompt prompt(parent);
  if (!PassLock(prompt, ports.dialogs, state.prefs, RegisterCaptionForVerify())) return false;
  TForm2 window(state, ports, parent);
  ExecModal(window);
  return window.EntriesSaved();
}

}  // namespace norvax
