// A small login dialog for typing tests: two fields and a default button. It reports on
// stdout every change of a field ("1:<text>" / "2:<text>") and "enter" when the default
// button is pressed. The caption is the first argument; with a second argument
// "--report-on-enter" the fields are reported only when the default button is pressed.
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QDialog dialog;
  dialog.setWindowTitle(argc > 1 ? QString::fromUtf8(argv[1]) : QStringLiteral("target"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* first = new QLineEdit(&dialog);
  auto* second = new QLineEdit(&dialog);
  auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
  ok->setDefault(true);
  layout->addWidget(first);
  layout->addWidget(second);
  layout->addWidget(ok);
  auto report = [](const char* field, const QString& text) {
    std::printf("%s:%s\n", field, text.toUtf8().constData());
    std::fflush(stdout);
  };
  const bool onEnter =
      argc > 2 && QString::fromUtf8(argv[2]) == QStringLiteral("--report-on-enter");
  if (!onEnter) {
    QObject::connect(first, &QLineEdit::textChanged, [&](const QString& t) { report("1", t); });
    QObject::connect(second, &QLineEdit::textChanged, [&](const QString& t) { report("2", t); });
  }
  QObject::connect(ok, &QPushButton::clicked, [&] {
    if (onEnter) {
      report("1", first->text());
      report("2", second->text());
    }
    std::printf("enter\n");
    std::fflush(stdout);
  });
  dialog.show();
  first->setFocus();
  return app.exec();
}
