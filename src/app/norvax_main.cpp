// norvax: the desktop program.
#include <QApplication>
#include <string>
#include <vector>

#include "app/desktop_ports.h"
#include "app/qt_japanese.h"
#include "platform/cp932.h"
#include "platform/program_directory.h"
#include "platform/qt/fonts.h"
#include "platform/qt/program_icon.h"
#include "windows/password_dialog.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("NORVAX"));
  QApplication::setWindowIcon(norvax::ProgramIcon());
  norvax::InstallProgramFonts();
  // Qt would follow the user's locale (LANG), but the program is Japanese in every locale.
  QTranslator qtJapanese;
  norvax::InstallQtJapanese(qtJapanese);

  norvax::DesktopPorts desktop(norvax::ProgramDirectory(), norvax::SettingsFilePath());
  norvax::ProgramState state;

  // The command line arrives in the locale's encoding (UTF-8); the program works in CP932.
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(norvax::Cp932ForDisplay(argv[i]));

  norvax::TForm1 form(state, desktop.ports);
  desktop.program.Attach(&form);
  desktop.dialogs.SetParent(&form);
  norvax::QtPasswordPrompt prompt(nullptr);
  int rc = 0;
  if (form.Start(args, prompt)) rc = QApplication::exec();
  form.FormDestroy();
  return rc;
}
