#pragma once
// Bringing drawing files onto the drawing page: the open button, desktop
// drops on the floor tabs and drags from the file lists onto the canvas.
#include <QStringList>

class QObject;

namespace tegaro {

class DrawingPage;
struct DragSources;
struct FileDialogState;

class DrawingFiles {
public:
    DrawingFiles(DrawingPage& page, FileDialogState& openDialog, const DragSources& sources);

    void ZmReadClick();
    void FileDrop4Drop(const QStringList& paths);
    bool PaintBox1DragOver(const QObject* source) const;
    void PaintBox1DragDrop(const QObject* source);

private:
    void showDropped(const QString& path, bool keepBytes);
    void readFile(const QString& path);
    void showRead(const QString& path);

    DrawingPage& page_;
    FileDialogState& OpenDialog1;
    const DragSources& sources_;
};

} // namespace tegaro
