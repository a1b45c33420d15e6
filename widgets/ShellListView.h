#pragma once
// A file list starting at the computer's root: folders and files, sorted,
// small icons, names editable in place. Pressing on an item and moving
// starts a drag; double click opens a folder; every mouse release is
// reported with its button (the owner decides what the right button does).
#include <QListView>

class QFileSystemModel;

namespace tegaro {

class ShellListView : public QListView {
    Q_OBJECT
public:
    explicit ShellListView(QWidget* parent = nullptr);

    // The folder shown; empty for the computer's root.
    QString currentFolder() const;
    void showFolder(const QString& path);
    // One level up; at the root nothing changes.
    void goUp();
    // Full path of the selected item, empty when none is selected.
    QString selectedPath() const;
    // Selects the entry with that path if it is shown (tests, keyboard users).
    bool selectPath(const QString& path);

signals:
    void mouseUp(Qt::MouseButton button);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    QFileSystemModel* model_;
};

} // namespace tegaro
