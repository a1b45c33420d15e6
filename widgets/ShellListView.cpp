#include "widgets/ShellListView.h"

#include <QDir>
#include <QDrag>
#include <QFileSystemModel>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace tegaro {

ShellListView::ShellListView(QWidget* parent) : QListView(parent), model_(new QFileSystemModel(this))
{
    model_->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::AllDirs);
    model_->setReadOnly(false); // names can be edited in place
    model_->setRootPath(QString());
    setModel(model_);
    model_->sort(0, Qt::AscendingOrder);
    setViewMode(QListView::ListMode);
    setIconSize({16, 16});
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setRootIndex(model_->index(QString()));
    connect(this, &QListView::doubleClicked, this, [this](const QModelIndex& index) {
        if (model_->isDir(index))
            setRootIndex(index);
    });
}

QString ShellListView::currentFolder() const
{
    return model_->filePath(rootIndex());
}

void ShellListView::showFolder(const QString& path)
{
    const QModelIndex index = model_->index(path);
    if (index.isValid() && model_->isDir(index))
        setRootIndex(index);
}

void ShellListView::goUp()
{
    const QModelIndex root = rootIndex();
    if (root.isValid())
        setRootIndex(root.parent());
}

QString ShellListView::selectedPath() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return {};
    return QDir::toNativeSeparators(model_->filePath(selected.first()));
}

bool ShellListView::selectPath(const QString& path)
{
    const QModelIndex index = model_->index(path);
    if (!index.isValid())
        return false;
    setCurrentIndex(index);
    return true;
}

void ShellListView::mouseReleaseEvent(QMouseEvent* event)
{
    QListView::mouseReleaseEvent(event);
    emit mouseUp(event->button());
}

void ShellListView::startDrag(Qt::DropActions supportedActions)
{
    const QString path = selectedPath();
    if (path.isEmpty())
        return;
    // The drop targets of the window ask the list itself for the item; the
    // URL is there for other programs.
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(path)});
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->exec(supportedActions & (Qt::CopyAction | Qt::LinkAction), Qt::CopyAction);
}

} // namespace tegaro
