#include "forms/frmHelp.h"

#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "shell/ProgramInfo.h"
#include "services/HelpTopics.h"
#include "ui/UiServices.h"

namespace {
QPointer<frmHelp>& TheWindow() {
    static QPointer<frmHelp> window;
    return window;
}
}  // namespace

std::vector<frmHelp::Topic> frmHelp::ParseTopics(const QString& html) {
    std::vector<Topic> topics;
    static const QRegularExpression section(R"re(<section\s+id="topic-(\d+)"\s*>(.*?)</section>)re",
                                            QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression heading(R"(<h1[^>]*>(.*?)</h1>)", QRegularExpression::DotMatchesEverythingOption);
    for (auto it = section.globalMatch(html); it.hasNext();) {
        QRegularExpressionMatch m = it.next();
        Topic t;
        t.number = m.captured(1).toInt();
        t.html = m.captured(2);
        QRegularExpressionMatch h = heading.match(t.html);
        QTextDocument doc;
        doc.setHtml(h.hasMatch() ? h.captured(1) : QString("Topic %1").arg(t.number));
        t.title = doc.toPlainText().trimmed();
        doc.setHtml(t.html);
        t.plain = doc.toPlainText();
        topics.push_back(std::move(t));
    }
    return topics;
}

frmHelp* frmHelp::Instance() {
    if (!TheWindow()) {
        TheWindow() = new frmHelp(nullptr);
        TheWindow()->setAttribute(Qt::WA_DeleteOnClose);
    }
    return TheWindow();
}

void frmHelp::ShowHelp(const std::string& helpFile, int topic) {
    frmHelp* w = Instance();
    if (!w->Load(QString::fromStdString(helpFile))) {
        ui::MsgBox("Cannot open the help file " + helpFile + ".", ui::vbOKOnly, program::kAppTitle);
        w->close();
        return;
    }
    // Asked for from a modal dialog, the window belongs to that dialog: it
    // shows above it and takes keys and clicks while the dialog is open.
    QWidget* owner = QApplication::activeModalWidget();
    const bool moved = w->parentWidget() != owner;
    if (moved) w->setParent(owner, Qt::Window);
    w->txtSearch_->clear();
    w->ShowTopic(topic);
    // Where the user put a shown window it stays.
    if (moved || !w->isVisible()) w->PlaceOnScreen(owner);
    w->show();
    w->raise();
    w->activateWindow();
}

void frmHelp::PlaceOnScreen(QWidget* owner) {
    QScreen* screen = owner ? owner->screen() : this->screen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    // The window manager's frame, once known; room for a title bar before.
    const QRect outer = frameGeometry();
    const QSize frame = isVisible() || outer.size() != size() ? outer.size() - size() : QSize(8, 40);
    resize(size().boundedTo(area.size() - frame));
    QRect placed(QPoint(), size() + frame);
    placed.moveCenter(owner && owner->isVisible() ? owner->frameGeometry().center() : area.center());
    placed.moveLeft(std::clamp(placed.left(), area.left(), area.right() + 1 - placed.width()));
    placed.moveTop(std::clamp(placed.top(), area.top(), area.bottom() + 1 - placed.height()));
    move(placed.topLeft());
}

void frmHelp::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmHelp::Search(const std::string& helpFile, const std::string& keyword) {
    ShowHelp(helpFile, 0);
    if (TheWindow()) {
        TheWindow()->txtSearch_->setText(QString::fromStdString(keyword));
        TheWindow()->txtSearch_->setFocus();
    }
}

void frmHelp::CloseHelp() {
    if (TheWindow()) TheWindow()->close();
}

frmHelp::frmHelp(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("frmHelp");
    setWindowTitle("Quantara Help");
    setProperty("HelpContextID", help::kUsingHelp);
    resize(760, 520);

    auto* left = new QWidget;
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    auto* searchLabel = new QLabel("&Search:");
    txtSearch_ = new QLineEdit;
    txtSearch_->setObjectName("txtSearch");
    txtSearch_->setClearButtonEnabled(true);
    searchLabel->setBuddy(txtSearch_);
    lstTopics_ = new QListWidget;
    lstTopics_->setObjectName("lstTopics");
    leftLayout->addWidget(searchLabel);
    leftLayout->addWidget(txtSearch_);
    leftLayout->addWidget(new QLabel("Contents:"));
    leftLayout->addWidget(lstTopics_);

    txtTopic_ = new QTextBrowser;
    txtTopic_->setObjectName("txtTopic");
    txtTopic_->setOpenLinks(false);

    auto* splitter = new QSplitter;
    splitter->addWidget(left);
    splitter->addWidget(txtTopic_);
    splitter->setStretchFactor(1, 3);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(splitter);

    connect(txtSearch_, &QLineEdit::textChanged, this, [this](const QString& text) {
        picked_ = false;
        Filter(text);
    });
    // Return in the search box opens the topic the user picked among the
    // results since the search last changed, else the first found.
    connect(txtSearch_, &QLineEdit::returnPressed, this, [this] {
        QListWidgetItem* item = picked_ ? lstTopics_->currentItem() : nullptr;
        if (!item) item = lstTopics_->item(0);
        if (item) ShowTopic(item->data(Qt::UserRole).toInt());
    });
    connect(lstTopics_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        picked_ = true;
        if (item) ShowTopic(item->data(Qt::UserRole).toInt());
    });
    connect(txtTopic_, &QTextBrowser::anchorClicked, this, [](const QUrl& url) {
        QString target = url.toString();
        static const QRegularExpression topicLink(R"(^#topic-(\d+)$)");
        if (auto m = topicLink.match(target); m.hasMatch()) {
            Instance()->ShowTopic(m.captured(1).toInt());
        } else {
            ui::Ui().Open(target.toStdString());
        }
    });
}

bool frmHelp::Load(const QString& path) {
    if (path == loaded_ && !topics_.empty()) return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    std::vector<Topic> topics = ParseTopics(QString::fromUtf8(file.readAll()));
    if (topics.empty()) return false;
    topics_ = std::move(topics);
    loaded_ = path;
    Filter(txtSearch_->text());
    return true;
}

void frmHelp::Filter(const QString& text) {
    QSignalBlocker block(lstTopics_);
    lstTopics_->clear();
    for (const Topic& t : topics_) {
        if (!text.isEmpty() && !t.plain.contains(text, Qt::CaseInsensitive) &&
            !t.title.contains(text, Qt::CaseInsensitive))
            continue;
        auto* item = new QListWidgetItem(t.title, lstTopics_);
        item->setData(Qt::UserRole, t.number);
        if (t.number == current_) lstTopics_->setCurrentItem(item);
    }
}

void frmHelp::ShowTopic(int number) {
    if (topics_.empty()) return;
    const Topic* shown = &topics_.front();
    for (const Topic& t : topics_)
        if (t.number == number) shown = &t;
    current_ = shown->number;
    txtTopic_->setHtml(shown->html);
    QSignalBlocker block(lstTopics_);
    for (int i = 0; i < lstTopics_->count(); ++i)
        if (lstTopics_->item(i)->data(Qt::UserRole).toInt() == current_) lstTopics_->setCurrentRow(i);
}
