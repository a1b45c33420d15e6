#include "help/HelpWindow.h"

#include "help/HelpText.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QImage>
#include <QSplitter>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace tegaro {

namespace {

constexpr int topicRole = Qt::UserRole;
const QString scheme = QStringLiteral("chm");

QString pageMessage(const QString& headline, const QString& detail)
{
    return QStringLiteral("<html><body><h3>%1</h3><p>%2</p></body></html>")
        .arg(headline.toHtmlEscaped(), detail.toHtmlEscaped());
}

} // namespace

HelpBrowser::HelpBrowser(QWidget* parent) : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("HelpTopic"));
    // Links between pages resolve to absolute help URLs, which the browser
    // would hand to the desktop as "external"; doSetSource sorts them instead.
    setOpenExternalLinks(false);
}

void HelpBrowser::doSetSource(const QUrl& name, QTextDocument::ResourceType type)
{
    if (name.scheme() == scheme) {
        QTextBrowser::doSetSource(name, type);
        return;
    }
    static const QStringList outside = {"http", "https", "mailto"};
    if (outside.contains(name.scheme()))
        QDesktopServices::openUrl(name);
}

QUrl HelpBrowser::topicUrl(const QString& topic)
{
    QUrl url;
    url.setScheme(scheme);
    url.setPath(topic.section(u'#', 0, 0));
    if (topic.contains(u'#'))
        url.setFragment(topic.section(u'#', 1));
    return url;
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name)
{
    if (name.scheme() != scheme || !file_ || file_->state() != HelpFile::State::Open)
        return {};
    const QString path = name.path();
    const auto bytes = file_->read(path);
    if (type == QTextDocument::ImageResource)
        return bytes ? QVariant(QImage::fromData(*bytes)) : QVariant();
    if (!bytes) {
        if (type == QTextDocument::HtmlResource)
            return pageMessage(QStringLiteral("このページはヘルプファイルにありません。"), path);
        return {};
    }
    return decodeHelpText(*bytes);
}

HelpWindow::HelpWindow()
    : contents_(new QTreeWidget), browser_(new HelpBrowser)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("ヘルプ"));
    // Closing the main window ends the program even while help is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    contents_->setObjectName(QStringLiteral("HelpContents"));
    contents_->setHeaderHidden(true);
    contents_->setAccessibleName(QStringLiteral("目次"));
    browser_->setAccessibleName(QStringLiteral("ヘルプページ"));
    browser_->setHelpFile(&file_);

    auto* splitter = new QSplitter;
    splitter->addWidget(contents_);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 580});
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);
    resize(800, 600);

    const auto open = [this](QTreeWidgetItem* item) {
        const QString topic = item->data(0, topicRole).toString();
        if (!topic.isEmpty())
            showTopic(topic);
    };
    connect(contents_, &QTreeWidget::itemClicked, this, open);
    connect(contents_, &QTreeWidget::itemActivated, this, open);
    connect(browser_, &QTextBrowser::sourceChanged, this, &HelpWindow::followSource);
}

void HelpWindow::openFile(const QString& path)
{
    if (file_.state() == HelpFile::State::Open && file_.path() == path)
        return;
    // Emptying the page makes the browser load a page of the new file even
    // when it has the name of the one shown.
    browser_->clear();
    browser_->clearHistory();
    contents_->clear();
    file_.open(path);
    const QString title = file_.title();
    setWindowTitle(title.isEmpty() ? QStringLiteral("ヘルプ") : title);
    if (file_.state() != HelpFile::State::Open)
        return;
    fillContents(nullptr, file_.contents());
    contents_->expandAll();
}

void HelpWindow::fillContents(QTreeWidgetItem* parent, const QList<ContentsEntry>& entries)
{
    for (const auto& entry : entries) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(contents_);
        item->setText(0, entry.name);
        item->setData(0, topicRole, HelpFile::topicPath(entry.local));
        fillContents(item, entry.children);
    }
}

void HelpWindow::showDefaultTopic() { showTopic(file_.defaultTopic()); }

void HelpWindow::showContext(quint32 id) { showTopic(file_.topicForContext(id)); }

void HelpWindow::showTopic(const QString& topic)
{
    if (file_.state() != HelpFile::State::Open) {
        showProblem();
        return;
    }
    if (topic.isEmpty()) {
        browser_->setHtml(pageMessage(QStringLiteral("このヘルプファイルには表示するページがありません。"),
                                      file_.path()));
        return;
    }
    browser_->setSource(HelpBrowser::topicUrl(topic), QTextDocument::HtmlResource);
}

void HelpWindow::showProblem()
{
    const QString path = file_.path().isEmpty() ? QStringLiteral("（ファイル名なし）") : file_.path();
    if (file_.state() == HelpFile::State::Missing)
        browser_->setHtml(pageMessage(QStringLiteral("ヘルプファイルが見つかりません。"), path));
    else
        browser_->setHtml(pageMessage(QStringLiteral("ヘルプファイルを読み込めません。"), path));
}

// Keeps the contents in step with the page shown, also after a link. An
// entry for the very place wins over one for its page.
void HelpWindow::followSource(const QUrl& url)
{
    const QString place = url.fragment().isEmpty() ? url.path() : url.path() + u'#' + url.fragment();
    const auto pageOf = [](const QTreeWidgetItem* item) {
        return item->data(0, topicRole).toString().section(u'#', 0, 0);
    };
    QTreeWidgetItem* samePage = nullptr;
    QTreeWidgetItem* chosen = nullptr;
    for (QTreeWidgetItemIterator it(contents_); *it && !chosen; ++it) {
        if ((*it)->data(0, topicRole).toString().compare(place, Qt::CaseInsensitive) == 0)
            chosen = *it;
        else if (!samePage && pageOf(*it).compare(url.path(), Qt::CaseInsensitive) == 0)
            samePage = *it;
    }
    const QTreeWidgetItem* current = contents_->currentItem();
    if (!chosen && current && pageOf(current).compare(url.path(), Qt::CaseInsensitive) == 0)
        return;
    if (!chosen)
        chosen = samePage;
    if (chosen) {
        const QSignalBlocker block(contents_);
        contents_->setCurrentItem(chosen);
    }
}

} // namespace tegaro
