#include "core/main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QResizeEvent>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "controls/nonscrlbox.h"
#include "controls/scrlbox.h"
#include "controls/separater.h"
#include "core/password_lock.h"
#include "dialup/dial_status_dialog.h"
#include "launch/hand_over_dialog.h"
#include "launch/main_timer.h"
#include "launch/start_process.h"
#include "platform/cp932.h"
#include "platform/help.h"
#include "platform/qt/fonts.h"
#include "platform/qt/qt_user_dialogs.h"
#include "platform/x11/stay_on_top.h"
#include "windows/log_viewer_window.h"
#include "windows/preferences_window.h"
#include "windows/register_window.h"
#include "windows/version_window.h"
#include "windows/wait_window.h"

namespace norvax {

namespace {

// The relaunch request (the system's private message WM_USER + 1000).
const QEvent::Type kRelaunchEvent = static_cast<QEvent::Type>(QEvent::User + 1000);

constexpr int kHeaderHeight = 16;

QLabel* Header(const QString& text, const QFont& font, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setAlignment(Qt::AlignCenter);
  label->setFont(font);
  label->setFixedHeight(kHeaderHeight);
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, Qt::black);
  label->setPalette(pal);
  return label;
}

QFrame* Bevel(QWidget* parent) {
  auto* bevel = new QFrame(parent);
  bevel->setFrameShape(QFrame::HLine);
  bevel->setFrameShadow(QFrame::Sunken);
  bevel->setLineWidth(1);
  bevel->setFixedHeight(2);
  return bevel;
}

// A column: header, bevel and list stacked in a panel.
void Stack(QWidget* panel, QLabel* header, QFrame* bevel, QWidget* list) {
  auto* v = new QVBoxLayout(panel);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(0);
  v->addWidget(header);
  v->addWidget(bevel);
  v->addWidget(list, 1);
}

QStringList ToList(const std::vector<std::string>& values) {
  QStringList out;
  for (const auto& v : values) out << ToQString(v);
  return out;
}

}  // namespace

void PostRelaunch(QObject* mainWindow) {
  QCoreApplication::postEvent(mainWindow, new QEvent(kRelaunchEvent));
}

