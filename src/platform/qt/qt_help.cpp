#include "platform/qt/qt_help.h"

#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/qt/fonts.h"
#include "platform/qt/modal_owner.h"
#include "platform/qt/program_icon.h"

namespace norvax {

namespace {

constexpr int kTopicRole = Qt::UserRole + 1;

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

}  // namespace

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("NORVAX ヘルプ"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setWindowIcon(ProgramIcon());
  setFont(PGothic(13));
  resize(680, 480);

  Finder = new QTabWidget;
  Contents = new QListWidget;
  Finder->addTab(Contents, QStringLiteral("目次"));
  auto* searchPage = new QWidget;
  auto* sv = new QVBoxLayout(searchPage);
  sv->setContentsMargins(4, 4, 4, 4);
  sv->addWidget(new QLabel(QStringLiteral("探す語句を入力してください:")));
  SearchText = new QLineEdit;
  SearchText->setClearButtonEnabled(true);
  sv->addWidget(SearchText);
  sv->addWidget(new QLabel(QStringLiteral("見つかったトピック:")));
  SearchResults = new QListWidget;
  sv->addWidget(SearchResults, 1);
  Finder->addTab(searchPage, QStringLiteral("検索"));

  Page = new QTextBrowser;
  Page->setOpenLinks(false);
  Page->setFont(PGothic(14));

  auto* split = new QSplitter(Qt::Horizontal);
  split->addWidget(Finder);
  split->addWidget(Page);
  split->setStretchFactor(1, 1);
  split->setSizes({200, 480});
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(split);

  auto openItem = [this](QListWidgetItem* item) {
    if (item) OpenTopic(item->data(kTopicRole).toString());
  };
  connect(Contents, &QListWidget::itemClicked, this, openItem);
  connect(Contents, &QListWidget::itemActivated, this, openItem);
  connect(SearchResults, &QListWidget::itemClicked, this, openItem);
  connect(SearchResults, &QListWidget::itemActivated, this, openItem);
  connect(SearchText, &QLineEdit::textChanged, this, &HelpWindow::Search);
  connect(Page, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
    // Links between pages name a topic key: <a href="#NV013">.
    OpenTopic(url.fragment().isEmpty() ? url.toString() : url.fragment());
  });
}

void HelpWindow::SetTopics(std::vector<HelpTopic> topics, const QString& problem) {
  topics_ = std::move(topics);
  problem_ = problem;
  // Searching ignores the width of kana and letters: "ﾊﾟｽﾜｰﾄﾞ" finds "パスワード".
  searchTopics_ = topics_;
  for (auto& t : searchTopics_) {
    t.title = Q(t.title).normalized(QString::NormalizationForm_KC).toStdString();
    t.html = Q(t.html).normalized(QString::NormalizationForm_KC).toStdString();
  }
  Contents->clear();
  for (const auto& t : topics_) {
    auto* item = new QListWidgetItem(Q(t.title), Contents);
    item->setData(kTopicRole, Q(t.key));
  }
  Search(SearchText->text());
}

void HelpWindow::ShowIndex(int index) {
  const HelpTopic& t = topics_[static_cast<std::size_t>(index)];
  currentKey_ = Q(t.key);
  Page->setHtml(QStringLiteral("<h2>%1</h2>%2").arg(Q(t.title).toHtmlEscaped(), Q(t.html)));
  setWindowTitle(QStringLiteral("NORVAX ヘルプ - %1").arg(Q(t.title)));
  Contents->setCurrentRow(index);
}

void HelpWindow::ShowProblem(const QString& text) {
  currentKey_.clear();
  Page->setHtml(QStringLiteral("<p>%1</p>").arg(text.toHtmlEscaped()));
}

void HelpWindow::OpenTopic(const QString& key) {
  if (!problem_.isEmpty()) {
    ShowProblem(problem_);
    return;
  }
  const HelpTopic* t = FindHelpTopic(topics_, key.toStdString());
  if (t == nullptr) {
    ShowProblem(QStringLiteral("トピック %1 はヘルプファイルにありません。目次から選んでください。")
                    .arg(key));
    Finder->setCurrentWidget(Contents);
    return;
  }
  ShowIndex(static_cast<int>(t - topics_.data()));
}

void HelpWindow::OpenFinder() {
  Finder->setCurrentIndex(0);
  Contents->setFocus();
  if (!problem_.isEmpty()) {
    ShowProblem(problem_);
  } else if (currentKey_.isEmpty() && !topics_.empty()) {
    ShowIndex(0);
  }
}

void HelpWindow::Search(const QString& query) {
  SearchResults->clear();
  const std::string wanted = query.normalized(QString::NormalizationForm_KC).toStdString();
  for (std::size_t i : SearchHelpTopics(searchTopics_, wanted)) {
    auto* item = new QListWidgetItem(Q(topics_[i].title), SearchResults);
    item->setData(kTopicRole, Q(topics_[i].key));
  }
}

QtHelp::QtHelp(std::filesystem::path helpFile) : helpFile_(std::move(helpFile)) {}

QtHelp::~QtHelp() { delete window_.data(); }

HelpWindow& QtHelp::Present() {
  if (window_ == nullptr) window_ = new HelpWindow;
  QFile file(QString::fromStdString(helpFile_.string()));
  if (file.open(QIODevice::ReadOnly)) {
    window_->SetTopics(ParseHelpFile(file.readAll().toStdString()), {});
  } else {
    window_->SetTopics({}, QStringLiteral("ヘルプファイル %1 を開けません。")
                               .arg(QString::fromStdString(helpFile_.string())));
  }
  // Over a modal window the help window is a modal dialog of that window, to take input
  // there; otherwise a window of its own.
  QWidget* modal = QApplication::activeModalWidget();
  if (modal != window_) {
    PlaceOver(*window_, modal);
    window_->setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
  }
  window_->show();
  window_->raise();
  window_->activateWindow();
  return *window_;
}

void QtHelp::ShowTopic(const std::string& key) { Present().OpenTopic(QString::fromStdString(key)); }

void QtHelp::ShowFinder() { Present().OpenFinder(); }

}  // namespace norvax
