#include "widgets/FileDropTarget.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace tegaro {

FileDropTarget::FileDropTarget(QWidget* target) : QObject(target)
{
    watch(target);
}

void FileDropTarget::watch(QWidget* widget)
{
    widget->setAcceptDrops(true);
    widget->installEventFilter(this);
}

QStringList FileDropTarget::pathsOf(const QMimeData* mime)
{
    QStringList paths;
    if (!mime)
        return paths;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile())
            paths << QDir::toNativeSeparators(url.toLocalFile());
    return paths;
}

bool FileDropTarget::eventFilter(QObject*, QEvent* event)
{
    const auto type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    auto* drop = static_cast<QDropEvent*>(event);
    // A drag from inside the program is the widget's own business.
    if (drop->source() != nullptr || pathsOf(drop->mimeData()).isEmpty())
        return false;
    drop->acceptProposedAction();
    if (type == QEvent::Drop)
        emit dropped(pathsOf(drop->mimeData()));
    return true;
}

} // namespace tegaro
