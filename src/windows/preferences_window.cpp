#include "windows/preferences_window.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "platform/help.h"
#include "platform/profile_file.h"
#include "platform/qt/fonts.h"
#include "platform/qt/modal_owner.h"
#include "platform/user_dialogs.h"
#include "windows/password_dialog.h"

namespace norvax {

namespace {

// Which preference each numbered check box edits.
const std::map<int, Pref> kCheckBoxPref = {
    {1, KeepWindowPosition},  {2, AlwaysOnTop},          {3, ExitAfterBrowserStart},
    {4, NoConnectNoBrowser},  {5, ExitOnLaunchFailure},  {6, Set2IsClass},
    {7, CopyToClipboard},     {8, TabAfterIdSet1},       {9, TabAfterIdSet2},
    {10, EnterAfterPassSet1}, {11, EnterAfterPassSet2},  {12, EnterEvenIfNoPass},
    {13, LockStart},          {14, HangUpOnBrowserExit}, {15, ExitOnBrowserExit},
    {16, MinimiseAfterEnter}, {17, TitleSingleClick},    {18, IdPassSingleClick},
    {19, ShowTargetCaption},
};

// Radio buttons: preference and code.
struct RadioPref {
  Pref pref;
  int code;
};
const std::map<int, RadioPref> kRadioPref = {
    {1, {StartMinimised, 0}}, {2, {StartMinimised, 1}}, {3, {IdDisplay, 0}},
    {4, {IdDisplay, 1}},      {5, {IdDisplay, 2}},      {6, {PassDisplay, 0}},
    {7, {PassDisplay, 1}},    {8, {PassDisplay, 2}},
};

QLabel* Note(QWidget* parent, const char* name, const char* text, int x, int y) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setObjectName(name);
  label->move(x, y);
  label->adjustSize();
  return label;
}

QGroupBox* Group(QWidget* parent, const char* name, const char* title, QRect r) {
  auto* box = new QGroupBox(QString::fromUtf8(title), parent);
  box->setObjectName(name);
  box->setGeometry(r);
  return box;
}

}  // namespace

