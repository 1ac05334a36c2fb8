// norvax: the desktop program.
#include <QApplication>
#include <QListWidget>
#include <QMainWindow>
#include <QStatusBar>

#include "core/settings.h"
#include "platform/program_directory.h"
#include "platform/qt/qt_user_dialogs.h"
#include "platform/store/ini_file.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("NORVAX"));

  norvax::IniFile settings(norvax::SettingsFilePath().string());
  norvax::EntryTable table;
  norvax::PreferenceList prefs;
  norvax::QtUserDialogs dialogs;
  try {
    norvax::LoadSettings(settings, table, prefs, dialogs);
  } catch (const norvax::WriteError& e) {
    dialogs.ShowError(e.Message());
  }

  QMainWindow window;
  window.setWindowTitle(QStringLiteral("NORVAX"));
  auto* list = new QListWidget(&window);
  for (const auto& title : table.List(norvax::Column::Title))
    list->addItem(norvax::ToQString(title));
  window.setCentralWidget(list);
  window.statusBar()->showMessage(QString::fromStdString(settings.Path()));
  window.resize(320, 240);
  window.show();
  return app.exec();
}
