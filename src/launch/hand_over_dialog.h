// The hand-over prompt: a modeless window shown while a connection stays up after the
// browser passed the address to a browser that was already running. Its button asks for the
// connection to be ended.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QLabel;
class QPushButton;

namespace norvax {

class HandOverDialog : public QDialog {
  Q_OBJECT
 public:
  HandOverDialog(const std::string& caption, const std::string& text,
                 std::function<void()> onHangUp, QWidget* parent = nullptr);

  QLabel* Label1;
  QPushButton* HangUpBtn;

 protected:
  // Esc and the window's close button leave the connection up; only the button ends it.
  void reject() override {}

 private:
  std::function<void()> onHangUp_;
};

}  // namespace norvax
