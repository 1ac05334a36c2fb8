// TForm5: the password-set wait window. Tells the user that the program waits for the
// dial-up connect dialog to type the password into it, counts down, and lets the user
// give up the wait.
#pragma once

#include <QWidget>
#include <string>

#include "core/program_state.h"

class QLabel;
class QPushButton;

namespace norvax {

class TForm5 : public QWidget {
  Q_OBJECT
 public:
  // Shown at the top-left corner of the screen as soon as it is created. Its Cancel button
  // sets WaitCancelled.
  explicit TForm5(MainState& main, QWidget* parent = nullptr);

  // The countdown text (CP932) of a tick of the main timer, in its colour (0xRRGGBB).
  void SetText(const std::string& text, unsigned colour);

  QLabel* Label1;
  QPushButton* Button1;

 public slots:
  // Gives up the wait; the main timer ends it at its next tick.
  void Button1Click();

 protected:
  // Closing the window (its window menu, Alt+F4) gives up the wait as Cancel does.
  void closeEvent(QCloseEvent* event) override;

 private:
  void SetTextColour(const QColor& colour);
  MainState& main_;
};

}  // namespace norvax
