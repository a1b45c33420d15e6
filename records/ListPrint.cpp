#include "records/ListPrint.h"

#include "core/Errors.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>

#include <cmath>

namespace tegaro {

namespace {
// In points.
constexpr double kTitleHeight = 20;
constexpr double kHeadingHeight = 14;
constexpr double kLineHeight = 12;
constexpr double kFootHeight = 16;
constexpr double kPad = 2;
constexpr int kTextSize = 8;
constexpr int kTitleSize = 11;

// Room for each column, in characters of the text size.
double columnWeight(int column)
{
    static const double weights[] = {8.5, 10, 15, 6, 8, 11, 5, 7, 4, 8, 8, 6, 8, 13, 3.5, 3.5};
    return column >= 0 && column < int(std::size(weights)) ? weights[column] : 6;
}

QFont listFont(int size, bool bold = false)
{
    QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setPixelSize(size); // one pixel is one point: the painter is scaled to points
    f.setBold(bold);
    return f;
}

QRectF paperArea(const QPageLayout& paper)
{
    return paper.paintRect(QPageLayout::Point);
}
} // namespace

ListPrintLayout::ListPrintLayout(const ListRows& rows, QString title, QString totals, QDate printed)
    : rows_(rows), columns_(rows.columns()), title_(std::move(title)), totals_(std::move(totals)), printed_(printed)
{
}

QPageLayout ListPrintLayout::defaultPaper()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
}

int ListPrintLayout::linesPerPage(const QPageLayout& paper)
{
    const double room = paperArea(paper).height() - kTitleHeight - kHeadingHeight - kFootHeight;
    return std::max(1, int(std::floor(room / kLineHeight)));
}

int ListPrintLayout::pageCount(const QPageLayout& paper) const
{
    // the totals line is one more line after the houses
    const int lines = rows_.count() + 1;
    const int per = linesPerPage(paper);
    return (lines + per - 1) / per;
}

int ListPrintLayout::firstRow(int page, const QPageLayout& paper) const
{
    return firstRow(page, pageCount(paper), linesPerPage(paper));
}

int ListPrintLayout::firstRow(int page, int pages, int perPage) const
{
    const int n = rows_.count();
    const int start = std::min(page * perPage, n);
    if (page < pages - 1 || start < n || n == 0 || perPage < 2)
        return start;
    return n - 1; // the last house keeps the totals company
}

void ListPrintLayout::print(QPagedPaintDevice& device, int first, int last) const
{
    const QPageLayout paper = device.pageLayout();
    const int pages = pageCount(paper);
    const int per = linesPerPage(paper);
    first = std::max(first, 0);
    last = std::min(last, pages - 1);
    QPainter p;
    for (int page = first; page <= last; ++page) {
        if (page == first ? !p.begin(&device) : !device.newPage())
            throw EInOutError(QStringLiteral("印刷を開始できません。"));
        // Points from the corner of the printable area.
        const QRect pixels = paper.paintRectPixels(device.logicalDpiX());
        p.resetTransform();
        p.translate(pixels.topLeft());
        p.scale(device.logicalDpiX() / 72.0, device.logicalDpiY() / 72.0);
        const QRectF area(QPointF(0, 0), paperArea(paper).size());
        paintPage(p, area, page, pages, per);
    }
    if (p.isActive())
        p.end();
}

void ListPrintLayout::paintPage(QPainter& p, const QRectF& area, int page, int pages, int perPage) const
{
    const QList<ListColumn>& columns = houseListColumns();
    double total = 0;
    for (int c : columns_)
        total += columnWeight(c);
    QList<double> lefts, widths;
    double x = area.left();
    for (int c : columns_) {
        const double w = area.width() * columnWeight(c) / total;
        lefts << x;
        widths << w;
        x += w;
    }

    // Title: what made the list, and the day it was printed.
    p.setPen(Qt::black);
    p.setFont(listFont(kTitleSize, true));
    const QRectF titleBox(area.left(), area.top(), area.width(), kTitleHeight);
    p.drawText(titleBox, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("家屋一覧　") + title_);
    p.setFont(listFont(kTextSize));
    p.drawText(titleBox, Qt::AlignRight | Qt::AlignVCenter, printed_.toString(QStringLiteral("yyyy/MM/dd")));

    // Heading row, repeated on every page.
    double y = area.top() + kTitleHeight;
    p.fillRect(QRectF(area.left(), y, area.width(), kHeadingHeight), QColor(0xE4, 0xE4, 0xE4));
    p.setFont(listFont(kTextSize, true));
    for (int i = 0; i < columns_.size(); ++i) {
        const int c = columns_[i];
        const Qt::Alignment align = columns[c].kind == ListKind::Number ? Qt::AlignRight : Qt::AlignLeft;
        p.drawText(QRectF(lefts[i] + kPad, y, widths[i] - 2 * kPad, kHeadingHeight), align | Qt::AlignVCenter, columns[c].header);
    }
    y += kHeadingHeight;
    p.setPen(QPen(Qt::black, 0.5));
    p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));

    // The houses of this page, then the totals on the last.
    p.setFont(listFont(kTextSize));
    const QFontMetricsF metrics(p.font());
    const int n = rows_.count();
    const int firstLine = firstRow(page, pages, perPage);
    const int endLine = page == pages - 1 ? n + 1 : firstRow(page + 1, pages, perPage);
    for (int line = firstLine; line < endLine; ++line) {
        const QRectF box(area.left(), y, area.width(), kLineHeight);
        if (line == n) {
            p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
            p.drawText(box.adjusted(kPad, 0, -kPad, 0), Qt::AlignLeft | Qt::AlignVCenter, totals_);
        } else {
            for (int i = 0; i < columns_.size(); ++i) {
                const int c = columns_[i];
                QString text = cellText(rows_.cell(line, c));
                text.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\n', u' ');
                const double room = widths[i] - 2 * kPad;
                const Qt::Alignment align = columns[c].kind == ListKind::Number ? Qt::AlignRight
                    : columns[c].kind == ListKind::Mark                         ? Qt::AlignHCenter
                                                                                : Qt::AlignLeft;
                p.drawText(QRectF(lefts[i] + kPad, y, room, kLineHeight), align | Qt::AlignVCenter,
                           metrics.elidedText(text, Qt::ElideRight, room));
            }
            p.setPen(QPen(QColor(0xC8, 0xC8, 0xC8), 0.3));
            p.drawLine(QPointF(area.left(), y + kLineHeight), QPointF(area.right(), y + kLineHeight));
            p.setPen(QPen(Qt::black, 0.5));
        }
        y += kLineHeight;
    }

    // Foot: page N of M.
    const QRectF foot(area.left(), area.bottom() - kFootHeight, area.width(), kFootHeight);
    p.drawText(foot, Qt::AlignHCenter | Qt::AlignBottom, QStringLiteral("%1 / %2").arg(page + 1).arg(pages));
}

} // namespace tegaro
