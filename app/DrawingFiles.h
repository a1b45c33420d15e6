#pragma once
// Bringing drawing files onto the drawing page: the open button, desktop
// drops on the floor tabs and drags from the file lists onto the canvas.
#include "app/DropHelpers.h"
#include "core/UserSeam.h"

#include <QStringList>

namespace tegaro {
struct DrawingModel;
class DrawingView;
} // namespace tegaro

class DrawingFiles {
public:
    DrawingFiles(tegaro::DrawingModel& model, tegaro::DrawingView& view,
                 tegaro::FileDialogState& openDialog, const DragSources& sources);

    void ZmReadClick();
    void FileDrop4Drop(const QStringList& paths);
    bool PaintBox1DragOver(const QObject* source) const;
    void PaintBox1DragDrop(const QObject* source);

private:
    void showDropped(const QString& path, bool keepBytes);
    void showRead(const QString& path);

    tegaro::DrawingModel& model_;
    tegaro::DrawingView& view_;
    tegaro::FileDialogState& OpenDialog1;
    const DragSources& sources_;
};
