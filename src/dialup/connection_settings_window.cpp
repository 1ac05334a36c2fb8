#include "dialup/connection_settings_window.h"

#include <algorithm>

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

#include "platform/cp932.h"
#include "platform/help.h"
#include "platform/qt/qt_user_dialogs.h"
#include "platform/user_dialogs.h"

namespace norvax {
namespace {

constexpr int kMaxLength[16] = {0, 3, 3, 30, 5, 5, 5, 5, 5, 2, 4, 4, 4, 4, 4, 4};

QLabel* Label(const char* text, QWidget* parent) {
  return new QLabel(QString::fromUtf8(text), parent);
}

}  // namespace

TForm7::TForm7(std::string& profileText, const std::string& connection, RemoteAccess& remote,
               UserDialogs& dialogs, Help& help, QWidget* parent)
    : QDialog(parent), profileText_(profileText), dialogs_(dialogs), help_(help) {
  setObjectName(QStringLiteral("TForm7"));
  setWindowTitle(QStringLiteral("接続先設定"));
  setFixedSize(357, 452);
  for (int i = 1; i <= 15; ++i) {
    Edits[i] = new QLineEdit(this);
    Edits[i]->setObjectName(QStringLiteral("Edit%1").arg(i));
  }
  for (int i = 4; i <= 15; ++i) Edits[i]->setFixedWidth(i == 9 ? 28 : 48);

  auto* columns = new QHBoxLayout(this);
  auto* left = new QVBoxLayout;
  columns->addLayout(left, 1);

  GroupBox1 = new QGroupBox(QStringLiteral("ﾘﾀﾞｲﾔﾙ設定"), this);
  auto* redial = new QGridLayout(GroupBox1);
  CheckBox1 = new QCheckBox(QStringLiteral("ﾘﾀﾞｲﾔﾙ規制を解除する"), GroupBox1);
  redial->addWidget(CheckBox1, 0, 0, 1, 4);
  auto* maxLabel = Label("最大回数", GroupBox1);
  auto* intervalLabel = Label("間隔", GroupBox1);
  auto* secondsLabel = Label("秒", GroupBox1);
  auto* phoneLabel = Label("電話番号", GroupBox1);
  auto* methodLabel = Label("ﾀﾞｲﾔﾙ方法", GroupBox1);
  Edits[1]->setFixedWidth(36);
  Edits[2]->setFixedWidth(36);
  redial->addWidget(maxLabel, 1, 0);
  redial->addWidget(Edits[1], 1, 1);
  redial->addWidget(intervalLabel, 2, 0);
  redial->addWidget(Edits[2], 2, 1);
  redial->addWidget(secondsLabel, 2, 2);
  redial->addWidget(phoneLabel, 3, 0);
  redial->addWidget(Edits[3], 3, 1, 1, 3);
  redial->addWidget(methodLabel, 4, 0);
  RadioButton1 = new QRadioButton(QStringLiteral("ﾄｰﾝ"), GroupBox1);
  RadioButton2 = new QRadioButton(QStringLiteral("ﾊﾟﾙｽ"), GroupBox1);
  redial->addWidget(RadioButton1, 4, 1);
  redial->addWidget(RadioButton2, 4, 2);
  left->addWidget(GroupBox1);
  redialControls_ = {Edits[1], Edits[2],      Edits[3],     RadioButton1, RadioButton2,
                     maxLabel, intervalLabel, secondsLabel, phoneLabel,   methodLabel};

  CheckBox2 = new QCheckBox(QStringLiteral("接続ログを作成する"), this);
  left->addWidget(CheckBox2);

  GroupBox2 = new QGroupBox(QStringLiteral("ﾌﾟﾛﾊﾞｲﾀﾞ接続料金"), this);
  auto* provider = new QGridLayout(GroupBox2);
  const char* providerRows[4][4] = {{"基本料金", "分まで", "円", nullptr},
                                    {"以降", "秒毎に", "円", nullptr},
                                    {"上限", "円", nullptr, nullptr},
                                    {"開始日", "日", nullptr, nullptr}};
  const int providerEdits[4][2] = {{4, 5}, {6, 7}, {8, 0}, {9, 0}};
  for (int row = 0; row < 4; ++row) {
    std::vector<QWidget*> cells{Label(providerRows[row][0], GroupBox2),
                                Edits[providerEdits[row][0]],
                                Label(providerRows[row][1], GroupBox2)};
    if (providerEdits[row][1]) {
      cells.push_back(Edits[providerEdits[row][1]]);
      cells.push_back(Label(providerRows[row][2], GroupBox2));
    }
    for (std::size_t col = 0; col < cells.size(); ++col) {
      provider->addWidget(cells[col], row, static_cast<int>(col));
      chargeControls_.push_back(cells[col]);
    }
  }
  left->addWidget(GroupBox2);

  GroupBox3 = new QGroupBox(QStringLiteral("電話料金"), this);
  auto* phone = new QGridLayout(GroupBox3);
  const char* phoneRows[3] = {"平日昼間", "夜間・休日", "深夜・早朝"};
  for (int row = 0; row < 3; ++row) {
    QWidget* cells[] = {Label(phoneRows[row], GroupBox3), Edits[10 + 2 * row],
                        Label("円で", GroupBox3), Edits[11 + 2 * row], Label("秒", GroupBox3)};
    for (int col = 0; col < 5; ++col) {
      phone->addWidget(cells[col], row, col);
      chargeControls_.push_back(cells[col]);
    }
  }
  CheckBox3 = new QCheckBox(QStringLiteral("ﾃﾚﾎｰﾀﾞｲ対象"), GroupBox3);
  phone->addWidget(CheckBox3, 3, 0, 1, 5);
  chargeControls_.push_back(CheckBox3);
  left->addWidget(GroupBox3);
  left->addStretch();

  auto* buttons = new QVBoxLayout;
  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button2 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
  Button3 = new QPushButton(QStringLiteral("ﾍﾙﾌﾟ"), this);
  Button1->setDefault(true);
  for (auto* b : {Button1, Button2, Button3}) {
    b->setFixedWidth(72);
    buttons->addWidget(b);
  }
  buttons->addStretch();
  columns->addLayout(buttons);

  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
  CheckBox3->setObjectName(QStringLiteral("CheckBox3"));
  RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
  RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
  Button1->setObjectName(QStringLiteral("Button1"));
  Button2->setObjectName(QStringLiteral("Button2"));
  Button3->setObjectName(QStringLiteral("Button3"));
  // Tab goes through the groups as the window shows them.
  std::vector<QWidget*> tabOrder{CheckBox1,    Edits[1],     Edits[2], Edits[3],
                                 RadioButton1, RadioButton2, CheckBox2};
  for (int i = 4; i <= 15; ++i) tabOrder.push_back(Edits[i]);
  tabOrder.insert(tabOrder.end(), {CheckBox3, Button1, Button2, Button3});
  for (std::size_t i = 1; i < tabOrder.size(); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);

  connect(Button1, &QPushButton::clicked, this, &TForm7::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
  connect(Button3, &QPushButton::clicked, this, &TForm7::Button3Click);
  connect(CheckBox1, &QCheckBox::clicked, this, &TForm7::CheckBox1Click);
  connect(CheckBox2, &QCheckBox::clicked, this, &TForm7::CheckBox2Click);

  ShowControls(LoadConnectionSettings(profileText_, connection, remote));
  ApplyEnabling();
  if (auto* screen = this->screen()) move(screen->geometry().center() - rect().center());
}

void TForm7::ShowControls(const ConnectionSettings& settings) {
  CheckBox1->setChecked(settings.checkBox1);
  CheckBox2->setChecked(settings.checkBox2);
  CheckBox3->setChecked(settings.checkBox3);
  RadioButton1->setChecked(settings.radioButton1);
  RadioButton2->setChecked(settings.radioButton2);
  for (int i = 1; i <= 15; ++i) {
    // A stored value longer than the limit (a phonebook number may have up to 128
    // characters) is shown and kept whole; the limit holds for what is typed.
    QString text = ToQString(settings.edit[i]);
    Edits[i]->setMaxLength(std::max(kMaxLength[i], static_cast<int>(text.size())));
    Edits[i]->setText(text);
  }
}

bool TForm7::ReadControls(ConnectionSettings& settings) {
  settings.checkBox1 = CheckBox1->isChecked();
  settings.checkBox2 = CheckBox2->isChecked();
  settings.checkBox3 = CheckBox3->isChecked();
  settings.radioButton1 = RadioButton1->isChecked();
  settings.radioButton2 = RadioButton2->isChecked();
  return ReadEdits(settings, 1, 15);
}

bool TForm7::ReadEdits(ConnectionSettings& settings, int first, int last) {
  for (int i = first; i <= last; ++i) {
    auto text = Utf8ToCp932(Edits[i]->text().toStdString());
    if (!text) {
      const char* field = i == 3 ? "電話番号" : "接続先設定";
      dialogs_.ShowError(Cp932ForDisplay(EncodingError(field).what()));
      Edits[i]->setFocus();
      return false;
    }
    settings.edit[i] = *text;
  }
  return true;
}

void TForm7::ApplyEnabling() {
  ConnectionSettings settings;
  settings.checkBox1 = CheckBox1->isChecked();
  settings.checkBox2 = CheckBox2->isChecked();
  auto enabling = EnablingOf(settings);
  for (auto* w : redialControls_) w->setEnabled(enabling.redial);
  for (auto* w : chargeControls_) w->setEnabled(enabling.charges);
}

void TForm7::Report(const SettingsFailure& failure) {
  if (failure.edit >= 1 && failure.edit <= 15) Edits[failure.edit]->setFocus();
  dialogs_.ShowError(failure.message);
}

void TForm7::CheckBoxChanged(QCheckBox* box, bool ConnectionSettings::*state,
                             std::optional<SettingsFailure> (*rule)(ConnectionSettings&),
                             int firstEdit, int lastEdit) {
  ConnectionSettings settings;
  settings.*state = box->isChecked();
  std::optional<SettingsFailure> failure;
  if (!box->isChecked()) {  // checking never fails
    if (ReadEdits(settings, firstEdit, lastEdit)) {
      failure = rule(settings);
      box->setChecked(settings.*state);
    } else {
      // A text the profile cannot store stays where the user can change it (message shown).
      box->setChecked(true);
    }
  }
  ApplyEnabling();
  if (failure) Report(*failure);
}

void TForm7::CheckBox1Click() {
  CheckBoxChanged(CheckBox1, &ConnectionSettings::checkBox1, &CheckBox1Changed, 1, 3);
}

void TForm7::CheckBox2Click() {
  CheckBoxChanged(CheckBox2, &ConnectionSettings::checkBox2, &CheckBox2Changed, 4, 15);
}

void TForm7::Button1Click() {
  ConnectionSettings settings;
  if (!ReadControls(settings)) return;
  if (auto failure = ApplyConnectionSettings(settings, profileText_)) {
    Report(*failure);
    return;
  }
  accept();
}

void TForm7::Button3Click() { help_.ShowTopic(help_topic::kConnectionSettings); }

}  // namespace norvax