TForm4::TForm4(PreferenceList& prefs, PromptFactory prompts, UserDialogs& dialogs, Help& help,
               QWidget* parent)
    : QDialog(parent), prefs_(prefs), prompts_(std::move(prompts)), dialogs_(dialogs), help_(help) {
  setObjectName("Form4");
  setWindowTitle(QStringLiteral("環境設定"));
  setFixedSize(354, 302);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFont(PGothic(12));

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  PageControl1->setGeometry(0, 0, 353, 265);
  // All five tabs fit side by side, as narrow as their texts allow.
  PageControl1->setUsesScrollButtons(false);
  PageControl1->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 5px; }"));
  auto page = [this](const char* name, const char* title) {
    auto* w = new QWidget;
    w->setObjectName(name);
    PageControl1->addTab(w, QString::fromUtf8(title));
    return w;
  };
  TabSheet1 = page("TabSheet1", "表示設定");
  TabSheet2 = page("TabSheet2", "ﾊﾟｽﾜ-ﾄﾞ設定");
  TabSheet3 = page("TabSheet3", "起 動・終了");
  TabSheet4 = page("TabSheet4", "ｾｯﾄ方法");
  TabSheet5 = page("TabSheet5", "その他");

  auto check = [this](int n, QWidget* parent, const char* text, int x, int y) {
    auto* box = new QCheckBox(QString::fromUtf8(text), parent);
    box->setObjectName(QStringLiteral("CheckBox%1").arg(n));
    box->move(x, y);
    box->adjustSize();
    CheckBox[n] = box;
    return box;
  };
  auto radio = [this](int n, QWidget* parent, const char* text, int x, int y) {
    auto* button = new QRadioButton(QString::fromUtf8(text), parent);
    button->setObjectName(QStringLiteral("RadioButton%1").arg(n));
    button->move(x, y);
    button->adjustSize();
    RadioButton[n] = button;
    return button;
  };

  // Page 1: display.
  check(1, TabSheet1, "終了時のｳｲﾝﾄﾞｳ位置を保持する", 12, 10);
  check(2, TabSheet1, "常に手前に表示", 12, 32);
  check(19, TabSheet1, "ID､PASSをセットしたｳｨﾝﾄﾞｳｷｬﾌﾟｼｮﾝを表示", 12, 54);
  GroupBox1 = Group(TabSheet1, "GroupBox1", "起動時のｳｲﾝﾄﾞｳｻｲｽﾞ", QRect(12, 80, 164, 44));
  radio(1, GroupBox1, "通常", 10, 20);
  radio(2, GroupBox1, "最小化", 80, 20);
  GroupBox2 = Group(TabSheet1, "GroupBox2", "IDの表示方法", QRect(12, 130, 160, 86));
  radio(3, GroupBox2, "そのまま表示", 10, 20);
  radio(4, GroupBox2, "＊を表示", 10, 40);
  radio(5, GroupBox2, "ﾒｲﾝのみ＊を表示", 10, 60);
  GroupBox3 = Group(TabSheet1, "GroupBox3", "ﾊﾟｽﾜ-ﾄﾞの表示方法", QRect(180, 130, 160, 86));
  radio(6, GroupBox3, "そのまま表示", 10, 20);
  radio(7, GroupBox3, "＊を表示", 10, 40);
  radio(8, GroupBox3, "ﾒｲﾝのみ＊を表示", 10, 60);

  // Page 2: password.
  GroupBox4 = Group(TabSheet2, "GroupBox4", "登録ｳｲﾝﾄﾞｳをﾊﾞｽﾜ-ﾄﾞﾛｯｸする", QRect(12, 12, 324, 64));
  auto button = [](QWidget* parent, const char* name, const char* text, QRect r) {
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(name);
    b->setGeometry(r);
    return b;
  };
  Button4 = button(GroupBox4, "Button4", "設定", QRect(24, 26, 73, 25));
  Button5 = button(GroupBox4, "Button5", "変更", QRect(124, 26, 73, 25));
  Button6 = button(GroupBox4, "Button6", "削除", QRect(224, 26, 73, 25));
  Note(TabSheet2, "Label19", "☆環境設定ｳｲﾝﾄﾞｳもﾛｯｸします", 16, 92);
  Note(TabSheet2, "Label27", "☆NORVAXの起動もﾛｯｸすることが出来ます", 16, 116);
  Note(TabSheet2, "Label28", "（起動ﾀﾌﾞｼｰﾄを参照して下さい）", 28, 134);

  // Page 3: start and exit.
  check(14, TabSheet3, "ﾌﾞﾗｳｻﾞが終了したら回線を切断", 12, 10);
  check(15, TabSheet3, "ﾌﾞﾗｳｻﾞが終了したらNORVAXを終了", 12, 32);
  check(3, TabSheet3, "ﾌﾞﾗｳｻﾞを起動したら終了", 12, 54);
  check(4, TabSheet3, "接続・ﾌﾞﾗｳｻﾞを起動しない", 12, 76);
  check(5, TabSheet3, "接続・ﾌﾞﾗｳｻﾞを起動出来なかった場合終了", 12, 98);
  check(13, TabSheet3, "NORVAXの起動もﾊﾟｽﾜｰﾄﾞﾛｯｸする", 12, 128);
  Note(TabSheet3, "Label20", "ﾊﾟｽﾜｰﾄﾞ設定ﾀﾌﾞｼｰﾄで登録ｳｲﾝﾄﾞｳのﾊﾟｽﾜｰﾄﾞﾛｯｸが設定", 30, 150);
  Note(TabSheet3, "Label21", "されてないと無効になります", 30, 166);

  // Page 4: how ID and password are typed.
  check(6, TabSheet4, "ｾｯﾄ2はｳｲﾝﾄﾞｳｸﾗｽを指定", 12, 8);
  check(7, TabSheet4, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞにもｺﾋﾟｰ", 180, 8);
  GroupBox8 = Group(TabSheet4, "GroupBox8", "ﾀｲﾄﾙ ｸﾘｯｸ", QRect(12, 30, 160, 44));
  check(17, GroupBox8, "ｼﾝｸﾞﾙ ｸﾘｯｸで起動", 10, 18);
  GroupBox7 = Group(TabSheet4, "GroupBox7", "ID､PASS ｸﾘｯｸ", QRect(180, 30, 160, 44));
  check(18, GroupBox7, "ｼﾝｸﾞﾙ ｸﾘｯｸでセット", 10, 18);
  GroupBox5 = Group(TabSheet4, "GroupBox5", "IDをｾｯﾄする場合は TAB を付加", QRect(12, 80, 328, 44));
  check(8, GroupBox5, "ｾｯﾄ1", 10, 18);
  check(9, GroupBox5, "ｾｯﾄ2", 100, 18);
  GroupBox6 =
      Group(TabSheet4, "GroupBox6", "PASSをｾｯﾄする場合は ENTER を付加", QRect(12, 130, 328, 68));
  check(10, GroupBox6, "ｾｯﾄ1", 10, 18);
  check(11, GroupBox6, "ｾｯﾄ2", 100, 18);
  check(16, GroupBox6, "ENTERを付加したらNORVAXを最小化", 10, 42);

  // Page 5: other.
  check(12, TabSheet5, "接続で PASS をｾｯﾄしない場合でも ENTER を送る", 12, 12);
  Note(TabSheet5, "Label22", "☆ﾀﾞｲｱﾙｱｯﾌﾟでﾊﾟｽﾜｰﾄﾞがｾｯﾄされている場合に使用", 28, 40);
  Note(TabSheet5, "Label23", "します", 40, 56);
  Note(TabSheet5, "Label24", "☆ﾌﾞﾗｳｻﾞを起動する場合にのみ有効", 28, 80);

  Button1 = button(this, "Button1", "OK", QRect(56, 272, 73, 25));
  Button2 = button(this, "Button2", "ｷｬﾝｾﾙ", QRect(144, 272, 73, 25));
  Button3 = button(this, "Button3", "ﾍﾙﾌﾟ", QRect(232, 272, 73, 25));
  Button1->setDefault(true);
  setTabOrder(Button1, Button2);
  setTabOrder(Button2, Button3);

  connect(Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TForm4::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TForm4::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TForm4::Button4Click);
  connect(Button5, &QPushButton::clicked, this, &TForm4::Button5Click);
  connect(Button6, &QPushButton::clicked, this, &TForm4::Button6Click);

  FormCreate();
}

