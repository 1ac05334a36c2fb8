// norvax-connect: the simulated dialler's connect dialog. It stands for the dial-up
// connect dialog of the system: a window captioned "接続" (or "ダイヤルアップ接続" with
// --ie4) with user-name and password fields. When ENTER arrives with the password the
// phonebook expects for the connection, it brings the connection up in the simulated
// dialler and closes; NORVAX then finds the connection.
#include <QApplication>
#include <QCommandLineParser>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "platform/cp932.h"
#include "platform/program_directory.h"
#include "platform/sim/sim_connections.h"
#include "platform/sim/sim_phonebook.h"

namespace {

QString FromCp932(const std::string& text) {
  return QString::fromStdString(norvax::Cp932ToUtf8(text));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Connect dialog of the simulated dialler"));
  parser.addHelpOption();
  QCommandLineOption connectionOption(QStringLiteral("connection"),
                                      QStringLiteral("Phonebook connection to bring up."),
                                      QStringLiteral("name"));
  QCommandLineOption ie4Option(
      QStringLiteral("ie4"), QStringLiteral("Caption \"ダイヤルアップ接続\" instead of \"接続\"."));
  QCommandLineOption delayOption(QStringLiteral("delay"),
                                 QStringLiteral("Appear after this many milliseconds."),
                                 QStringLiteral("ms"), QStringLiteral("0"));
  QCommandLineOption dirOption(QStringLiteral("program-dir"),
                               QStringLiteral("Folder with phonebook.ini (default: NORVAX's)."),
                               QStringLiteral("dir"));
  parser.addOptions({connectionOption, ie4Option, delayOption, dirOption});
  parser.process(app);

  std::filesystem::path dir = parser.isSet(dirOption)
                                  ? std::filesystem::path(parser.value(dirOption).toStdString())
                                  : norvax::ProgramDirectory();
  auto connection = norvax::Utf8ToCp932(parser.value(connectionOption).toStdString());
  if (!connection || connection->empty()) {
    std::fprintf(stderr, "norvax-connect: --connection NAME is required\n");
    return 2;
  }
  auto book = norvax::ReadPhonebookFile((dir / norvax::kPhonebookFileName).string());
  const norvax::PhonebookEntry* entry = book.Find(*connection);
  if (!entry) {
    std::fprintf(stderr, "norvax-connect: the phonebook has no connection \"%s\"\n",
                 parser.value(connectionOption).toUtf8().constData());
    return 1;
  }

  QDialog dialog;
  dialog.setWindowTitle(parser.isSet(ie4Option) ? QStringLiteral("ダイヤルアップ接続")
                                                : QStringLiteral("接続"));
  auto* form = new QFormLayout(&dialog);
  form->addRow(new QLabel(FromCp932(entry->name), &dialog));
  auto* user = new QLineEdit(FromCp932(entry->user), &dialog);
  auto* password = new QLineEdit(&dialog);
  password->setEchoMode(QLineEdit::Password);
  form->addRow(QStringLiteral("ユーザー名:"), user);
  form->addRow(QStringLiteral("パスワード:"), password);
  auto* status = new QLabel(&dialog);
  form->addRow(status);
  auto* buttons = new QDialogButtonBox(&dialog);
  auto* connect = buttons->addButton(QStringLiteral("接続"), QDialogButtonBox::AcceptRole);
  buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
  connect->setDefault(true);
  form->addRow(buttons);

  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(buttons, &QDialogButtonBox::accepted, [&] {
    // The connection's own check, as the dialler makes it: a user or password that the
    // phonebook does not list is not checked.
    auto typedUser = norvax::Utf8ToCp932(user->text().toStdString());
    auto typed = norvax::Utf8ToCp932(password->text().toStdString());
    if (!typedUser || !typed || !entry->Accepts(*typedUser, *typed)) {
      std::printf("wrong password\n");
      std::fflush(stdout);
      status->setText(QStringLiteral("パスワードが違います。"));
      password->clear();
      return;
    }
    norvax::SimConnections((dir / norvax::kSimConnectionsFileName).string()).BringUp(entry->name);
    std::printf("connected\n");
    std::fflush(stdout);
    dialog.accept();
  });

  QTimer::singleShot(parser.value(delayOption).toInt(), &dialog, [&] {
    dialog.show();
    password->setFocus();
  });
  QObject::connect(&dialog, &QDialog::finished, &app, &QApplication::quit);
  return app.exec();
}
