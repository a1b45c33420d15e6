#pragma once
// Composes the current floor of the drawing: background picture, grid, the
// floor's segments and boxes, all at one zoom. The window copies
// offscreen() onto its paint box after every Redraw. The canvas has the
// designed size unless the window gives the paint box more room.
#include "drawing/DrawingModel.h"

#include <QImage>
#include <QString>

namespace tegaro {

class DrawingRenderer {
public:
    static constexpr int kCanvasWidth = 590;
    static constexpr int kCanvasHeight = 410;
    // A grid family ends after this many lines even if it has not passed its
    // limit yet (only a drawing with an absurdly small step gets there).
    static constexpr int kMaxGridLines = 100'000;

    // Releases the current floor's lists, sets up the background (white, or
    // the BMP picture at path when path names an existing file, cut to the
    // canvas size) and redraws. Returns the window caption "Tegaro : " + path.
    // A file that is not a BMP picture throws EInvalidGraphic; the bitmaps
    // then stay without a size and Redraw leaves the canvas empty.
    QString InitCanvas(DrawingModel& model, const QString& path);

    // The size of the paint box the picture is composed for. Changing it
    // cuts (or extends with white) the background picture again from its
    // top-left corner; the next Redraw composes at the new size. Before
    // InitCanvas, or after it failed, the bitmaps stay without a size.
    void setCanvasSize(QSize size);
    QSize canvasSize() const { return canvasSize_; }

    void Redraw(const DrawingModel& model);
    void DrawGrid(const DrawingModel& model);

    const QImage& offscreen() const { return offscreen_; }
    const QImage& background() const { return background_; }
    const QString& backgroundPath() const { return backgroundPath_; }

private:
    void cutBackground();

    QSize canvasSize_{kCanvasWidth, kCanvasHeight};
    QImage picture_; // the start-up picture as read, null for white
    QImage background_;
    QImage offscreen_;
    QString backgroundPath_;
};

} // namespace tegaro