TForm1::TForm1(ProgramState& state, Ports& ports, QWidget* parent)
    : QMainWindow(parent), state_(state), ports_(ports) {
  // The program ends with its main window (closeEvent), never because the last window shown
  // closed: the main window is hidden during a launch and while the log viewer is open, and
  // closing a small window then (the wait window, a message) must not end the program; nor
  // may a quit asked for while the program ends cut its waits short.
  QApplication::setQuitOnLastWindowClosed(false);
  registerCommand = RegisterCommand;
  preferencesCommand = PreferencesCommand;
  versionCommand = [](QWidget* owner) {
    TAboutBox box(owner);
    box.exec();
  };
  logCommand = [](ProgramState& state, Ports& ports, QWidget* owner) {
    // Calls kept for later are logged first: the viewer shows them, and a move takes them.
    WriteEndedCalls(state.calls, ports.logFiles, ports.logState, state.holidays, ports.dialogs,
                    LockWait::kWait);
    ShowLogViewer(ports.logFiles, ports.dialogs, ports.help, ports.clock, owner);
  };
  processEvents = [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 50); };

  setWindowTitle(QStringLiteral("NORVAX"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFont(PGothic(12));

  // Menu.
  QMenuBar* MainMenu1 = menuBar();
  N1 = MainMenu1->addMenu(QStringLiteral("設定"));
  Exit1 = N1->addAction(QStringLiteral("登録"), this, &TForm1::Exit1Click);
  N3 = N1->addAction(QStringLiteral("環境設定"), this, &TForm1::N3Click);
  Exit2 = N1->addSeparator();
  Exit3 = N1->addAction(QStringLiteral("終了"), this, &TForm1::Exit3Click);
  K1 = MainMenu1->addMenu(QStringLiteral("ﾛｸﾞ"));
  K3 = K1->addAction(QStringLiteral("ﾛｸﾞ表示"), this, &TForm1::K3Click);
  Help1 = MainMenu1->addMenu(QStringLiteral("?"));
  SearchforHelpOn1 =
      Help1->addAction(QStringLiteral("ﾄﾋﾟｯｸの検索"), this, &TForm1::SearchforHelpOn1Click);
  N2 = Help1->addAction(QStringLiteral("ﾊﾞ-ｼﾞｮﾝ"), this, &TForm1::N2Click);

  // Columns.
  Panel1 = new QWidget(this);
  Panel2 = new QWidget(Panel1);
  Panel3 = new QWidget(Panel2);
  Panel4 = new QWidget(Panel2);
  Panel7 = new QWidget(Panel1);
  Label1 = Header(QStringLiteral("ﾀｲﾄﾙ"), PGothic(13), Panel3);
  Label2 = Header(QStringLiteral("ID"), PGothic(13), Panel4);
  Label3 = Header(QStringLiteral("PASS"), Gothic(13), Panel7);
  Bevel1 = Bevel(Panel3);
  Bevel2 = Bevel(Panel4);
  Bevel3 = Bevel(Panel7);
  Nonscrlbox1 = new TNonscrlbox(Panel3);
  Nonscrlbox2 = new TNonscrlbox(Panel4);
  Scrlbox1 = new TScrlbox(Panel7);
  for (QListWidget* list :
       {static_cast<QListWidget*>(Nonscrlbox1), static_cast<QListWidget*>(Nonscrlbox2),
        static_cast<QListWidget*>(Scrlbox1)}) {
    list->setFont(PGothic(12));
  }
  Stack(Panel3, Label1, Bevel1, Nonscrlbox1);
  Stack(Panel4, Label2, Bevel2, Nonscrlbox2);
  Stack(Panel7, Label3, Bevel3, Scrlbox1);

  Separater2 = new TSeparater(Panel2);
  Separater1 = new TSeparater(Panel1);
  for (TSeparater* s : {Separater1, Separater2}) {
    s->SetKind(Tkind::Level);
    s->setFixedWidth(2);
    s->TopMgn = 1;
    s->EndMgn = 6;
    s->LineWidth = 3;
  }
  Panel3->setFixedWidth(41);
  Separater2->SetReSizeCtrl(Panel3);
  auto* h2 = new QHBoxLayout(Panel2);
  h2->setContentsMargins(0, 0, 0, 0);
  h2->setSpacing(0);
  h2->addWidget(Panel3);
  h2->addWidget(Separater2);
  h2->addWidget(Panel4, 1);

  Panel2->setFixedWidth(80);
  Separater1->SetReSizeCtrl(Panel2);
  auto* columns = new QHBoxLayout;
  columns->setContentsMargins(0, 0, 0, 0);
  columns->setSpacing(0);
  columns->addWidget(Panel2);
  columns->addWidget(Separater1);
  columns->addWidget(Panel7, 1);

  Panel5 = new QFrame(Panel1);
  Panel5->setFixedHeight(21);
  Panel5->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel5->setAutoFillBackground(true);
  QPalette white = Panel5->palette();
  white.setColor(QPalette::Window, Qt::white);
  white.setColor(QPalette::WindowText, Qt::black);
  Panel5->setPalette(white);
  Label4 = new QLabel(Panel5);
  // A long caption never widens the window: the width is the user's.
  Label4->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  Label4->setPalette(white);
  Label4->setAutoFillBackground(true);
  auto* h5 = new QHBoxLayout(Panel5);
  h5->setContentsMargins(1, 1, 1, 1);
  h5->addWidget(Label4);

  auto* v1 = new QVBoxLayout(Panel1);
  v1->setContentsMargins(0, 0, 0, 0);
  v1->setSpacing(0);
  v1->addLayout(columns, 1);
  v1->addWidget(Panel5);
  setCentralWidget(Panel1);

  Timer1 = new QTimer(this);
  Timer1->setInterval(500);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(state_, ports_); });
  ReadyTimer = new QTimer(this);
  ReadyTimer->setInterval(static_cast<int>(kReadyTimerMs));
  connect(ReadyTimer, &QTimer::timeout, this, [this] { BrowserReadyTimer(state_, ports_); });

  connect(Nonscrlbox1, &QListWidget::clicked, this, &TForm1::Nonscrlbox1Click);
  connect(Nonscrlbox1, &QListWidget::doubleClicked, this, &TForm1::Nonscrlbox1DblClick);
  connect(Nonscrlbox2, &QListWidget::clicked, this, &TForm1::Nonscrlbox2Click);
  connect(Nonscrlbox2, &QListWidget::doubleClicked, this, &TForm1::Nonscrlbox2DblClick);
  connect(Scrlbox1, &QListWidget::clicked, this, &TForm1::Scrlbox1Click);
  connect(Scrlbox1, &QListWidget::doubleClicked, this, &TForm1::Scrlbox1DblClick);
  connect(Scrlbox1, &TScrlbox::OnScroll, this, &TForm1::Scrlbox1Scroll);
  // Whatever scrolls one column (keys, a click on a row only partly in view) scrolls all
  // three: a title always stands beside its own ID and password.
  new ColumnGroup({Nonscrlbox1, Nonscrlbox2, Scrlbox1}, this);
  // The wheel over the title or ID column scrolls the whole table.
  Nonscrlbox1->viewport()->installEventFilter(this);
  Nonscrlbox2->viewport()->installEventFilter(this);

  // Design-time bounds.
  move(6, 437);
  resize(132, 150);
}

