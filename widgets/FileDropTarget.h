#pragma once
// Takes files dropped from the desktop or a file manager onto a widget (and
// the widgets inside it) and hands over all their paths in order. Drags that
// start inside the program pass by untouched.
#include <QObject>
#include <QStringList>

class QMimeData;
class QWidget;

namespace tegaro {

class FileDropTarget : public QObject {
    Q_OBJECT
public:
    // Watches target and every widget given later with watch().
    explicit FileDropTarget(QWidget* target);
    void watch(QWidget* widget);

    // The local paths a drop carries, in order (tests use it too).
    static QStringList pathsOf(const QMimeData* mime);

signals:
    void dropped(const QStringList& paths);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace tegaro
