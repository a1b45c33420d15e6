#include "drawing/DrawingRenderer.h"

#include "core/Errors.h"
#include "drawing/PixelCanvas.h"

#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace tegaro {

namespace {

const QRgb kGreen = qRgb(0x00, 0xFF, 0x00);  // 0x00FF00
const QRgb kYellow = qRgb(0xFF, 0xFF, 0x00); // 0x00FFFF
// The grid's fixed ends cover the designed canvas at every zoom; a larger
// canvas takes the grid on to its own edges.
constexpr qint64 kGridRight = 1200;
constexpr qint64 kGridBottom = 800;
constexpr qint64 kHorizontalStop = 800;
constexpr qint64 kVerticalStop = 1020;
constexpr int kMaxCanvas = 8192;

QImage whiteCanvas(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(qRgb(255, 255, 255));
    return img;
}

// The pixels a 1-pixel line from `from` to `to` covers along its axis; the
// end point is not drawn, as with LineTo.
void spanOf(qint64 from, qint64 to, qint64& lo, qint64& hi)
{
    if (from <= to) {
        lo = from;
        hi = to - 1;
    } else {
        lo = to + 1;
        hi = from;
    }
}

// One family of grid lines, main line then half-step line per index, ended
// by the first main line past `stop`. Every line of a family starts at the
// same place and runs to the same fixed end, so only the last colour written
// to each row (or column) matters: we record it and paint each once.
// A step that is not a positive number draws the first pair only.
std::vector<QRgb> gridFamily(double origin, double step, double zoom, qint64 stop, int extent)
{
    std::vector<QRgb> last(size_t(extent), 0);
    auto mark = [&](qint64 at, QRgb color) {
        if (at >= 0 && at < extent)
            last[size_t(at)] = color;
    };
    if (!(std::isfinite(step) && step > 0.0)) {
        mark(toPixel(origin * zoom), kGreen);
        if (std::isfinite(step))
            mark(toPixel((origin + step / 2.0) * zoom), kYellow);
        return last;
    }
    double i = 0.0;
    if (zoom > 0.0) {
        // Lines that all lie above or left of the canvas draw nothing and
        // cannot stop the family: start just before the first visible one.
        const double first = std::floor((-1.0 / zoom - origin - step / 2.0) / step) - 2.0;
        if (first > 0.0)
            i = first;
    }
    for (int count = 0; count < DrawingRenderer::kMaxGridLines; ++count, i += 1.0) {
        const qint64 main = toPixel((origin + i * step) * zoom);
        mark(main, kGreen);
        mark(toPixel((origin + i * step + step / 2.0) * zoom), kYellow);
        if (main > stop)
            break;
    }
    return last;
}

} // namespace

QString DrawingRenderer::InitCanvas(DrawingModel& model, const QString& path)
{
    model.ReleaseFloorLists();
    QImage picture;
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
        QImageReader reader(path, "bmp");
        reader.setDecideFormatFromContent(false);
        picture = reader.read();
        if (picture.isNull())
            throw EInvalidGraphic(QStringLiteral("背景画像を読み込めません（BMP形式の画像ではありません）: %1")
                                      .arg(path));
        backgroundPath_ = path;
    } else {
        backgroundPath_.clear();
    }
    // Kept to cut again when the canvas changes size; no window gives the
    // canvas more than kMaxCanvas, so a huge picture is not kept whole.
    picture_ = picture.isNull() ? QImage()
                                : picture.copy(0, 0, std::min(picture.width(), kMaxCanvas),
                                               std::min(picture.height(), kMaxCanvas))
                                      .convertToFormat(QImage::Format_RGB32);
    cutBackground();
    Redraw(model);
    return QStringLiteral("Tegaro : ") + backgroundPath_;
}

void DrawingRenderer::setCanvasSize(QSize size)
{
    size = size.expandedTo(QSize(1, 1)).boundedTo(QSize(kMaxCanvas, kMaxCanvas));
    if (size == canvasSize_)
        return;
    canvasSize_ = size;
    if (!background_.isNull())
        cutBackground();
}

// Cut to the canvas; what a smaller picture leaves uncovered stays white.
void DrawingRenderer::cutBackground()
{
    background_ = whiteCanvas(canvasSize_.width(), canvasSize_.height());
    if (!picture_.isNull()) {
        const int w = std::min(picture_.width(), canvasSize_.width());
        const int h = std::min(picture_.height(), canvasSize_.height());
        for (int y = 0; y < h; ++y)
            std::memcpy(background_.scanLine(y), picture_.constScanLine(y), size_t(w) * sizeof(QRgb));
    }
    offscreen_ = QImage(background_.size(), QImage::Format_RGB32);
}

void DrawingRenderer::Redraw(const DrawingModel& model)
{
    if (background_.isNull() || offscreen_.size() != background_.size())
        return;
    std::memcpy(offscreen_.bits(), background_.constBits(), size_t(background_.sizeInBytes()));
    DrawGrid(model);

    PixelCanvas canvas(offscreen_);
    const double z = model.Zoom;
    auto drawLines = [&](const TLineList& lines) {
        for (const TLine& l : lines)
            canvas.thickLine(toPixel(l.X1 * z), toPixel(l.Y1 * z), toPixel(l.X2 * z), toPixel(l.Y2 * z),
                             PixelCanvas::fromWinColor(l.Color));
    };
    const TLineList* lines = model.floorLines(model.CurrentFloor);
    const TBoxList* boxes = model.floorBoxes(model.CurrentFloor);
    if (!lines || !boxes)
        return;
    drawLines(*lines);
    if (model.CurrentFloor == 1)
        drawLines(model.ExtraLines);
    for (const TBox& b : *boxes)
        canvas.thickRect(toPixel(b.Rect.Left * z), toPixel(b.Rect.Top * z), toPixel(b.Rect.Right * z),
                         toPixel(b.Rect.Bottom * z), PixelCanvas::fromWinColor(b.Color));
}

void DrawingRenderer::DrawGrid(const DrawingModel& model)
{
    if (offscreen_.isNull())
        return;
    PixelCanvas canvas(offscreen_);
    const double z = model.Zoom;
    const double x0 = model.GridOriginX;
    const double y0 = model.GridOriginY;

    const qint64 w = canvas.width(), h = canvas.height();
    qint64 lo = 0, hi = 0;
    // Horizontal lines: from x0 to the fixed right end, or the canvas's.
    const std::vector<QRgb> rows = gridFamily(y0, model.GridStepY, z, std::max(kHorizontalStop, h), canvas.height());
    spanOf(toPixel(x0 * z), std::max(kGridRight, w), lo, hi);
    for (int y = 0; y < canvas.height(); ++y)
        if (rows[size_t(y)])
            canvas.fill(lo, y, hi, y, rows[size_t(y)]);
    // Vertical lines: from y0 to the fixed bottom end, or the canvas's,
    // drawn over the others.
    const std::vector<QRgb> cols = gridFamily(x0, model.GridStepX, z, std::max(kVerticalStop, w), canvas.width());
    spanOf(toPixel(y0 * z), std::max(kGridBottom, h), lo, hi);
    for (int x = 0; x < canvas.width(); ++x)
        if (cols[size_t(x)])
            canvas.fill(x, lo, x, hi, cols[size_t(x)]);
}

} // namespace tegaro
