#include "launch/entry_editor_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "dialup/connection_settings_window.h"
#include "launch/proxy_window.h"
#include "platform/cp932.h"
#include "platform/help.h"
#include "platform/processes.h"
#include "platform/qt/fonts.h"
#include "platform/qt/modal_owner.h"
#include "platform/qt/qt_user_dialogs.h"
#include "platform/remote_access.h"
#include "platform/user_dialogs.h"

namespace norvax {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int x, int y) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->move(x, y);
  label->adjustSize();
  return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, int x, int y, int w) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setGeometry(x, y, w, 21);
  return edit;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, int x, int y, int w,
                        int h) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setGeometry(x, y, w, h);
  return button;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const QString& text, int x, int y) {
  auto* box = new QCheckBox(text, parent);
  box->setObjectName(name);
  box->move(x, y);
  box->adjustSize();
  return box;
}

std::string Field(const QLineEdit* edit, const char* name) {
  return RequireCp932(edit->text().toStdString(), name);
}

std::string Field(const QComboBox* combo, const char* name) {
  return RequireCp932(combo->currentText().toStdString(), name);
}

}  // namespace

TForm3::TForm3(EditorContext& context, EntryTable& table, const PreferenceList& prefs,
               RemoteAccess& remote, UserDialogs& dialogs, Help& help, QWidget* parent)
    : QDialog(parent),
      context_(context),
      table_(table),
      prefs_(prefs),
      remote_(remote),
      dialogs_(dialogs),
      help_(help) {
  setObjectName("Form3");
  setFixedSize(427, 411);
  setFont(PGothic(12));

  Label1 = MakeLabel(this, "Label1", QStringLiteral("ＮＯ"), 16, 14);
  Label6 = MakeLabel(this, "Label6", QString(), 96, 10);
  Label6->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Label6->setFixedSize(60, 21);
  Label6->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Label2 = MakeLabel(this, "Label2", QStringLiteral("タイトル"), 16, 44);
  Edit1 = MakeEdit(this, "Edit1", 96, 40, 310);
  Label3 = MakeLabel(this, "Label3", QStringLiteral("ＩＤ"), 16, 74);
  Password2 = MakeEdit(this, "Password2", 96, 70, 200);
  Label5 = MakeLabel(this, "Label5", QStringLiteral("ＰＡＳＳ"), 16, 104);
  Password3 = MakeEdit(this, "Password3", 96, 100, 200);
  for (QLineEdit* typed : {Password2, Password3}) {
    typed->setToolTip(QStringLiteral("{~ は ENTER ｷｰ、{] は TAB ｷｰとして送られます"));
  }
  Label4 = MakeLabel(this, "Label4", QStringLiteral("ブラウザ"), 16, 134);
  Edit4 = MakeEdit(this, "Edit4", 96, 130, 240);
  Button3 = MakeButton(this, "Button3", QStringLiteral("参照..."), 344, 129, 62, 23);
  Label13 = MakeLabel(this, "Label13", QStringLiteral("作業"), 16, 156);
  Label14 = MakeLabel(this, "Label14", QStringLiteral("ﾃﾞｨﾚｸﾄﾘ"), 16, 170);
  Edit6 = MakeEdit(this, "Edit6", 96, 161, 240);
  Button6 = MakeButton(this, "Button6", QStringLiteral("参照..."), 344, 160, 62, 23);
  Label7 = MakeLabel(this, "Label7", QStringLiteral("接続先"), 16, 196);
  ComboBox1 = new QComboBox(this);
  ComboBox1->setObjectName("ComboBox1");
  ComboBox1->setEditable(true);
  ComboBox1->setInsertPolicy(QComboBox::NoInsert);
  ComboBox1->setGeometry(96, 192, 240, 22);
  Label8 = MakeLabel(this, "Label8", QStringLiteral("ｾｯﾄ1"), 16, 226);
  ComboBox2 = new QComboBox(this);
  ComboBox2->setObjectName("ComboBox2");
  ComboBox2->setEditable(true);
  ComboBox2->setInsertPolicy(QComboBox::NoInsert);
  ComboBox2->setGeometry(96, 222, 240, 22);
  for (const char* kind : kBrowserKinds) ComboBox2->addItem(QString::fromLatin1(kind));
  Label9 = MakeLabel(this, "Label9", QStringLiteral("ｾｯﾄ2"), 16, 256);
  Edit5 = MakeEdit(this, "Edit5", 96, 252, 240);

  GroupBox1 = new QGroupBox(this);
  GroupBox1->setObjectName("GroupBox1");
  GroupBox1->setGeometry(16, 282, 395, 92);
  CheckBox1 = MakeCheck(GroupBox1, "CheckBox1", QStringLiteral("PASSをセットする"), 12, 12);
  CheckBox3 = MakeCheck(GroupBox1, "CheckBox3", QStringLiteral("NORVAXで接続"), 12, 36);
  Button7 = MakeButton(GroupBox1, "Button7", QStringLiteral("接続先設定"), 30, 60, 110, 24);
  CheckBox4 = MakeCheck(GroupBox1, "CheckBox4", QStringLiteral("ﾌﾞﾗｳｻﾞを最大化"), 220, 12);
  CheckBox2 = MakeCheck(GroupBox1, "CheckBox2", QStringLiteral("ﾌﾟﾛｷｼをｾｯﾄする"), 220, 36);
  CheckBox2->setToolTip(QStringLiteral("注 ﾍﾙﾌﾟを参照して下さい"));
  Button5 = MakeButton(GroupBox1, "Button5", QStringLiteral("ﾌﾟﾛｷｼの設定"), 238, 60, 110, 24);
  Button5->setToolTip(QStringLiteral("ﾍﾙﾌﾟを参照して下さい"));

  Button1 = MakeButton(this, "Button1", QStringLiteral("OK"), 100, 380, 73, 25);
  Button1->setDefault(true);
  Button2 = MakeButton(this, "Button2", QStringLiteral("ｷｬﾝｾﾙ"), 180, 380, 73, 25);
  Button4 = MakeButton(this, "Button4", QStringLiteral("ﾍﾙﾌﾟ"), 260, 380, 73, 25);

  connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TForm3::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TForm3::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TForm3::Button4Click);
  connect(Button5, &QPushButton::clicked, this, &TForm3::Button5Click);
  connect(Button6, &QPushButton::clicked, this, &TForm3::Button6Click);
  connect(Button7, &QPushButton::clicked, this, &TForm3::Button7Click);
  connect(CheckBox2, &QCheckBox::clicked, this, &TForm3::CheckBox2Click);
  connect(CheckBox3, &QCheckBox::clicked, this, &TForm3::CheckBox3Click);

  FormCreate();
}

