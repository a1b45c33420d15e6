#include "sheets/package/OdsPage.h"

#include "sheets/model/CellReference.h"
#include "sheets/package/OdsXml.h"
#include "sheets/package/PackageLimits.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

namespace tegaro::sheets {

using namespace ods;

namespace {

constexpr double kDefaultMargin = 2 / 2.54;        // what LibreOffice takes when a page style names none
constexpr double kUnusedHeaderMargin = 1.3 / 2.54; // what it writes for a header that is off
constexpr double kHeaderLine = 10.0 / 72;          // a line of header text in its default font
constexpr double kMaxMargin = 49;                  // inches, as far as an .xls page goes
constexpr int kMaxHeaderText = 4096;

using Attributes = std::map<QString, QString>; // "fo:margin-top" and such

QString qualified(const QXmlStreamAttribute& a)
{
    const QStringView ns = a.namespaceUri();
    const char* prefix = ns == kFo ? "fo:" : ns == kStyle ? "style:"
        : ns == kTable                                    ? "table:"
                                                          : nullptr;
    return prefix ? QLatin1String(prefix) + a.name().toString() : QString();
}

void keep(Attributes& into, const QXmlStreamAttributes& a)
{
    for (const QXmlStreamAttribute& at : a)
        if (const QString name = qualified(at); !name.isEmpty())
            into[name] = at.value().toString().left(256);
}

struct PageLayout {
    Attributes page, header, footer;
};

// A header or footer: the text of its three parts as Excel writes them,
// and the lines the tallest part has.
struct HeaderText {
    bool shown = false;
    QString left, centre, right;
    int lines = 0;
    QString code() const
    {
        QString out;
        if (!left.isEmpty())
            out += QStringLiteral("&L") + left;
        if (!centre.isEmpty())
            out += QStringLiteral("&C") + centre;
        if (!right.isEmpty())
            out += QStringLiteral("&R") + right;
        return out;
    }
};

struct MasterPage {
    QString layout;
    HeaderText header, footer;
};

// The part of a header a field or some text goes to, and its lines.
struct Region {
    QString* text = nullptr;
    int lines = 0;
    void add(QStringView s)
    {
        if (text && text->size() < kMaxHeaderText)
            *text += s;
    }
};

QString fieldCode(QStringView name, const QXmlStreamAttributes& a)
{
    if (name == u"page-number")
        return QStringLiteral("&P");
    if (name == u"page-count")
        return QStringLiteral("&N");
    if (name == u"date")
        return QStringLiteral("&D");
    if (name == u"time")
        return QStringLiteral("&T");
    if (name == u"sheet-name")
        return QStringLiteral("&A");
    if (name == u"file-name") {
        const QStringView display = attr(a, kText, u"display");
        if (display == u"path")
            return QStringLiteral("&Z");
        if (display == u"name" || display == u"name-and-extension")
            return QStringLiteral("&F");
        return QStringLiteral("&Z&F");
    }
    return {};
}

class StylesReader {
public:
    explicit StylesReader(ImportContext& ctx) : ctx_(ctx) {}

    void read(const QByteArray& data)
    {
        QXmlStreamReader xml(data);
        int depth = 0;
        while (!xml.atEnd()) {
            const auto token = xml.readNext();
            if (token == QXmlStreamReader::StartElement) {
                if (++depth > kMaxXmlDepth)
                    throw tooLarge(QStringLiteral("入れ子の深さ"));
                ctx_.charge();
                start(xml);
            } else if (token == QXmlStreamReader::EndElement) {
                --depth;
                end(xml);
            } else if (token == QXmlStreamReader::Characters && fieldDepth_ == 0 && inParagraph_) {
                QString text = xml.text().toString();
                region_.add(text.replace(u'&', QStringLiteral("&&")));
            }
        }
        if (xml.hasError())
            throw damaged(QStringLiteral("(部品「styles.xml」%1 行: %2)").arg(xml.lineNumber()).arg(xml.errorString()));
    }

    std::map<QString, PageLayout> layouts;
    std::map<QString, MasterPage> masters;
    QString firstMaster;

private:
    void start(QXmlStreamReader& xml)
    {
        const QStringView ns = xml.namespaceUri(), n = xml.name();
        const QXmlStreamAttributes a = xml.attributes();
        if (fieldDepth_ > 0) {
            ++fieldDepth_; // the shown value of a field is not wanted
            return;
        }
        if (ns == kStyle && n == u"page-layout") {
            layout_ = &layouts[attr(a, kStyle, u"name").toString()];
        } else if (layout_ && ns == kStyle && n == u"page-layout-properties") {
            keep(layout_->page, a);
        } else if (layout_ && ns == kStyle && n == u"header-style") {
            layoutPart_ = &layout_->header;
        } else if (layout_ && ns == kStyle && n == u"footer-style") {
            layoutPart_ = &layout_->footer;
        } else if (layoutPart_ && ns == kStyle && n == u"header-footer-properties") {
            keep(*layoutPart_, a);
        } else if (ns == kStyle && n == u"master-page") {
            const QString name = attr(a, kStyle, u"name").toString();
            master_ = &masters[name];
            *master_ = MasterPage{attr(a, kStyle, u"page-layout-name").toString(), {}, {}};
            if (firstMaster.isEmpty())
                firstMaster = name;
        } else if (master_ && ns == kStyle && (n == u"header" || n == u"footer")) {
            header_ = n == u"header" ? &master_->header : &master_->footer;
            *header_ = HeaderText{};
            header_->shown = attr(a, kStyle, u"display") != u"false";
            region_ = Region{&header_->centre, 0}; // text straight in the header stands in its middle
        } else if (header_ && ns == kStyle && n.startsWith(u"region-")) {
            region_ = Region{n == u"region-left" ? &header_->left : n == u"region-right" ? &header_->right
                                                                                         : &header_->centre,
                             0};
        } else if (header_ && ns == kText) {
            textElement(n, a);
        }
    }

