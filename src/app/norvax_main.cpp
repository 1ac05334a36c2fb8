// norvax: the desktop program.
#include <QApplication>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/desktop_ports.h"
#include "app/qt_japanese.h"
#include "platform/cp932.h"
#include "platform/program_directory.h"
#include "platform/qt/fonts.h"
#include "platform/qt/program_icon.h"
#include "platform/qt/quit_signals.h"
#include "platform/qt/single_instance.h"
#include "windows/password_dialog.h"

namespace {

// The main window while the program runs. Qt ends the program with exit() when the
// connection to the display breaks; the program then still saves what it saves at its end.
// The signals that ask the program to end close it.
norvax::TForm1* running = nullptr;

void EndWithoutDisplay() {
  if (running) running->EndWithoutDisplay();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("NORVAX"));
  // The menu entry's name: the Wayland app id, by which the taskbar finds the entry's icon
  // (on X11 the window class NORVAX, the entry's StartupWMClass, does).
  QGuiApplication::setDesktopFileName(QStringLiteral("org.norvax.norvax"));

  // One copy per program directory: a later start hands its command line to the first and
  // waits for its answer (a signal ends the wait), or becomes the first itself when what
  // held the directory was no copy and let go.
  const auto directory = norvax::ProgramDirectory();
  norvax::SingleInstance instance(directory);
  const QStringList arguments = QApplication::arguments().mid(1);
  if (!instance.First()) {
    const std::string failure = instance.HandOver(arguments);
    if (!failure.empty()) norvax::ReportStartFailure(failure);
    if (!instance.First()) return failure.empty() ? 0 : 1;
  }
  // Signals that ask the program to end close the main window; one that arrives before the
  // window exists waits in the event loop, which first runs once it does.
  norvax::OnQuitSignals([] {
    if (running) running->close();
  });

  QApplication::setWindowIcon(norvax::ProgramIcon());
  norvax::InstallProgramFonts();
  // Qt would follow the user's locale (LANG), but the program is Japanese in every locale.
  QTranslator qtJapanese;
  norvax::InstallQtJapanese(qtJapanese);

  norvax::DesktopPorts desktop(directory, norvax::SettingsFilePath());
  norvax::ProgramState state;
  state.dialler = norvax::DiallerName(desktop.dialler.kind);

  // The command line arrives in the locale's encoding (UTF-8); the program works in CP932.
  std::vector<std::string> args;
  for (const QString& arg : arguments) args.push_back(norvax::Cp932ForDisplay(arg.toStdString()));

  norvax::TForm1 form(state, desktop.ports);
  desktop.program.Attach(&form);
  desktop.dialogs.SetParent(&form);
  running = &form;
  std::atexit(EndWithoutDisplay);
  norvax::QtPasswordPrompt prompt(nullptr);
  // Said before start-up, which ends the program when a quit came while a box was open.
  if (!instance.ListenFailure().empty()) norvax::ReportStartFailure(instance.ListenFailure());
  int rc = 0;
  if (form.Start(args, prompt)) {
    instance.Receive([&form](const QStringList& later) { return form.AnotherStart(later); });
    rc = QApplication::exec();
  }
  form.FormDestroy();
  running = nullptr;
  return rc;
}