bool TForm1::Start(const std::vector<std::string>& args, PasswordPrompt& prompt) {
  QSize screen(1024, 768);
  if (QScreen* s = QGuiApplication::primaryScreen()) screen = s->geometry().size();
  StartupPlan plan = StartUp(state_, ports_, args, screen.width(), screen.height(), prompt);
  if (state_.main.startAborted) return false;
  Panel5->setVisible(plan.showTargetCaption);
  SetStayOnTop(plan.alwaysOnTop);
  if (plan.bounds) {
    // The place of the window's inside, as saved: a move() would place the frame on some
    // window managers and the inside on others, and the window would creep at each start.
    setGeometry(plan.bounds->left, plan.bounds->top, plan.bounds->width, plan.bounds->height);
    Panel2->setFixedWidth(std::max(0, plan.bounds->leftPanelWidth));
    Panel3->setFixedWidth(std::max(0, plan.bounds->titleColumnWidth));
  }
  // A quit asked for while a start-up box was open (a signal closes the main window) ended
  // only that box's wait: the program ends now, as when its window is closed.
  if (plan.abandoned || state_.main.ending) return false;
  FillEntryLists(Scrlbox1->TopIndex(), Scrlbox1->SelectedRow());
  if (plan.minimised) {
    showMinimized();
  } else {
    show();
  }
  LaunchAtStart(state_, ports_);
  return !state_.main.ending;
}

void TForm1::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  ShutDown(state_, ports_, CurrentBounds(), processEvents);
  shutDown_ = true;
}

void TForm1::EndWithoutDisplay() {
  // The display can go while the shut-down waits (for the worker, in a message): what it
  // had still to do is done here.
  if (shutDown_) return;
  destroyed_ = shutDown_ = true;
  ShutDownWithoutDisplay(state_, ports_, CurrentBounds());
}

StartReply TForm1::AnotherStart(const QStringList& args) {
  if (state_.main.ending) return StartAnswer::kEnding;
  // A command line waits for no modal window (the register window, an entry editor, a
  // message): the entry it names may be changed or removed there meanwhile, and a launch
  // would go on behind it. It is refused, and the modal window comes to the front.
  if (QWidget* modal = QApplication::activeModalWidget(); modal && !args.isEmpty()) {
    modal->raise();
    modal->activateWindow();
    return StartAnswer::kEditing;
  }
  std::vector<std::string> converted;
  for (const QString& arg : args) converted.push_back(Cp932ForDisplay(arg.toStdString()));
  // Said by the later start, which then fails; the running copy shows nothing.
  if (auto refusal = AnotherStartRefusal(state_, converted)) {
    return {StartAnswer::kRefused, *refusal};
  }
  // Carried out from the event loop, once the later start has its answer.
  QMetaObject::invokeMethod(
      this,
      [this, converted] {
        if (state_.main.ending) return;
        norvax::AnotherStart(state_, ports_, converted);
        CaptionUpdate();
      },
      Qt::QueuedConnection);
  return StartAnswer::kTaken;
}

WindowBounds TForm1::CurrentBounds() const {
  const QRect inside = geometry();
  return WindowBounds{inside.x(),      inside.y(),      inside.width(),
                      inside.height(), Panel2->width(), Panel3->width()};
}

void TForm1::FillEntryLists(int top, int selected) {
  MainColumns texts = MainColumnTexts(state_.table, state_.prefs);
  Nonscrlbox1->SetRows(ToList(texts.titles));
  Nonscrlbox2->SetRows(ToList(texts.ids));
  Scrlbox1->SetRows(ToList(texts.passes));
  for (ColumnList* list :
       {static_cast<ColumnList*>(Nonscrlbox1), static_cast<ColumnList*>(Nonscrlbox2),
        static_cast<ColumnList*>(Scrlbox1)}) {
    list->SetTopIndex(top);
  }
  for (ColumnList* list :
       {static_cast<ColumnList*>(Nonscrlbox1), static_cast<ColumnList*>(Nonscrlbox2),
        static_cast<ColumnList*>(Scrlbox1)}) {
    list->SetSelectedRow(selected);
  }
  LevelColumns(Scrlbox1->TopIndex());
}