void TForm3::FormCreate() {
  Password2->setEchoMode(EditorMasksId(prefs_) ? QLineEdit::Password : QLineEdit::Normal);
  Password3->setEchoMode(EditorMasksPass(prefs_) ? QLineEdit::Password : QLineEdit::Normal);
  ComboBox1->clear();
  for (const std::string& name : remote_.EnumPhonebookEntries()) {
    ComboBox1->addItem(ToQString(name));
  }
  // A service that does not answer is no empty phonebook.
  const QString problem = ToQString(remote_.PhonebookProblem().value_or(""));
  ComboBox1->lineEdit()->setPlaceholderText(problem);
  ComboBox1->setToolTip(problem);
  working_ = InitialEditorForm(context_, table_);
  Label6->setText(ToQString(EditorNumberText(context_)));
  ComboBox1->setCurrentText(ToQString(working_.connection));
  ComboBox2->setCurrentText(ToQString(working_.set1));
  if (context_.mode == EditorMode::Edit) {
    Edit1->setText(ToQString(working_.title));
    Password2->setText(ToQString(working_.id));
    Password3->setText(ToQString(working_.pass));
    Edit4->setText(ToQString(working_.browser));
    Edit6->setText(ToQString(working_.workDirectory));
    Edit5->setText(ToQString(working_.set2));
    CheckBox1->setChecked(working_.setPass);
    CheckBox3->setChecked(working_.ownDialler);
    CheckBox4->setChecked(working_.maximise);
    CheckBox1->setEnabled(
        table_.Value(static_cast<std::size_t>(context_.currentIndex), Column::OwnDialler) != "1");
    CheckBox2->setChecked(ProxyChecked(working_.proxyFlags));
  }
  Button5->setEnabled(ProxyButtonEnabled(working_.proxyFlags));
}

EditorForm TForm3::ReadForm() const {
  EditorForm form = working_;
  form.title = Field(Edit1, "タイトル");
  form.id = Field(Password2, "ＩＤ");
  form.pass = Field(Password3, "ＰＡＳＳ");
  form.browser = Field(Edit4, "ブラウザ");
  form.workDirectory = Field(Edit6, "作業ディレクトリ");
  form.connection = Field(ComboBox1, "接続先");
  form.set1 = Field(ComboBox2, "ｾｯﾄ1");
  form.set2 = Field(Edit5, "ｾｯﾄ2");
  form.setPass = CheckBox1->isChecked();
  form.ownDialler = CheckBox3->isChecked();
  form.maximise = CheckBox4->isChecked();
  return form;
}

void TForm3::Button1Click() {
  EditorForm form;
  try {
    form = ReadForm();
  } catch (const EncodingError& e) {
    dialogs_.ShowError(Cp932ForDisplay(e.what()));
    return;
  }
  if (auto message = ValidateEditorForm(form)) {
    dialogs_.ShowError(*message);
    return;
  }
  StoreEditorForm(form, context_, table_);
  accept();
}

void TForm3::Button2Click() { reject(); }

void TForm3::Button3Click() {
  QFileDialog dialog(this, QStringLiteral("ファイルの参照"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(
      {QStringLiteral("実行ファイル(*.EXE) (*.EXE *.exe)"), QStringLiteral("すべて(*.*) (*)")});
  if (ExecModal(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
    // The field is a command line: a path with blanks must stay one word of it.
    const std::string path = dialog.selectedFiles().first().toStdString();
    Edit4->setText(QString::fromStdString(QuoteCommandWord(path)));
  }
}

void TForm3::Button4Click() { help_.ShowTopic(help_topic::kEntryEditor); }

void TForm3::Button5Click() {
  TForm6 proxy(working_.proxyFlags, working_.proxyServers, working_.proxyExceptions, dialogs_,
               help_, this);
  ExecModal(proxy);
}

void TForm3::Button6Click() {
  const QString dir = QFileDialog::getExistingDirectory(this, QString(), QString());
  if (!dir.isEmpty()) Edit6->setText(dir);
}

void TForm3::Button7Click() {
  // The connection box's text picks the phonebook's number; text without a CP932 form
  // names no phonebook entry.
  const std::string connection =
      Utf8ToCp932(ComboBox1->currentText().toStdString()).value_or(std::string());
  TForm7 settings(working_.dialProfile, connection, remote_, dialogs_, help_, this);
  ExecModal(settings);
}

void TForm3::CheckBox2Click() {
  SetProxyFlag(working_.proxyFlags, CheckBox2->isChecked());
  Button5->setEnabled(CheckBox2->isChecked());
}

void TForm3::CheckBox3Click() { CheckBox1->setEnabled(SetPassEnabled(CheckBox3->isChecked())); }

}  // namespace norvax
