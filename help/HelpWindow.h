#pragma once
// The help window: the contents of the help file beside its pages. One
// window serves every help command; it belongs to no other window.
#include "help/HelpFile.h"

#include <QTextBrowser>
#include <QWidget>

class QTreeWidget;
class QTreeWidgetItem;

namespace tegaro {

// Shows pages of the help file; links, style sheets and pictures are read
// from the file too, never from disk or the network.
class HelpBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpBrowser(QWidget* parent = nullptr);
    void setHelpFile(const HelpFile* file) { file_ = file; }
    QVariant loadResource(int type, const QUrl& name) override;

    static QUrl topicUrl(const QString& topic);

protected:
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;

private:
    const HelpFile* file_ = nullptr;
};

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    HelpWindow();

    // Opens the file unless it is the one already shown.
    void openFile(const QString& path);
    void showDefaultTopic();
    void showContext(quint32 id);

    QTreeWidget* contents() const { return contents_; }
    HelpBrowser* browser() const { return browser_; }

private:
    void fillContents(QTreeWidgetItem* parent, const QList<ContentsEntry>& entries);
    void showTopic(const QString& topic);
    void followSource(const QUrl& url);
    void showProblem();

    HelpFile file_;
    QTreeWidget* contents_;
    HelpBrowser* browser_;
};

} // namespace tegaro