void TForm1::EntryClick(MainColumn column, ClickKind kind) {
  ColumnList* clicked = column == MainColumn::Title ? static_cast<ColumnList*>(Nonscrlbox1)
                        : column == MainColumn::Id  ? static_cast<ColumnList*>(Nonscrlbox2)
                                                    : static_cast<ColumnList*>(Scrlbox1);
  EntryAction action = ActionForClick(state_.prefs, column, kind);
  if (action != EntryAction::None) {
    DoEntryAction(state_, ports_, action, clicked->SelectedRow());
    CaptionUpdate();
  }
  if (kind == ClickKind::Double) return;
  switch (column) {
    case MainColumn::Title:
      if (action == EntryAction::None) CaptionUpdate();
      Nonscrlbox2->SetSelectedRow(-1);
      Scrlbox1->SetSelectedRow(-1);
      break;
    case MainColumn::Id:
      Nonscrlbox1->SetSelectedRow(-1);
      Scrlbox1->SetSelectedRow(-1);
      break;
    case MainColumn::Pass:
      LevelColumns(Scrlbox1->TopIndex());
      Nonscrlbox1->SetSelectedRow(-1);
      Nonscrlbox2->SetSelectedRow(-1);
      break;
  }
}

void TForm1::Nonscrlbox1Click() { EntryClick(MainColumn::Title, ClickKind::Single); }
void TForm1::Nonscrlbox1DblClick() { EntryClick(MainColumn::Title, ClickKind::Double); }
void TForm1::Nonscrlbox2Click() { EntryClick(MainColumn::Id, ClickKind::Single); }
void TForm1::Nonscrlbox2DblClick() { EntryClick(MainColumn::Id, ClickKind::Double); }
void TForm1::Scrlbox1Click() { EntryClick(MainColumn::Pass, ClickKind::Single); }
void TForm1::Scrlbox1DblClick() { EntryClick(MainColumn::Pass, ClickKind::Double); }

void TForm1::Scrlbox1Scroll() { LevelColumns(Scrlbox1->TopIndex()); }

void TForm1::LevelColumns(int top) {
  if (Nonscrlbox1->TopIndex() != top) Nonscrlbox1->SetTopIndex(top);
  if (Nonscrlbox2->TopIndex() != top) Nonscrlbox2->SetTopIndex(top);
}

void TForm1::CaptionUpdate() {
  if (state_.prefs.IsOn(ShowTargetCaption)) ShowCaptionBar();
}

void TForm1::ShowCaptionBar() {
  const QString caption = ToQString(state_.lastTargetCaption);
  Label4->setToolTip(caption);
  Label4->setText(Label4->fontMetrics().elidedText(caption, Qt::ElideRight, Label4->width()));
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (!Label4->toolTip().isEmpty()) ShowCaptionBar();
}

void TForm1::SetStayOnTop(bool on) {
  if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) != on) SetStaysOnTop(this, on);
}

void TForm1::ApplyPanel5() { Panel5->setVisible(state_.prefs.IsOn(ShowTargetCaption)); }

void TForm1::Exit1Click() {
  if (state_.prefs.IsOn(AlwaysOnTop)) SetStayOnTop(false);
  if (registerCommand(state_, ports_, this)) {
    FillEntryLists(Scrlbox1->TopIndex(), Scrlbox1->SelectedRow());
  }
  if (state_.prefs.IsOn(AlwaysOnTop)) SetStayOnTop(true);
}

void TForm1::N3Click() {
  if (state_.prefs.IsOn(AlwaysOnTop)) SetStayOnTop(false);
  bool saved = preferencesCommand(state_, ports_, this);
  ApplyPanel5();
  if (saved) FillEntryLists(Scrlbox1->TopIndex(), Scrlbox1->SelectedRow());
  if (state_.prefs.IsOn(AlwaysOnTop)) SetStayOnTop(true);
}

void TForm1::Exit3Click() { close(); }

void TForm1::K3Click() {
  state_.main.mainWindowHidden = true;
  hide();
  if (state_.prefs.IsOn(AlwaysOnTop)) SetStayOnTop(false);
  logCommand(state_, ports_, this);
  if (state_.prefs.IsOn(AlwaysOnTop)) SetStayOnTop(true);
  show();
  state_.main.mainWindowHidden = false;
}

