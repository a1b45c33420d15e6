#include "sheets/render/PrintLayout.h"

#include "core/Errors.h"
#include "sheets/formula/Formulas.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/render/FontFamilies.h"
#include "sheets/render/HeaderFooter.h"
#include "sheets/render/Headings.h"
#include "sheets/render/SheetPainter.h"

#include <QFileInfo>
#include <QPdfWriter>
#include <QSaveFile>

#include <cmath>
#include <map>
#include <set>

namespace tegaro::sheets {

namespace {

constexpr double kPointsPerPixel = 0.75; // a pixel at 100% is 1/96 inch

// The paper in points, unrounded (A4 is 595.28 wide, not 595).
QSizeF paperPoints(const QPageLayout& paper)
{
    // from the size's own definition: Qt rounds its sizes in points
    const QPageSize& ps = paper.pageSize();
    const QSizeF defined = ps.definitionSize();
    const double perUnit = ps.definitionUnits() == QPageSize::Millimeter ? 72 / 25.4
        : ps.definitionUnits() == QPageSize::Inch                        ? 72.0
                                                                         : 1.0;
    const QSizeF size = ps.definitionUnits() == QPageSize::Millimeter || ps.definitionUnits() == QPageSize::Inch
        ? defined * perUnit
        : ps.size(QPageSize::Point);
    return paper.orientation() == QPageLayout::Landscape ? size.transposed() : size;
}

QMarginsF marginsOf(const PageSetup& ps)
{
    // what the spreadsheet program takes when a file says nothing
    return QMarginsF(ps.leftMargin.value_or(0.75) * 72, ps.topMargin.value_or(1.0) * 72,
                     ps.rightMargin.value_or(0.75) * 72, ps.bottomMargin.value_or(1.0) * 72);
}

// The rows (or columns) first..last cut into pages of at most `room`
// points each; repeated titles take their room on the pages after them.
QList<std::pair<int, int>> cut(int first, int last, const std::function<double(int)>& size, double room,
                               std::optional<std::pair<int, int>> titles, double titleSize, const std::set<int>& manual)
{
    QList<std::pair<int, int>> out;
    for (int start = first; start <= last;) {
        const bool repeated = titles && start > titles->second;
        const double avail = room - (repeated ? titleSize : 0);
        double used = 0;
        int end = start;
        for (int i = start; i <= last; ++i) {
            if (i > start && manual.count(i))
                break;
            const double s = size(i);
            if (i > start && used + s > avail + 1e-6)
                break;
            used += s;
            end = i;
        }
        out.append({start, end});
        start = end + 1;
    }
    return out;
}

std::optional<std::pair<int, int>> titlesOf(const Workbook& book, int sheet, bool rows)
{
    for (const DefinedName& n : book.names) {
        if (!n.builtIn() || n.name != QStringLiteral("\x07"))
            continue;
        int tab = -1;
        const QList<Range> areas = nameAreas(n.tokens, n.biff, &tab);
        if (n.sheet - 1 != sheet && !(n.sheet == 0 && tab == sheet))
            continue;
        for (const Range& a : areas) {
            if (rows && a.firstCol == 0 && a.lastCol >= kMaxColumns - 1)
                return std::pair(a.firstRow, a.lastRow);
            if (!rows && a.firstRow == 0 && a.lastRow >= kMaxRows - 1)
                return std::pair(a.firstCol, a.lastCol);
        }
    }
    return std::nullopt;
}

// Turns and shrinks the painter so that a page of size `page` lies on the
// paper there is.
void fitOnPaper(QPainter& p, QSizeF paper, QSizeF page)
{
    if ((paper.width() > paper.height()) != (page.width() > page.height())) {
        p.translate(paper.width(), 0);
        p.rotate(90);
        paper.transpose();
    }
    const double shrink = std::min({paper.width() / page.width(), paper.height() / page.height(), 1.0});
    p.scale(shrink, shrink);
}

} // namespace

QPageSize paperSize(int excelPaper)
{
    static const std::map<int, QPageSize::PageSizeId> sizes = {
        {1, QPageSize::Letter},
        {2, QPageSize::Letter},
        {3, QPageSize::Tabloid},
        {4, QPageSize::Ledger},
        {5, QPageSize::Legal},
        {6, QPageSize::Statement},
        {7, QPageSize::Executive},
        {8, QPageSize::A3},
        {9, QPageSize::A4},
        {10, QPageSize::A4},
        {11, QPageSize::A5},
        {12, QPageSize::JisB4},
        {13, QPageSize::JisB5},
        {14, QPageSize::Folio},
        {15, QPageSize::Quarto},
        {16, QPageSize::Imperial10x14},
        {17, QPageSize::Tabloid},
        {18, QPageSize::Note},
        {19, QPageSize::Envelope9},
        {20, QPageSize::Envelope10},
        {21, QPageSize::Envelope11},
        {22, QPageSize::Envelope12},
        {23, QPageSize::Envelope14},
        {24, QPageSize::AnsiC},
        {25, QPageSize::AnsiD},
        {26, QPageSize::AnsiE},
        {27, QPageSize::EnvelopeDL},
        {28, QPageSize::EnvelopeC5},
        {29, QPageSize::EnvelopeC3},
        {30, QPageSize::EnvelopeC4},
        {31, QPageSize::EnvelopeC6},
        {32, QPageSize::EnvelopeC65},
        {33, QPageSize::EnvelopeB4},
        {34, QPageSize::EnvelopeB5},
        {35, QPageSize::EnvelopeB6},
        {36, QPageSize::EnvelopeItalian},
        {37, QPageSize::EnvelopeMonarch},
        {38, QPageSize::EnvelopePersonal},
        {39, QPageSize::FanFoldUS},
        {40, QPageSize::FanFoldGerman},
        {41, QPageSize::FanFoldGermanLegal},
        {42, QPageSize::B4},
        {43, QPageSize::Postcard},
        {66, QPageSize::A2},
        {69, QPageSize::DoublePostcard},
        {70, QPageSize::A6},
        {88, QPageSize::JisB6},
    };
    const auto it = sizes.find(excelPaper);
    return QPageSize(it == sizes.end() ? QPageSize::A4 : it->second);
}

PrintLayout::PrintLayout(const Workbook& book, const QList<int>& sheets, const QString& filePath)
    : book_(book), filePath_(filePath)
{
    int number = 1;
    for (int i = 0; i < book.sheets.size(); ++i)
        if (sheets.isEmpty() ? book.sheets[i].visibility == 0 : sheets.contains(i))
            layOut(i, number);
}

void PrintLayout::layOut(int index, int& number)
{
    const Sheet& s = book_.sheets[index];
    const PageSetup& ps = s.page;
    const bool printerData = ps.printerData();
    const QPageLayout paper(paperSize(printerData ? ps.paperSize : 9),
                            ps.landscape() ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF());
    const QSizeF page = paperPoints(paper);
    const QMarginsF m = marginsOf(ps);
    const double roomW = std::max(page.width() - m.left() - m.right(), 36.0);
    const double roomH = std::max(page.height() - m.top() - m.bottom(), 36.0);

    QList<Range> areas = ps.printArea;
    if (areas.isEmpty() && (s.cellCount() > 0 || !s.merged.isEmpty()))
        areas << usedRange(s);
    const auto titleRows = titlesOf(book_, index, true);
    const auto titleCols = titlesOf(book_, index, false);

    const SheetGeometry g(book_, index, 1.0);
    const Headings headings(book_, g, 96);
    auto colPt = [&](int c) { return g.columnWidth(c) * kPointsPerPixel; };
    auto rowPt = [&](int r) { return g.rowHeight(r) * kPointsPerPixel; };
    auto sum = [](int first, int last, auto size) {
        double total = 0;
        for (int i = first; i <= last; ++i)
            total += size(i);
        return total;
    };
    const double titleH = titleRows ? sum(titleRows->first, titleRows->second, rowPt) : 0;
    const double titleW = titleCols ? sum(titleCols->first, titleCols->second, colPt) : 0;
    const bool firstNumbered = printerData && ps.usesPageStart();
    bool firstOfSheet = true;

    for (const Range& area : areas) {
        const double barW = ps.printHeadings ? headings.rowBarWidth(area.lastRow) * kPointsPerPixel : 0;
        const double barH = ps.printHeadings ? headings.columnBarHeight() * kPointsPerPixel : 0;
        const std::set<int> rowBreaks(ps.rowBreaks.begin(), ps.rowBreaks.end());
        const std::set<int> colBreaks(ps.columnBreaks.begin(), ps.columnBreaks.end());
        auto paginate = [&](double scale, bool manual) {
            return std::pair(cut(area.firstRow, area.lastRow, rowPt, roomH / scale - barH, titleRows, titleH,
                                 manual ? rowBreaks : std::set<int>{}),
                             cut(area.firstCol, area.lastCol, colPt, roomW / scale - barW, titleCols, titleW,
                                 manual ? colBreaks : std::set<int>{}));
        };
        double scale = printerData ? std::clamp(int(ps.scale), 10, 400) / 100.0 : 1.0;
        if (ps.fitToPage) {
            // the largest whole percentage (never above 100) that fits the
            // pages asked for; manual breaks do not count then
            scale = 1.0;
            const double wide = sum(area.firstCol, area.lastCol, colPt) + barW;
            const double tall = sum(area.firstRow, area.lastRow, rowPt) + barH;
            if (ps.fitWidth > 0 && wide > 0)
                scale = std::min(scale, ps.fitWidth * roomW / wide);
            if (ps.fitHeight > 0 && tall > 0)
                scale = std::min(scale, ps.fitHeight * roomH / tall);
            scale = std::max(std::floor(scale * 100 + 1e-9) / 100, 0.10);
            for (; scale > 0.10; scale -= 0.01) {
                const auto [down, across] = paginate(scale, false);
                if ((ps.fitWidth == 0 || across.size() <= ps.fitWidth) && (ps.fitHeight == 0 || down.size() <= ps.fitHeight))
                    break;
            }
            scale = std::max(scale, 0.10);
        }
        const auto [down, across] = paginate(scale, !ps.fitToPage);

        auto addPage = [&](const std::pair<int, int>& rows, const std::pair<int, int>& cols) {
            PrintedPage pg;
            pg.sheet = index;
            pg.cells = {rows.first, rows.second, cols.first, cols.second};
            if (titleRows && rows.first > titleRows->second)
                pg.titleRows = titleRows;
            if (titleCols && cols.first > titleCols->second)
                pg.titleCols = titleCols;
            if (firstOfSheet && firstNumbered)
                number = ps.pageStart;
            firstOfSheet = false;
            pg.number = number++;
            pg.paper = paper;
            pg.scale = scale;
            const double w = (barW + (pg.titleCols ? titleW : 0) + sum(cols.first, cols.second, colPt)) * scale;
            const double h = (barH + (pg.titleRows ? titleH : 0) + sum(rows.first, rows.second, rowPt)) * scale;
            pg.origin = QPointF(m.left() + (ps.hCenter ? std::max((roomW - w) / 2, 0.0) : 0),
                                m.top() + (ps.vCenter ? std::max((roomH - h) / 2, 0.0) : 0));
            pages_ << pg;
        };
        // down, then over; or over, then down when the sheet asks
        const bool overFirst = printerData && ps.overThenDown();
        if (overFirst) {
            for (const auto& rows : down)
                for (const auto& cols : across)
                    addPage(rows, cols);
        } else {
            for (const auto& cols : across)
                for (const auto& rows : down)
                    addPage(rows, cols);
        }
    }
}

namespace {

// What painting one sheet at one scale needs, made once a print.
struct SheetPictures {
    std::unique_ptr<SheetGeometry> geo;
    std::unique_ptr<MergeIndex> merges;
    std::unique_ptr<SheetStyles> styles;
    std::unique_ptr<SheetPainter> painter;
    std::unique_ptr<Headings> headings;
};

} // namespace

void PrintLayout::print(QPagedPaintDevice& device, int first, int last, const QDateTime& now) const
{
    if (pages_.isEmpty())
        throw ESheetError(QStringLiteral("印刷する内容がありません。"));
    first = std::clamp(first, 0, pageCount() - 1);
    last = std::clamp(last, first, pageCount() - 1);
    const QString failed = QStringLiteral("印刷できません。プリンターまたは出力先を確かめてください。");
    std::map<std::pair<int, int>, SheetPictures> made;
    QPainter p;
    for (int i = first; i <= last; ++i) {
        const PrintedPage& pg = pages_[i];
        // Printers take one paper a job: a page of another paper or
        // orientation is then turned and shrunk onto the paper there is.
        const QPageLayout current = device.pageLayout();
        const bool samePaper = current.pageSize().isEquivalentTo(pg.paper.pageSize())
            && current.orientation() == pg.paper.orientation();
        const bool onItsPaper = samePaper || device.setPageLayout(pg.paper);
        if (i == first ? !p.begin(&device) : !device.newPage())
            throw ESheetError(failed);
        const int dpi = device.logicalDpiX();
        const double k = dpi / 72.0;
        p.save();
        // the painter starts inside the device's own margins (ten points on
        // a fresh PDF writer, the unprintable edge on a printer); page setup
        // margins count from the edge of the paper
        p.translate(-device.pageLayout().paintRectPixels(dpi).topLeft());
        if (!onItsPaper)
            fitOnPaper(p, paperPoints(device.pageLayout()) * k, paperPoints(pg.paper) * k);
        const Sheet& sheet = book_.sheets[pg.sheet];
        const PageSetup& ps = sheet.page;
        SheetPictures& pic = made[{pg.sheet, int(std::lround(pg.scale * 100))}];
        if (!pic.geo) {
            const double scale = pg.scale * dpi / 96.0;
            pic.geo = std::make_unique<SheetGeometry>(book_, pg.sheet, scale);
            pic.merges = std::make_unique<MergeIndex>(sheet.merged);
            pic.styles = std::make_unique<SheetStyles>(book_, scale, dpi);
            pic.painter = std::make_unique<SheetPainter>(book_, pg.sheet, *pic.geo, *pic.merges, *pic.styles);
            pic.headings = std::make_unique<Headings>(book_, *pic.geo, dpi);
        }
        const SheetGeometry& g = *pic.geo;

        // cells: the corner of both titles, the titles, then the page's own
        const int barW = ps.printHeadings ? pic.headings->rowBarWidth(pg.cells.lastRow) : 0;
        const int barH = ps.printHeadings ? pic.headings->columnBarHeight() : 0;
        const QPoint origin(int(std::lround(pg.origin.x() * k)), int(std::lround(pg.origin.y() * k)));
        const int x0 = origin.x() + barW, y0 = origin.y() + barH;
        const auto tr = pg.titleRows, tc = pg.titleCols;
        const int titleW = tc ? g.columnX(tc->second + 1) - g.columnX(tc->first) : 0;
        const int titleH = tr ? g.rowY(tr->second + 1) - g.rowY(tr->first) : 0;
        PaintOptions options;
        options.gridlines = ps.printGridlines;
        options.gridColor = Qt::black;
        options.background = QColor();
        const Range& c = pg.cells;
        if (tr && tc)
            pic.painter->paint(p, {tr->first, tr->second, tc->first, tc->second}, {x0, y0}, options);
        if (tr)
            pic.painter->paint(p, {tr->first, tr->second, c.firstCol, c.lastCol}, {x0 + titleW, y0}, options);
        if (tc)
            pic.painter->paint(p, {c.firstRow, c.lastRow, tc->first, tc->second}, {x0, y0 + titleH}, options);
        pic.painter->paint(p, c, {x0 + titleW, y0 + titleH}, options);
        const int wide = titleW + g.columnX(c.lastCol + 1) - g.columnX(c.firstCol);
        const int tall = titleH + g.rowY(c.lastRow + 1) - g.rowY(c.firstRow);
        if (ps.printGridlines) {
            // the outer lines on the left and top, which no cell draws
            const int u = pic.styles->unit();
            p.fillRect(QRect(x0 - u, y0 - u, wide + u, u), Qt::black);
            p.fillRect(QRect(x0 - u, y0 - u, u, tall + u), Qt::black);
        }
        if (ps.printHeadings) {
            auto columns = [&](int from, int to, int x) { pic.headings->paintColumns(p, from, to, {x, origin.y()}, barH); };
            auto rows = [&](int from, int to, int y) { pic.headings->paintRows(p, from, to, {origin.x(), y}, barW); };
            pic.headings->paintCorner(p, QRect(origin, QSize(barW, barH)));
            if (tc)
                columns(tc->first, tc->second, x0);
            columns(c.firstCol, c.lastCol, x0 + titleW);
            if (tr)
                rows(tr->first, tr->second, y0);
            rows(c.firstRow, c.lastRow, y0 + titleH);
        }

        // header and footer, between the side margins
        const QMarginsF m = marginsOf(ps);
        const QSizeF paperPt = paperPoints(pg.paper);
        installFontSubstitutes();
        const Font& standard = book_.font(0);
        QFont base(standard.name);
        base.setPointSizeF(standard.height / 20.0);
        const PageFacts facts{pg.number, pageCount(), sheet.name, filePath_, now};
        const double width = (paperPt.width() - m.left() - m.right()) * k;
        p.setFont(base);
        if (!ps.header.isEmpty())
            paintHeader(p, parseHeader(ps.header, facts, base), QRectF(m.left() * k, ps.headerMargin * 72 * k, width, 1e6), true);
        if (!ps.footer.isEmpty())
            paintHeader(p, parseHeader(ps.footer, facts, base),
                        QRectF(m.left() * k, 0, width, (paperPt.height() - ps.footerMargin * 72) * k), false);
        p.restore();
    }
    if (!p.end())
        throw ESheetError(failed);
}

void printToPdf(const Workbook& book, const QList<int>& sheets, const QString& pdfPath, const QString& sourcePath)
{
    const PrintLayout layout(book, sheets, sourcePath);
    if (layout.pageCount() == 0)
        throw ESheetError(QStringLiteral("印刷する内容がありません。"));
    QSaveFile file(pdfPath);
    if (!file.open(QIODevice::WriteOnly))
        throw EInOutError(QStringLiteral("ファイル %1 に書き込めません。").arg(pdfPath));
    {
        QPdfWriter pdf(&file);
        pdf.setResolution(1200);
        pdf.setTitle(QFileInfo(sourcePath).fileName());
        pdf.setCreator(QStringLiteral("Tegaro"));
        layout.print(pdf);
    }
    if (!file.commit())
        throw EInOutError(QStringLiteral("ファイル %1 に書き込めません。").arg(pdfPath));
}

} // namespace tegaro::sheets
