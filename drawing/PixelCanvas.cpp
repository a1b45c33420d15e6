#include "drawing/PixelCanvas.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tegaro {

namespace {

constexpr qint64 kPixelLimit = qint64(1) << 52;

// Floor division for a positive divisor.
qint64 floorDiv(__int128 n, qint64 d, qint64& rest)
{
    __int128 q = n / d;
    __int128 r = n % d;
    if (r < 0) {
        r += d;
        --q;
    }
    rest = qint64(r);
    return qint64(q);
}

} // namespace

qint64 toPixel(double v)
{
    if (std::isnan(v))
        return 0;
    const double t = std::trunc(v);
    if (t >= double(kPixelLimit))
        return kPixelLimit;
    if (t <= -double(kPixelLimit))
        return -kPixelLimit;
    return qint64(t);
}

PixelCanvas::PixelCanvas(QImage& image)
    : bits_(reinterpret_cast<QRgb*>(image.bits())),
      stride_(image.bytesPerLine() / qsizetype(sizeof(QRgb))),
      w_(image.width()),
      h_(image.height())
{
}

QRgb PixelCanvas::fromWinColor(qint32 color)
{
    const quint32 c = quint32(color);
    return qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

void PixelCanvas::fill(qint64 x1, qint64 y1, qint64 x2, qint64 y2, QRgb color)
{
    x1 = std::max<qint64>(x1, 0);
    y1 = std::max<qint64>(y1, 0);
    x2 = std::min<qint64>(x2, w_ - 1);
    y2 = std::min<qint64>(y2, h_ - 1);
    if (x1 > x2 || y1 > y2)
        return;
    for (qint64 y = y1; y <= y2; ++y) {
        QRgb* row = bits_ + y * stride_;
        std::fill(row + x1, row + x2 + 1, color);
    }
}

void PixelCanvas::plot2x2(qint64 x, qint64 y, QRgb color)
{
    for (qint64 yy = y - 1; yy <= y; ++yy) {
        if (yy < 0 || yy >= h_)
            continue;
        QRgb* row = bits_ + yy * stride_;
        if (x - 1 >= 0 && x - 1 < w_)
            row[x - 1] = color;
        if (x >= 0 && x < w_)
            row[x] = color;
    }
}

void PixelCanvas::thickLine(qint64 x1, qint64 y1, qint64 x2, qint64 y2, QRgb color)
{
    if (y1 == y2) {
        fill(std::min(x1, x2) - 1, y1 - 1, std::max(x1, x2), y1, color);
        return;
    }
    if (x1 == x2) {
        fill(x1 - 1, std::min(y1, y2) - 1, x1, std::max(y1, y2), color);
        return;
    }
    const qint64 dx = x2 > x1 ? x2 - x1 : x1 - x2;
    const qint64 dy = y2 > y1 ? y2 - y1 : y1 - y2;
    if (dx >= dy)
        majorLine(x1, y1, x2, y2, w_, h_, true, color);
    else
        majorLine(y1, x1, y2, x2, h_, w_, false, color);
}

// Walks the longer axis a; b follows as floor((2*db*(a - a1) + da) / (2*da)).
// Only the steps whose 2x2 block can touch the image are visited, so a line
// costs at most a few hundred steps however long it is.
void PixelCanvas::majorLine(qint64 a1, qint64 b1, qint64 a2, qint64 b2, qint64 aLimit,
                            qint64 bLimit, bool xMajor, QRgb color)
{
    if (a1 > a2) {
        std::swap(a1, a2);
        std::swap(b1, b2);
    }
    const qint64 da = a2 - a1; // > 0
    const qint64 db = b2 - b1;
    // A block at a covers a - 1 and a: visible for a in [0, aLimit].
    qint64 from = std::max<qint64>(a1, 0);
    qint64 to = std::min<qint64>(a2, aLimit);
    // Narrow further to where b can be visible, with a safe margin.
    if (db != 0) {
        const double slope = double(db) / double(da);
        const double aAtLow = double(a1) + (-2.0 - double(b1)) / slope;
        const double aAtHigh = double(a1) + (double(bLimit) + 2.0 - double(b1)) / slope;
        const double lo = std::min(aAtLow, aAtHigh) - 2.0;
        const double hi = std::max(aAtLow, aAtHigh) + 2.0;
        if (lo > double(from))
            from = std::min<qint64>(to + 1, qint64(std::min(lo, double(kPixelLimit))));
        if (hi < double(to))
            to = std::max<qint64>(from - 1, qint64(std::max(hi, -double(kPixelLimit))));
    }
    if (from > to)
        return;
    const qint64 d = 2 * da;
    qint64 r = 0;
    qint64 q = floorDiv(__int128(2) * db * (from - a1) + da, d, r);
    for (qint64 a = from; a <= to; ++a) {
        const qint64 b = b1 + q;
        if (xMajor)
            plot2x2(a, b, color);
        else
            plot2x2(b, a, color);
        r += 2 * db;
        if (r >= d) {
            r -= d;
            ++q;
        } else if (r < 0) {
            r += d;
            --q;
        }
    }
}

void PixelCanvas::thickRect(qint64 left, qint64 top, qint64 right, qint64 bottom, QRgb color)
{
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    const qint64 pathRight = std::max(left, right - 1);
    const qint64 pathBottom = std::max(top, bottom - 1);
    fill(left - 1, top - 1, pathRight, pathBottom, color);
    if (left + 1 <= pathRight - 2 && top + 1 <= pathBottom - 2)
        fill(left + 1, top + 1, pathRight - 2, pathBottom - 2, qRgb(255, 255, 255));
}

} // namespace tegaro