void TForm1::SearchforHelpOn1Click() { ports_.help.ShowFinder(); }

void TForm1::N2Click() { versionCommand(this); }

void TForm1::customEvent(QEvent* event) {
  if (event->type() != kRelaunchEvent) {
    QMainWindow::customEvent(event);
    return;
  }
  Relaunch(state_, ports_, processEvents);
}

void TForm1::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  // The restore handler of a start with an entry number.
  if (event->type() == QEvent::WindowStateChange && state_.main.minimisedAtStart &&
      !(windowState() & Qt::WindowMinimized)) {
    state_.main.minimisedAtStart = false;
  }
}

void TForm1::closeEvent(QCloseEvent* event) {
  event->accept();
  // The program ends with its main window, whatever other windows (help) are open. Not
  // quit(), which closes every window first: the dial status dialog would take that for a
  // cancel and show its error while the program ends. The shut-down deals with them. A dial
  // in a wait of its own hangs up and ends rather than go on.
  state_.main.ending = true;
  QCoreApplication::exit(0);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Wheel &&
      (watched == Nonscrlbox1->viewport() || watched == Nonscrlbox2->viewport())) {
    QApplication::sendEvent(Scrlbox1->viewport(), event);
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

MainWindowControl::MainWindowControl() = default;
MainWindowControl::~MainWindowControl() = default;

void MainWindowControl::HideMainWindow() { form_->hide(); }

void MainWindowControl::ShowMainWindow() {
  form_->show();
  // The window is shown before anything is raised above it through another connection to
  // the display (the browser, after a launch).
  QGuiApplication::sync();
}

void MainWindowControl::MinimiseApplication() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible()) w->showMinimized();
  }
}

void MainWindowControl::RestoreApplication() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isMinimized()) w->showNormal();
  }
  form_->activateWindow();
}

void MainWindowControl::EndProgram() {
  // Queued, so that an end asked for during start-up takes effect once the program runs.
  QMetaObject::invokeMethod(
      qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void MainWindowControl::StartTimer() { form_->Timer1->start(); }

void MainWindowControl::StopTimer() { form_->Timer1->stop(); }

void MainWindowControl::StartReadyTimer() { form_->ReadyTimer->start(); }

void MainWindowControl::StopReadyTimer() { form_->ReadyTimer->stop(); }

void MainWindowControl::ShowWaitWindow() { wait_ = std::make_unique<TForm5>(form_->state_.main); }

void MainWindowControl::SetWaitWindowText(const std::string& text, unsigned colour) {
  if (wait_) wait_->SetText(text, colour);
}

void MainWindowControl::CloseWaitWindow() { wait_.reset(); }

void MainWindowControl::SetClipboardText(const std::string& text) {
  QGuiApplication::clipboard()->setText(ToQString(text));
}

void MainWindowControl::ShowDialStatus(const std::string& caption, std::function<void()> onCancel) {
  status_ = std::make_unique<TOKRightDlg>(caption, std::move(onCancel));
  status_->show();
  status_->raise();
  status_->activateWindow();
}

void MainWindowControl::SetDialStatusText(const std::string& text) {
  if (status_) status_->SetStatus(text);
}

void MainWindowControl::SetDialStatusLabelColour(unsigned colour) {
  if (status_) status_->SetLabelColour(colour);
}

void MainWindowControl::CloseDialStatus() { status_.reset(); }

void MainWindowControl::ShowDialError(const std::string& caption, const std::string& text) {
  TOKRightDlg1 dialog(caption, text);
  dialog.exec();
}

void MainWindowControl::ShowHandOverPrompt(const std::string& caption, const std::string& text,
                                           std::function<void()> onHangUp) {
  handOver_ = std::make_unique<HandOverDialog>(caption, text, std::move(onHangUp));
  handOver_->show();
  handOver_->raise();
  handOver_->activateWindow();
}

void MainWindowControl::CloseHandOverPrompt() { handOver_.reset(); }

void MainWindowControl::RequestRelaunch() { PostRelaunch(form_); }

void MainWindowControl::RunOnMainThread(const std::function<void()>& work) {
  if (QThread::currentThread() == qApp->thread()) {
    work();
    return;
  }
  QMetaObject::invokeMethod(
      qApp, [&work] { work(); }, Qt::BlockingQueuedConnection);
}

void MainWindowControl::PostToMainThread(std::function<void()> work) {
  QMetaObject::invokeMethod(qApp, std::move(work), Qt::QueuedConnection);
}

}  // namespace norvax
