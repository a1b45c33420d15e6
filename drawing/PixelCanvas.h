#pragma once
// Direct pixel drawing on a 32-bit image with the pixel rules of the old GDI
// canvas: no antialiasing, and an even-width pen that covers the path pixel
// and the one above / to the left of it.
#include <QImage>

namespace tegaro {

class PixelCanvas {
public:
    explicit PixelCanvas(QImage& image); // Format_RGB32
    int width() const { return w_; }
    int height() const { return h_; }

    // Windows colour value 0x00BBGGRR as a pixel; the top byte is ignored.
    static QRgb fromWinColor(qint32 color);

    // Fills the inclusive rectangle, clipped to the image.
    void fill(qint64 x1, qint64 y1, qint64 x2, qint64 y2, QRgb color);
    // A 2-pixel pen line: a 2x2 block with its bottom-right pixel on every
    // point of the path, both ends included. The path picks, for each step
    // along the longer axis, the pixel nearest the exact line (halves go to
    // the larger coordinate), so it does not depend on the direction.
    void thickLine(qint64 x1, qint64 y1, qint64 x2, qint64 y2, QRgb color);
    // A rectangle with a 2-pixel border and a white interior. As with GDI the
    // right and bottom edges are excluded: the border path runs from
    // (left, top) to (right - 1, bottom - 1).
    void thickRect(qint64 left, qint64 top, qint64 right, qint64 bottom, QRgb color);

private:
    void plot2x2(qint64 x, qint64 y, QRgb color);
    void majorLine(qint64 a1, qint64 b1, qint64 a2, qint64 b2, qint64 aLimit, qint64 bLimit,
                   bool xMajor, QRgb color);

    QRgb* bits_;
    qsizetype stride_; // in pixels
    int w_;
    int h_;
};

// Pixel coordinate of a drawing coordinate: trunc(v * zoom) toward zero,
// held in a range where line arithmetic cannot overflow.
qint64 toPixel(double v);

} // namespace tegaro
