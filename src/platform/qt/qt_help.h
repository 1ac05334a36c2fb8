// Adapter: the program's help as a help window reading the help file of the program
// directory, with a topic finder (contents and search).
#pragma once

#include <QDialog>
#include <QPointer>
#include <filesystem>
#include <vector>

#include "platform/help.h"
#include "platform/help_file.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;

namespace norvax {

class HelpWindow : public QDialog {
  Q_OBJECT
 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  // Replaces the topics; problem (UTF-8) is shown instead of a page when not empty.
  void SetTopics(std::vector<HelpTopic> topics, const QString& problem);

  void OpenTopic(const QString& key);
  // Contents and search, with the first page shown when none is.
  void OpenFinder();
  void Search(const QString& query);

  // The key of the page shown ("" when none).
  QString CurrentKey() const { return currentKey_; }

  QTabWidget* Finder;
  QListWidget* Contents;
  QLineEdit* SearchText;
  QListWidget* SearchResults;
  QTextBrowser* Page;

 private:
  void ShowIndex(int index);
  void ShowProblem(const QString& text);
  std::vector<HelpTopic> topics_;
  std::vector<HelpTopic> searchTopics_;  // the same, width-normalised
  QString problem_;
  QString currentKey_;
};

class QtHelp : public Help {
 public:
  explicit QtHelp(std::filesystem::path helpFile);
  ~QtHelp() override;

  void ShowTopic(const std::string& key) override;
  void ShowFinder() override;

  // The window, once help has been asked for.
  HelpWindow* Window() const { return window_; }

 private:
  // Reads the help file afresh and brings the window up (a modal dialog of the modal window
  // on top, so that it can be used from there).
  HelpWindow& Present();

  std::filesystem::path helpFile_;
  // Gone with the modal window it was a dialog of.
  QPointer<HelpWindow> window_;
};

}  // namespace norvax
