// TAboutBox: the version window, with the program's icon, name and version.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace norvax {

class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);

  QFrame* Panel1;
  QLabel* ProgramIcon;
  QLabel* ProductName;
  QLabel* Version;
  QPushButton* OKButton;

 public slots:
  void OKButtonClick();

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace norvax
