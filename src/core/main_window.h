// TForm1: the main window. Lists the entries in three columns (title, ID, password) and
// turns clicks and menu commands into launches, login fills and the other windows.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/main_window_rules.h"
#include "core/program_state.h"
#include "core/startup.h"
#include "platform/program_control.h"
#include "platform/qt/single_instance.h"

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QTimer;

namespace norvax {

class PasswordPrompt;
class TForm1;
class TForm5;
class TOKRightDlg;
class HandOverDialog;
class TNonscrlbox;
class TScrlbox;
class TSeparater;

// What the launch and the main timer ask of the program's windows, done by the main window
// it is attached to, and the hand-over to the main thread.
class MainWindowControl : public ProgramControl {
 public:
  MainWindowControl();
  ~MainWindowControl() override;
  void Attach(TForm1* form) { form_ = form; }

  void HideMainWindow() override;
  void ShowMainWindow() override;
  void MinimiseApplication() override;
  void RestoreApplication() override;
  void EndProgram() override;
  void StartTimer() override;
  void StopTimer() override;
  void StartReadyTimer() override;
  void StopReadyTimer() override;
  void ShowWaitWindow() override;
  void SetWaitWindowText(const std::string& text, unsigned colour) override;
  void CloseWaitWindow() override;
  void SetClipboardText(const std::string& text) override;
  void ShowDialStatus(const std::string& caption, std::function<void()> onCancel) override;
  void SetDialStatusText(const std::string& text) override;
  void SetDialStatusLabelColour(unsigned colour) override;
  void CloseDialStatus() override;
  void ShowDialError(const std::string& caption, const std::string& text) override;
  void ShowHandOverPrompt(const std::string& caption, const std::string& text,
                          std::function<void()> onHangUp) override;
  void CloseHandOverPrompt() override;
  void RequestRelaunch() override;
  void RunOnMainThread(const std::function<void()>& work) override;
  void PostToMainThread(std::function<void()> work) override;

 private:
  TForm1* form_ = nullptr;
  std::unique_ptr<TForm5> wait_;
  std::unique_ptr<TOKRightDlg> status_;
  std::unique_ptr<HandOverDialog> handOver_;
};

// Asks the main window to launch the current entry again once the worker has ended; posted
// after every third busy dial attempt, from any thread.
void PostRelaunch(QObject* mainWindow);

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  TForm1(ProgramState& state, Ports& ports, QWidget* parent = nullptr);

  // The start-up: the start-up rules, then the window shown (or minimised when an entry is
  // launched from the command line), then that launch. False when start-up was abandoned
  // or the program was asked to end meanwhile; the caller then ends the program (the window
  // is not shown unless the end came during the launch).
  bool Start(const std::vector<std::string>& args, PasswordPrompt& prompt);

  // The shut-down rules; runs once, however often it is called (also after
  // EndWithoutDisplay).
  void FormDestroy();
  // The end when the display is gone; runs once, and not after FormDestroy has finished
  // (during it, it does what is left).
  void EndWithoutDisplay();
  // Another start of the program handed over its command line (UTF-8): the answer for it;
  // a command line that is taken is carried out from the event loop.
  StartReply AnotherStart(const QStringList& args);

  // Refills the three columns from the entry table and sets the top and selected row of
  // all three (-1: no selection).
  void FillEntryLists(int top, int selected);

  // The windows the menu opens, replaceable in tests. Each returns true when it stored
  // something (entries, preferences).
  std::function<bool(ProgramState&, Ports&, QWidget*)> registerCommand;
  std::function<bool(ProgramState&, Ports&, QWidget*)> preferencesCommand;
  std::function<void(QWidget*)> versionCommand;
  // Shows the log viewer modally.
  std::function<void(ProgramState&, Ports&, QWidget*)> logCommand;
  // Lets pending events run while the program waits for the worker.
  std::function<void()> processEvents;

  QWidget* Panel1;
  QWidget* Panel2;
  QWidget* Panel3;
  QWidget* Panel4;
  QWidget* Panel7;
  QFrame* Panel5;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  QFrame* Bevel1;
  QFrame* Bevel2;
  QFrame* Bevel3;
  TNonscrlbox* Nonscrlbox1;
  TNonscrlbox* Nonscrlbox2;
  TScrlbox* Scrlbox1;
  TSeparater* Separater1;
  TSeparater* Separater2;
  QMenu* N1;
  QMenu* K1;
  QMenu* Help1;
  QAction* Exit1;
  QAction* N3;
  QAction* Exit2;
  QAction* Exit3;
  QAction* K3;
  QAction* SearchforHelpOn1;
  QAction* N2;
  QTimer* Timer1;
  // Watches for the first window of a started browser.
  QTimer* ReadyTimer;

 public slots:
  void Nonscrlbox1Click();
  void Nonscrlbox1DblClick();
  void Nonscrlbox2Click();
  void Nonscrlbox2DblClick();
  void Scrlbox1Click();
  void Scrlbox1DblClick();
  void Scrlbox1Scroll();
  void Exit1Click();
  void N3Click();
  void Exit3Click();
  void K3Click();
  void SearchforHelpOn1Click();
  void N2Click();

 protected:
  void customEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class MainWindowControl;
  void EntryClick(MainColumn column, ClickKind kind);
  void CaptionUpdate();
  // Shows the last target's caption in the caption bar, cut to its width (whole in the tip).
  void ShowCaptionBar();
  void LevelColumns(int top);
  void SetStayOnTop(bool on);
  void ApplyPanel5();
  WindowBounds CurrentBounds() const;

  ProgramState& state_;
  Ports& ports_;
  bool destroyed_ = false;  // the shut-down has begun
  bool shutDown_ = false;   // and is over
};

}  // namespace norvax
