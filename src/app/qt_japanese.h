// Qt's own texts in Japanese: the standard dialogs (the file dialog, the buttons of message
// boxes) speak like the rest of the program, whatever the user's locale.
#pragma once

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace norvax {

// Loads Qt's Japanese translation into translator and installs it for the application;
// false when the translation is not installed (package qt6-translations-l10n), and the
// standard dialogs then stay in English.
inline bool InstallQtJapanese(QTranslator& translator) {
  return translator.load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
         QCoreApplication::installTranslator(&translator);
}

}  // namespace norvax