    void textElement(QStringView n, const QXmlStreamAttributes& a)
    {
        if (n == u"p") {
            if (region_.lines++)
                region_.add(u"\n");
            inParagraph_ = true;
        } else if (!inParagraph_) {
            return;
        } else if (n == u"s") {
            region_.add(QString(std::clamp(intAttr(attr(a, kText, u"c").toString(), 1), 1, 256), u' '));
        } else if (n == u"tab") {
            region_.add(u" ");
        } else if (n == u"line-break") {
            region_.add(u"\n");
            ++region_.lines;
        } else if (const QString code = fieldCode(n, a); !code.isEmpty()) {
            region_.add(code);
            fieldDepth_ = 1;
        }
    }

    void end(QXmlStreamReader& xml)
    {
        if (fieldDepth_ > 0) {
            --fieldDepth_;
            return;
        }
        const QStringView ns = xml.namespaceUri(), n = xml.name();
        if (ns == kStyle && n == u"page-layout") {
            layout_ = nullptr;
        } else if (ns == kStyle && (n == u"header-style" || n == u"footer-style")) {
            layoutPart_ = nullptr;
        } else if (ns == kStyle && n == u"master-page") {
            master_ = nullptr;
        } else if (header_ && ns == kStyle && (n == u"header" || n == u"footer")) {
            header_->lines = std::max(header_->lines, region_.lines);
            header_ = nullptr;
            region_ = Region{};
        } else if (header_ && ns == kStyle && n.startsWith(u"region-")) {
            header_->lines = std::max(header_->lines, region_.lines);
            region_ = Region{};
        } else if (ns == kText && n == u"p") {
            inParagraph_ = false;
        }
    }

