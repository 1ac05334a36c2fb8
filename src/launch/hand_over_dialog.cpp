#include "launch/hand_over_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/qt/fonts.h"
#include "platform/qt/qt_user_dialogs.h"

namespace norvax {

HandOverDialog::HandOverDialog(const std::string& caption, const std::string& text,
                               std::function<void()> onHangUp, QWidget* parent)
    // Above other windows: it appears while the user works in the browser, and a window
    // manager that guards the focus would otherwise map it under the browser, unseen.
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowStaysOnTopHint),
      onHangUp_(std::move(onHangUp)) {
  setObjectName(QStringLiteral("HandOverDialog"));
  setWindowTitle(ToQString(caption));
  setFont(PGothic(12));
  Label1 = new QLabel(ToQString(text), this);
  Label1->setWordWrap(true);
  Label1->setMinimumWidth(300);
  HangUpBtn = new QPushButton(QStringLiteral("切断"), this);
  HangUpBtn->setObjectName(QStringLiteral("HangUpBtn"));
  HangUpBtn->setDefault(true);
  connect(HangUpBtn, &QPushButton::clicked, this, [this] {
    if (onHangUp_) onHangUp_();
  });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(HangUpBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1);
  layout->addLayout(buttons);
}

}  // namespace norvax
