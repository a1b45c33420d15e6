#include "sheets/render/SheetImage.h"

#include "sheets/model/SheetErrors.h"
#include "sheets/render/Headings.h"
#include "sheets/render/SheetPainter.h"

namespace tegaro::sheets {

namespace {

constexpr int kMaxSide = 32767; // what QImage and memory allow for one picture

} // namespace

QImage renderSheet(const Workbook& book, const RenderRequest& request)
{
    if (request.sheet < 0 || request.sheet >= book.sheets.size())
        throw ESheetError(QStringLiteral("シート %1 はありません。").arg(request.sheet + 1));
    const Sheet& sheet = book.sheets[request.sheet];
    const Range cells = request.cells.value_or(usedRange(sheet));
    const int zoom = std::clamp(request.zoom > 0 ? request.zoom : int(sheet.view.zoom), 10, 400);
    const double scale = zoom / 100.0;
    constexpr int dpi = 96;

    const SheetGeometry geo(book, request.sheet, scale);
    const MergeIndex merges(sheet.merged);
    SheetStyles styles(book, scale, dpi);
    const SheetPainter painter(book, request.sheet, geo, merges, styles);
    const Headings headings(book, geo, dpi);
    const int barH = request.headings ? headings.columnBarHeight() : 0;
    const int barW = request.headings ? headings.rowBarWidth(cells.lastRow) : 0;
    const QRect area = painter.blockRect(cells, QPoint(barW, barH));
    const int width = area.right() + 1, height = area.bottom() + 1;
    if (width > kMaxSide || height > kMaxSide || qint64(width) * height > 400'000'000)
        throw ESheetError(QStringLiteral("画像が大きすぎます (%1 x %2)。").arg(width).arg(height));

    QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    image.setDotsPerMeterX(int(dpi / 0.0254 + 0.5));
    image.setDotsPerMeterY(int(dpi / 0.0254 + 0.5));
    image.fill(Qt::white);
    QPainter p(&image);
    PaintOptions options;
    options.gridlines = sheet.view.gridlines();
    options.gridColor = gridColorOf(book, sheet);
    painter.paint(p, cells, QPoint(barW, barH), options);
    if (request.headings) {
        headings.paintCorner(p, QRect(0, 0, barW, barH));
        headings.paintColumns(p, cells.firstCol, cells.lastCol, QPoint(barW, 0), barH);
        headings.paintRows(p, cells.firstRow, cells.lastRow, QPoint(0, barH), barW);
    }
    return image;
}

} // namespace tegaro::sheets