    ImportContext& ctx_;
    PageLayout* layout_ = nullptr;
    Attributes* layoutPart_ = nullptr;
    MasterPage* master_ = nullptr;
    HeaderText* header_ = nullptr;
    Region region_;
    bool inParagraph_ = false;
    int fieldDepth_ = 0;
};

QString value(const Attributes& a, const char* name)
{
    auto it = a.find(QLatin1String(name));
    return it == a.end() ? QString() : it->second;
}

double margin(const Attributes& a, const char* name, double otherwise)
{
    const auto v = odsInches(value(a, name));
    return v ? std::clamp(*v, 0.0, kMaxMargin) : otherwise;
}

// The paper an .xls page setup names by its number, from its size.
std::optional<quint16> paperCode(double width, double height)
{
    struct Paper {
        quint16 code;
        double shortSide, longSide; // inches
    };
    static const Paper papers[] = {
        {9, 210 / 25.4, 297 / 25.4},
        {8, 297 / 25.4, 420 / 25.4},
        {11, 148 / 25.4, 210 / 25.4},
        {12, 257 / 25.4, 364 / 25.4},
        {13, 182 / 25.4, 257 / 25.4},
        {1, 8.5, 11},
        {5, 8.5, 14},
        {3, 11, 17},
    };
    const double a = std::min(width, height), b = std::max(width, height);
    for (const Paper& p : papers)
        if (std::abs(a - p.shortSide) < 0.05 && std::abs(b - p.longSide) < 0.05)
            return p.code;
    return std::nullopt;
}

int boundedInt(const QString& v, int low, int high, int otherwise)
{
    bool ok = false;
    const qlonglong n = v.trimmed().toLongLong(&ok);
    return ok ? int(std::clamp<qlonglong>(n, low, high)) : otherwise;
}

void applyLayout(PageSetup& p, const PageLayout& layout, const MasterPage& master)
{
    const Attributes& a = layout.page;
    const auto width = odsInches(value(a, "fo:page-width")), height = odsInches(value(a, "fo:page-height"));
    if (width && height)
        if (const auto code = paperCode(*width, *height))
            p.paperSize = *code;
    const QString orientation = value(a, "style:print-orientation");
    p.setLandscape(orientation.isEmpty() ? width && height && *width > *height : orientation == u"landscape");

    // The page's margins reach to its header and footer; in an .xls
    // workbook they reach to the cells, and the header has its own.
    p.leftMargin = margin(a, "fo:margin-left", kDefaultMargin);
    p.rightMargin = margin(a, "fo:margin-right", kDefaultMargin);
    const double top = margin(a, "fo:margin-top", kDefaultMargin), bottom = margin(a, "fo:margin-bottom", kDefaultMargin);
    p.topMargin = top;
    p.bottomMargin = bottom;
    p.headerMargin = p.footerMargin = kUnusedHeaderMargin;
    // as much as an .xls header holds
    p.header = master.header.shown ? master.header.code().left(255) : QString();
    p.footer = master.footer.shown ? master.footer.code().left(255) : QString();
    if (master.header.shown) {
        p.headerMargin = top;
        p.topMargin = std::min(top + master.header.lines * kHeaderLine + margin(layout.header, "fo:margin-bottom", 0), kMaxMargin);
    }
    if (master.footer.shown) {
        p.footerMargin = bottom;
        p.bottomMargin = std::min(bottom + master.footer.lines * kHeaderLine + margin(layout.footer, "fo:margin-top", 0), kMaxMargin);
    }

    QString scaleText = value(a, "style:scale-to");
    if (scaleText.endsWith(u'%'))
        scaleText.chop(1);
    bool ok = false;
    const double scale = scaleText.toDouble(&ok);
    if (ok && std::isfinite(scale) && scale > 0)
        p.scale = quint16(std::clamp(std::lround(scale), 10l, 400l));
    const QString pagesX = value(a, "style:scale-to-X"), pagesY = value(a, "style:scale-to-Y");
    const QString pages = value(a, "style:scale-to-pages");
    p.fitToPage = false;
    if (!pagesX.isEmpty() || !pagesY.isEmpty()) {
        p.fitToPage = true;
        p.fitWidth = quint16(boundedInt(pagesX, 0, 32767, 0));
        p.fitHeight = quint16(boundedInt(pagesY, 0, 32767, 0));
    } else if (!pages.isEmpty()) {
        // so many pages in all: LibreOffice makes them one page wide
        p.fitToPage = true;
        p.fitWidth = 1;
        p.fitHeight = quint16(boundedInt(pages, 0, 32767, 1));
    }
    if (value(a, "style:print-page-order") == u"ltr")
        p.options |= PageSetup::kOverThenDown;
    else
        p.options &= ~PageSetup::kOverThenDown;
    const int first = boundedInt(value(a, "style:first-page-number"), 1, 32767, 0); // or "continue"
    if (first > 0) {
        p.pageStart = qint16(first);
        p.options |= PageSetup::kUsePageStart;
    }
    const QString centring = value(a, "style:table-centering");
    p.hCenter = centring == u"horizontal" || centring == u"both";
    p.vCenter = centring == u"vertical" || centring == u"both";
    const QStringList printed = value(a, "style:print").split(u' ', Qt::SkipEmptyParts);
    p.printGridlines = printed.contains(QStringLiteral("grid"));
    p.printHeadings = printed.contains(QStringLiteral("headers"));
}

void addPrintRanges(Sheet& sheet, const QString& ranges, ImportContext& ctx)
{
    if (ranges.isEmpty() || !sheet.page.printArea.isEmpty())
        return; // the name of the print area said it already
    const auto areas = parseOdfAreas(ranges);
    if (!areas)
        return;
    for (const Area& area : *areas)
        ctx.addPrintArea(sheet, area.range);
}

} // namespace

std::optional<double> odsInches(QStringView length)
{
    static const std::pair<const char16_t*, double> units[] = {
        {u"in", 1},
        {u"cm", 1 / 2.54},
        {u"mm", 1 / 25.4},
        {u"pt", 1 / 72.0},
        {u"pc", 1 / 6.0},
        {u"px", 1 / 96.0},
    };
    const QStringView t = length.trimmed();
    for (const auto& [unit, factor] : units) {
        if (!t.endsWith(QStringView(unit)))
            continue;
        bool ok = false;
        const double v = t.chopped(2).toDouble(&ok);
        if (!ok || !std::isfinite(v))
            return std::nullopt;
        return v * factor;
    }
    return std::nullopt;
}

void readOdsPages(const QByteArray& stylesXml, const OdsPrintInfo& info, ImportContext& ctx)
{
    Workbook& book = ctx.book;
    for (int i = 0; i < book.sheets.size() && i < int(info.tables.size()); ++i)
        addPrintRanges(book.sheets[i], info.tables[size_t(i)].printRanges, ctx);
    if (stylesXml.isEmpty())
        return;
    StylesReader styles(ctx);
    styles.read(stylesXml);
    for (int i = 0; i < book.sheets.size(); ++i) {
        // a table without a page style of its own prints with the default one
        QString name = QStringLiteral("Default");
        if (i < int(info.tables.size()))
            if (auto it = info.masterOfStyle.find(info.tables[size_t(i)].style); it != info.masterOfStyle.end())
                name = it->second;
        auto master = styles.masters.find(name);
        if (master == styles.masters.end())
            master = styles.masters.find(styles.firstMaster);
        if (master == styles.masters.end())
            continue;
        auto layout = styles.layouts.find(master->second.layout);
        if (layout == styles.layouts.end())
            continue;
        applyLayout(book.sheets[i].page, layout->second, master->second);
    }
}

} // namespace tegaro::sheets
