// norvax: the desktop program.
#include <QApplication>
#include <string>
#include <vector>

#include "core/main_window.h"
#include "core/program_state.h"
#include "platform/cp932.h"
#include "platform/posix/system_clock.h"
#include "platform/program_directory.h"
#include "platform/qt/fonts.h"
#include "platform/qt/program_icon.h"
#include "platform/qt/qt_help.h"
#include "platform/qt/qt_user_dialogs.h"
#include "platform/sim/sim_phonebook.h"
#include "platform/store/ini_file.h"
#include "windows/password_dialog.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("NORVAX"));
  QApplication::setWindowIcon(norvax::ProgramIcon());
  norvax::InstallProgramFonts();

  const auto directory = norvax::ProgramDirectory();
  norvax::IniFile settings(norvax::SettingsFilePath().string());
  norvax::QtUserDialogs dialogs;
  norvax::QtHelp help(directory / "NORVAX.HLP");
  norvax::SimRemoteAccess remote((directory / norvax::kPhonebookFileName).string());
  norvax::SystemClock clock;
  norvax::Ports ports{settings, dialogs, help, remote, clock};
  norvax::ProgramState state;

  // The command line arrives in the locale's encoding (UTF-8); the program works in CP932.
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(norvax::Cp932ForDisplay(argv[i]));

  norvax::TForm1 form(state, ports);
  dialogs.SetParent(&form);
  norvax::QtPasswordPrompt prompt(nullptr);
  int rc = 0;
  if (form.Start(args, prompt)) rc = QApplication::exec();
  form.FormDestroy();
  return rc;
}