void TForm4::FormCreate() {
  const PreferencesForm form = LoadPreferencesForm(prefs_);
  for (auto& [n, box] : CheckBox) box->setChecked(form.checked[kCheckBoxPref.at(n)]);
  for (auto& [n, button] : RadioButton) {
    const RadioPref& r = kRadioPref.at(n);
    button->setAutoExclusive(false);
    button->setChecked(form.radio[r.pref] == r.code);
    button->setAutoExclusive(true);
  }
  lockPassword_ = form.lockPassword;
  PageControl1->setCurrentIndex(0);
}

PreferencesForm TForm4::ReadForm() const {
  PreferencesForm form;
  form.radio.fill(-1);
  for (auto& [n, box] : CheckBox) form.checked[kCheckBoxPref.at(n)] = box->isChecked();
  for (auto& [n, button] : RadioButton) {
    if (button->isChecked()) form.radio[kRadioPref.at(n).pref] = kRadioPref.at(n).code;
  }
  form.lockPassword = lockPassword_;
  return form;
}

void TForm4::Button1Click() {
  if (!ConfirmPreferences(ReadForm(), prefs_, *prompts_(), dialogs_)) return;
  preferencesSaved_ = true;
  accept();
}

void TForm4::Button2Click() { reject(); }

void TForm4::Button3Click() {
  help_.ShowTopic(help_topic::kPreferencesPages[PageControl1->currentIndex()]);
}

void TForm4::Button4Click() { SetLockFlow(*prompts_(), dialogs_, lockPassword_); }
void TForm4::Button5Click() { ChangeLockFlow(*prompts_(), dialogs_, lockPassword_); }
void TForm4::Button6Click() { DeleteLockFlow(*prompts_(), dialogs_, lockPassword_); }

bool PreferencesCommand(ProgramState& state, Ports& ports, QWidget* parent) {
  PreferenceList prefs = state.prefs;
  bool saved = false;
  {
    TForm4 window(prefs, nullptr, ports.dialogs, ports.help, parent);
    window.SetPromptFactory([&window] { return std::make_unique<QtPasswordPrompt>(&window); });
    ExecModal(window);
    saved = window.PreferencesSaved();
  }
  if (!saved) return false;
  try {
    SavePreferences(ports.settings, prefs);
  } catch (const WriteError& e) {
    ports.dialogs.ShowError(e.Message());
  }
  state.prefs = prefs;
  return true;
}

}  // namespace norvax
