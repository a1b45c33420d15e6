#include "sheets/package/OdsExtras.h"

#include "sheets/model/CellReference.h"
#include "sheets/numfmt/NumberFormat.h"
#include "sheets/package/OdsPage.h"
#include "sheets/package/OdsValues.h"
#include "sheets/package/OdsView.h"
#include "sheets/package/OdsXml.h"
#include "sheets/package/PackageLimits.h"

#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>

#include <QXmlStreamReader>

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace tegaro::sheets {

using namespace ods;

namespace {

constexpr int kMaxStyleDepth = 16; // parents of a cell style, styles a data style's conditions name

// One element of a data style: a number, a date field, a piece of text.
struct DataPart {
    QString name;                     // local name in the number namespace
    std::map<QString, QString> attrs; // local names of number: attributes
    QString text;
    QString attr(const char* n) const
    {
        auto it = attrs.find(QLatin1String(n));
        return it == attrs.end() ? QString() : it->second;
    }
    bool has(const char* n) const { return attrs.count(QLatin1String(n)); }
};

struct DataStyle {
    QString kind; // number-style, date-style ...
    bool gengou = false;
    bool elapsed = false; // hours counted past a day
    bool japanese = false;
    QString color;
    std::vector<DataPart> parts;
    std::vector<std::pair<QString, QString>> maps; // condition, style applied
};

struct CellStyle {
    QString parent, dataStyle;
};

// A run of cells in one row element that share a style.
struct Segment {
    int first, last;
    QString style;
};

// Text that stands as it is in an Excel code, quoted where it must be.
QString literal(const QString& text, bool percent)
{
    static const QString plain = QStringLiteral(" -/():");
    QString out;
    bool quoting = false;
    for (const QChar c : text) {
        const bool bare = plain.contains(c) || (percent && c == u'%');
        if (bare && quoting) {
            out += u'"';
            quoting = false;
        }
        if (!bare && !quoting && c != u'"') {
            out += u'"';
            quoting = true;
        }
        if (c == u'"') {
            if (quoting)
                out += u'"';
            quoting = false;
            out += QStringLiteral("\\\"");
        } else {
            out += c;
        }
    }
    if (quoting)
        out += u'"';
    return out;
}

QString integerDigits(const DataPart& p)
{
    const int minimum = std::clamp(intAttr(p.attr("min-integer-digits"), 1), 0, 30);
    QString digits(minimum, u'0');
    if (p.attr("grouping") == QLatin1String("true")) {
        while (digits.size() < 4)
            digits.prepend(u'#');
        digits.insert(digits.size() - 3, u',');
    } else if (digits.isEmpty()) {
        digits = QStringLiteral("#");
    }
    return digits;
}

QString decimals(const DataPart& p)
{
    const int places = std::clamp(intAttr(p.attr("decimal-places"), 0), 0, 30);
    const int minimum = std::clamp(intAttr(p.attr("min-decimal-places"), places), 0, places);
    if (places == 0)
        return {};
    return u'.' + QString(minimum, u'0') + QString(places - minimum, u'#');
}

QString numberCode(const DataPart& p)
{
    if (!p.has("decimal-places") && !p.has("min-decimal-places") && p.attr("grouping") != QLatin1String("true"))
        return QStringLiteral("General");
    QString code = integerDigits(p) + decimals(p);
    // a factor of thousands: one comma after the digits for each
    for (double factor = p.attr("display-factor").toDouble(); factor >= 1000 && code.size() < 60; factor /= 1000)
        code += u',';
    return code;
}

QString colourName(const QString& rgb)
{
    static const std::map<QString, QString> names = {
        {QStringLiteral("#000000"), QStringLiteral("[Black]")},
        {QStringLiteral("#ffffff"), QStringLiteral("[White]")},
        {QStringLiteral("#ff0000"), QStringLiteral("[Red]")},
        {QStringLiteral("#00ff00"), QStringLiteral("[Green]")},
        {QStringLiteral("#0000ff"), QStringLiteral("[Blue]")},
        {QStringLiteral("#ffff00"), QStringLiteral("[Yellow]")},
        {QStringLiteral("#ff00ff"), QStringLiteral("[Magenta]")},
        {QStringLiteral("#00ffff"), QStringLiteral("[Cyan]")},
    };
    auto it = names.find(rgb.toLower());
    return it == names.end() ? QString() : it->second;
}

// The Excel code of one data style without its conditions; empty when a
// part has no Excel counterpart.
QString sectionCode(const DataStyle& s)
{
    const bool percent = s.kind == QLatin1String("percentage-style");
    QString code = colourName(s.color);
    bool anyPart = false;
    for (const DataPart& p : s.parts) {
        const bool isLong = p.attr("style") == QLatin1String("long");
        const QString& n = p.name;
        if (n == QLatin1String("number")) {
            code += numberCode(p);
        } else if (n == QLatin1String("scientific-number")) {
            code += integerDigits(p) + decimals(p) + QStringLiteral("E+")
                + QString(std::clamp(intAttr(p.attr("min-exponent-digits"), 2), 1, 5), u'0');
        } else if (n == QLatin1String("fraction")) {
            if (p.has("min-integer-digits"))
                code += integerDigits(p) + u' ';
            code += QString(std::clamp(intAttr(p.attr("min-numerator-digits"), 1), 1, 5), u'?') + u'/';
            const int denominator = intAttr(p.attr("denominator-value"), 0);
            code += denominator > 0 ? QString::number(denominator)
                                    : QString(std::clamp(intAttr(p.attr("min-denominator-digits"), 1), 1, 5), u'?');
        } else if (n == QLatin1String("text")) {
            code += literal(p.text, percent);
        } else if (n == QLatin1String("currency-symbol")) {
            code += literal(p.text, false);
        } else if (n == QLatin1String("text-content")) {
            code += u'@';
        } else if (n == QLatin1String("fill-character")) {
            code += u'*' + (p.text.isEmpty() ? QStringLiteral(" ") : p.text.left(1));
        } else if (n == QLatin1String("year")) {
            code += p.attr("calendar") == QLatin1String("gengou") ? (isLong ? QStringLiteral("ee") : QStringLiteral("e"))
                                                                  : (isLong ? QStringLiteral("yyyy") : QStringLiteral("yy"));
        } else if (n == QLatin1String("era")) {
            code += isLong ? QStringLiteral("ggg") : QStringLiteral("g");
        } else if (n == QLatin1String("month")) {
            if (p.attr("textual") == QLatin1String("true"))
                code += isLong ? QStringLiteral("mmmm") : QStringLiteral("mmm");
            else
                code += isLong ? QStringLiteral("mm") : QStringLiteral("m");
        } else if (n == QLatin1String("day")) {
            code += isLong ? QStringLiteral("dd") : QStringLiteral("d");
        } else if (n == QLatin1String("day-of-week")) {
            code += s.japanese ? (isLong ? QStringLiteral("aaaa") : QStringLiteral("aaa"))
                               : (isLong ? QStringLiteral("dddd") : QStringLiteral("ddd"));
        } else if (n == QLatin1String("hours")) {
            const QString h = isLong ? QStringLiteral("hh") : QStringLiteral("h");
            code += s.elapsed ? u'[' + h + u']' : h;
        } else if (n == QLatin1String("minutes")) {
            code += isLong ? QStringLiteral("mm") : QStringLiteral("m");
        } else if (n == QLatin1String("seconds")) {
            code += isLong ? QStringLiteral("ss") : QStringLiteral("s");
            const int places = std::clamp(intAttr(p.attr("decimal-places"), 0), 0, 3);
            if (places)
                code += u'.' + QString(places, u'0');
        } else if (n == QLatin1String("am-pm")) {
            code += QStringLiteral("AM/PM");
        } else {
            return {}; // quarters, weeks of the year, boolean words
        }
        anyPart = true;
    }
    if (!anyPart)
        return {};
    if (s.gengou)
        code.prepend(QStringLiteral("[$-411]"));
    return code;
}

class Reader {
public:
    explicit Reader(ImportContext& ctx) : ctx_(ctx) {}

    void readStyles(const QByteArray& xml) { read(xml, false); }
    void readContent(const QByteArray& xml) { read(xml, true); }
    const OdsPrintInfo& printInfo() const { return print_; }

private:
    void read(const QByteArray& data, bool content)
    {
        if (data.isEmpty())
            return; // styles.xml may be left out
        QXmlStreamReader xml(data);
        int depth = 0;
        bool inDataStyle = false, inBody = false, inNote = false;
        DataStyle* dataStyle = nullptr;
        DataPart* part = nullptr;
        while (!xml.atEnd()) {
            const auto token = xml.readNext();
            if (token == QXmlStreamReader::EndElement) {
                --depth;
                const QStringView ns = xml.namespaceUri(), n = xml.name();
                if (ns == kNumber && n.endsWith(u"-style"))
                    inDataStyle = false, dataStyle = nullptr;
                else if (ns == kNumber)
                    part = nullptr;
                else if (ns == kTable && (n == u"table-cell" || n == u"covered-table-cell"))
                    endCell();
                else if (ns == kText && n == u"p")
                    inParagraph_ = false;
                else if (ns == kTable && n == u"table-row")
                    endRow();
                else if (ns == kTable && n == u"table")
                    endTable();
                else if (ns == kOffice && n == u"body")
                    inBody = false;
                else if (ns == kOffice && n == u"annotation")
                    inNote = false;
                continue;
            }
            if (token == QXmlStreamReader::Characters && part) {
                if (part->text.size() < 256)
                    part->text += xml.text();
                continue;
            }
            if (token == QXmlStreamReader::Characters && inParagraph_) {
                addText(xml.text());
                continue;
            }
            if (token != QXmlStreamReader::StartElement)
                continue;
            if (++depth > kMaxXmlDepth)
                throw tooLarge(QStringLiteral("入れ子の深さ"));
            ctx_.charge();
            const QStringView ns = xml.namespaceUri(), n = xml.name();
            const QXmlStreamAttributes a = xml.attributes();
            if (ns == kNumber && n.endsWith(u"-style")) {
                DataStyle& s = dataStyles_[attr(a, kStyle, u"name").toString()];
                s = DataStyle{};
                s.kind = n.toString();
                s.elapsed = attr(a, kNumber, u"truncate-on-overflow") == u"false";
                s.japanese = attr(a, kNumber, u"language") == u"ja";
                dataStyle = &s;
                inDataStyle = true;
            } else if (inDataStyle && dataStyle && ns == kNumber) {
                if (dataStyle->parts.size() < 64) {
                    DataPart p;
                    p.name = n.toString();
                    for (const QXmlStreamAttribute& at : a)
                        if (at.namespaceUri() == kNumber)
                            p.attrs[at.name().toString()] = at.value().toString();
                    dataStyle->gengou = dataStyle->gengou || p.attr("calendar") == QLatin1String("gengou");
                    dataStyle->parts.push_back(std::move(p));
                    part = &dataStyle->parts.back();
                }
            } else if (inDataStyle && dataStyle && ns == kStyle && n == u"map") {
                if (dataStyle->maps.size() < 4)
                    dataStyle->maps.emplace_back(attr(a, kStyle, u"condition").toString(),
                                                 attr(a, kStyle, u"apply-style-name").toString());
            } else if (inDataStyle && dataStyle && ns == kStyle && n == u"text-properties") {
                dataStyle->color = attr(a, kFo, u"color").toString();
            } else if (ns == kStyle && n == u"style" && attr(a, kStyle, u"family").startsWith(u"table-")) {
                lineStyle_ = attr(a, kStyle, u"name").toString();
                if (attr(a, kStyle, u"family") == u"table-cell")
                    cellStyles_[lineStyle_] = {attr(a, kStyle, u"parent-style-name").toString(),
                                               attr(a, kStyle, u"data-style-name").toString()};
            } else if (ns == kStyle && (n == u"table-row-properties" || n == u"table-column-properties")) {
                // a row or column that starts a new page when printed
                if (attr(a, kFo, u"break-before") == u"page")
                    pageBreakStyles_.insert(lineStyle_);
            } else if (ns == kStyle && n == u"style" && attr(a, kStyle, u"family") == u"table") {
                print_.masterOfStyle[attr(a, kStyle, u"name").toString()] = attr(a, kStyle, u"master-page-name").toString();
            } else if (content && ns == kOffice && n == u"body") {
                inBody = true;
            } else if (inBody && ns == kTable) {
                tableElement(n, a);
            } else if (ns == kOffice && n == u"annotation") {
                inNote = true; // a comment's paragraphs are not the cell's text
            } else if (cellValue_ && !inNote && ns == kText) {
                textElement(n, a);
            }
        }
        if (xml.hasError())
            throw damaged(QStringLiteral("(%1)").arg(xml.errorString()));
    }

    QStringView value(const QXmlStreamAttributes& a, QStringView name) const { return attr(a, kTable, name); }

    int count(const QXmlStreamAttributes& a, QStringView name, int cap) const
    {
        return std::clamp(intAttr(value(a, name).toString(), 1), 1, cap);
    }

    static bool hidden(const QXmlStreamAttributes& a)
    {
        const QStringView v = attr(a, kTable, u"visibility");
        return v == u"collapse" || v == u"filter";
    }

    void tableElement(QStringView n, const QXmlStreamAttributes& a)
    {
        if (n == u"table") {
            ++sheet_;
            if (print_.tables.size() < size_t(kMaxImportSheets))
                print_.tables.push_back({value(a, u"style-name").toString(), value(a, u"print-ranges").toString().left(4096)});
            row_ = 0;
            column_ = 0;
            columnStyles_.clear();
        } else if (sheet_ < 0 || sheet_ >= ctx_.book.sheets.size()) {
            return;
        } else if (n == u"table-column") {
            const int repeated = count(a, u"number-columns-repeated", kGridColumns);
            if (pageBreakStyles_.count(value(a, u"style-name").toString()))
                addBreaks(sheet().page.columnBreaks, column_, repeated, kMaxColumns);
            const QString style = value(a, u"default-cell-style-name").toString();
            const bool hide = hidden(a);
            for (int c = column_; c < std::min(column_ + repeated, kMaxColumns); ++c) {
                columnStyles_[c] = style;
                if (hide)
                    hiddenColumns_.insert(c);
            }
            column_ = std::min(column_ + repeated, kGridColumns);
        } else if (n == u"table-row") {
            rowRepeat_ = count(a, u"number-rows-repeated", kGridRows);
            if (pageBreakStyles_.count(value(a, u"style-name").toString()))
                addBreaks(sheet().page.rowBreaks, row_, rowRepeat_, kMaxRows);
            rowStyle_ = value(a, u"default-cell-style-name").toString();
            if (hidden(a))
                for (int r = row_; r < std::min(row_ + rowRepeat_, kMaxRows); ++r)
                    sheet().rows[r].options |= RowInfo::kHidden;
            cell_ = 0;
            segments_.clear();
        } else if (n == u"table-cell" || n == u"covered-table-cell") {
            const int repeated = count(a, u"number-columns-repeated", kGridColumns);
            if (n == u"table-cell")
                merge(count(a, u"number-rows-spanned", kGridRows), count(a, u"number-columns-spanned", kGridColumns));
            const QString style = value(a, u"style-name").toString();
            if (cell_ < kMaxColumns)
                segments_.push_back({cell_, std::min(cell_ + repeated, kMaxColumns) - 1, style});
            if (n == u"table-cell")
                startCell(a, repeated);
            cell_ = std::min(cell_ + repeated, kGridColumns);
        }
    }

    // The reader hands over numbers and texts of plain cells and numbers
    // of formulas; the rest of what a cell states is taken here once its
    // text is known.
    void startCell(const QXmlStreamAttributes& a, int repeated)
    {
        const QStringView type = attr(a, kOffice, u"value-type");
        const bool formula = hasAttr(a, kTable, u"formula");
        const bool error = attr(a, kCalcExt, u"value-type") == u"error";
        if (!formula && type != u"boolean" && type != u"time")
            return;
        if (!formula && error)
            return;
        cellValue_ = PendingValue{a, {}, cell_, std::min(cell_ + repeated, kMaxColumns), formula, 0};
    }

    void textElement(QStringView n, const QXmlStreamAttributes& a)
    {
        if (n == u"p") {
            if (cellValue_->paragraphs++)
                addText(u"\n");
            inParagraph_ = true;
        } else if (!inParagraph_) {
            return;
        } else if (n == u"s") {
            addText(QString(std::clamp(intAttr(attr(a, kText, u"c").toString(), 1), 1, 1024), u' '));
        } else if (n == u"tab") {
            addText(u"\t");
        } else if (n == u"line-break") {
            addText(u"\n");
        }
    }

    void addText(QStringView text)
    {
        if (cellValue_ && cellValue_->text.size() < kMaxTextLength)
            cellValue_->text += text.left(kMaxTextLength - cellValue_->text.size());
    }

    void endCell()
    {
        inParagraph_ = false;
        if (!cellValue_)
            return;
        const PendingValue pending = std::move(*cellValue_);
        cellValue_.reset();
        if (sheet_ < 0 || sheet_ >= ctx_.book.sheets.size())
            return;
        const auto v = odsValue(pending.attributes, pending.text, ctx_);
        if (!v)
            return;
        Sheet& s = sheet();
        const int lastRow = int(std::min(qint64(row_) + rowRepeat_, qint64(kMaxRows)));
        for (int r = row_; r < lastRow; ++r) {
            for (int c = pending.first; c < pending.last; ++c) {
                ctx_.charge();
                Cell* cell = s.cell(r, c);
                if (pending.formula) {
                    if (!cell || cell->kind != CellKind::Formula)
                        continue; // a formula the reader refused
                    cell->result = v->kind;
                } else {
                    if (!cell) {
                        ctx_.countCell();
                        const int xf = s.xfAt(r, c);
                        cell = &s.cellRef(r, c);
                        cell->xf = quint16(xf);
                    }
                    cell->kind = v->kind;
                }
                cell->number = v->number;
                cell->text = v->text;
                if (v->shown != OdsValue::Shown::AsIs)
                    dated_[Sheet::key(r, c)] = v->shown;
            }
        }
    }

    Sheet& sheet() { return ctx_.book.sheets[sheet_]; }

    // Breaks before each of `count` rows or columns from `first`; none
    // before the first, and no more than an .xls sheet keeps.
    static void addBreaks(QList<int>& breaks, int first, int count, int limit)
    {
        for (int i = std::max(first, 1); i < std::min(first + count, limit) && breaks.size() < 1026; ++i)
            if (breaks.isEmpty() || breaks.last() < i)
                breaks << i;
    }

    void merge(int rows, int columns)
    {
        if (rows == 1 && columns == 1)
            return;
        const qint64 lastRow = qint64(row_) + rows - 1, lastCol = qint64(cell_) + columns - 1;
        if (lastRow >= kMaxRows || lastCol >= kMaxColumns) {
            ++ctx_.leftOut.sheets[sheet_].merges;
            return;
        }
        sheet().merged << Range{row_, int(lastRow), cell_, int(lastCol)};
    }

    // Formats for the cells of the row just read, for each row it repeats.
    void endRow()
    {
        if (sheet_ >= 0 && sheet_ < ctx_.book.sheets.size()) {
            const int last = std::min(qint64(row_) + rowRepeat_, qint64(kMaxRows));
            for (int r = row_; r < last; ++r)
                formatRow(r);
        }
        row_ = int(std::min(qint64(row_) + rowRepeat_, qint64(kGridRows)));
        rowRepeat_ = 1;
    }

    void formatRow(int row)
    {
        ctx_.charge();
        Sheet& s = sheet();
        const auto& cells = s.cells();
        for (auto it = cells.lower_bound(Sheet::key(row, 0)); it != cells.end() && Sheet::rowOf(it->first) == row; ++it) {
            const int col = Sheet::colOf(it->first);
            QString style;
            auto seg = std::upper_bound(segments_.begin(), segments_.end(), col,
                                        [](int c, const Segment& g) { return c < g.first; });
            if (seg != segments_.begin() && std::prev(seg)->last >= col)
                style = std::prev(seg)->style;
            if (style.isEmpty())
                style = rowStyle_;
            if (style.isEmpty())
                style = columnStyles_.value(col);
            Cell& cell = s.cellRef(row, col); // there already
            cell.xf = withCode(cell.xf, codeOfCellStyle(style));
            // a date the cell's style shows as a plain number gets a date format
            if (auto d = dated_.find(it->first); d != dated_.end()) {
                if (!isDateFormat(ctx_.book.formatCode(ctx_.book.format(cell.xf).numberFormat)))
                    cell.xf = withCode(cell.xf, defaultCode(d->second));
                dated_.erase(d);
            }
        }
    }

    void endTable()
    {
        if (sheet_ < 0 || sheet_ >= ctx_.book.sheets.size())
            return;
        // columns: their default format and whether they are hidden, one entry each
        Sheet& s = sheet();
        std::vector<ColumnInfo> each(kMaxColumns);
        for (int c = 0; c < kMaxColumns; ++c) {
            each[c].first = each[c].last = c;
            each[c].width = s.columnWidth(c);
            each[c].xf = kDefaultFormat;
        }
        std::vector<bool> listed(kMaxColumns, false);
        for (const ColumnInfo& info : s.columns)
            for (int c = std::max(0, info.first); c <= std::min(info.last, kMaxColumns - 1); ++c) {
                each[c] = info;
                each[c].first = each[c].last = c;
                listed[c] = true;
            }
        for (int c : hiddenColumns_) {
            each[c].options |= ColumnInfo::kHidden;
            listed[c] = true;
        }
        for (auto it = columnStyles_.begin(); it != columnStyles_.end(); ++it) {
            const QString code = codeOfCellStyle(it.value());
            if (!code.isEmpty()) {
                each[it.key()].xf = withCode(each[it.key()].xf, code);
                listed[it.key()] = true;
            }
        }
        s.columns.clear();
        for (int c = 0; c < kMaxColumns; ++c) {
            if (!listed[c])
                continue;
            if (!s.columns.isEmpty()) {
                ColumnInfo& last = s.columns.last();
                if (last.last == c - 1 && last.width == each[c].width && last.xf == each[c].xf
                    && last.options == each[c].options) {
                    last.last = c;
                    continue;
                }
            }
            s.columns << each[c];
        }
        hiddenColumns_.clear();
    }

    // The Excel code of a cell style's data style, through its parents.
    QString codeOfCellStyle(const QString& name)
    {
        if (name.isEmpty())
            return {};
        auto known = styleCodes_.find(name);
        if (known != styleCodes_.end())
            return known->second;
        QString style = name, code;
        for (int depth = 0; depth < kMaxStyleDepth && !style.isEmpty(); ++depth) {
            auto it = cellStyles_.find(style);
            if (it == cellStyles_.end())
                break;
            if (!it->second.dataStyle.isEmpty()) {
                code = excelCode(it->second.dataStyle, 0);
                // a data style that is not there shows as General, as it does in LibreOffice
                if (code.isEmpty() && dataStyles_.count(it->second.dataStyle))
                    ctx_.leftOut.features.insert(QStringLiteral("数値の表示形式の一部 (標準の書式で表示)"));
                break;
            }
            style = it->second.parent;
        }
        styleCodes_[name] = code;
        return code;
    }

    QString excelCode(const QString& name, int depth)
    {
        auto it = dataStyles_.find(name);
        if (it == dataStyles_.end() || depth > 2)
            return {};
        const DataStyle& s = it->second;
        const QString main = sectionCode(s);
        if (s.maps.empty())
            return main;
        // LibreOffice writes Excel's sections as conditions on the style
        // that shows the rest: ">=0" or ">0", "<0", "=0"
        std::map<QString, QString> sections;
        std::vector<QString> custom;
        for (const auto& [condition, applied] : s.maps) {
            QString c = condition;
            c.remove(QStringLiteral("value()")).remove(u' ');
            c.replace(QStringLiteral("!="), QStringLiteral("<>"));
            const QString code = excelCode(applied, depth + 1);
            if (code.isEmpty())
                return {};
            if (c == QLatin1String(">=0") || c == QLatin1String(">0") || c == QLatin1String("<0") || c == QLatin1String("=0"))
                sections[c] = code;
            else
                custom.push_back(u'[' + c + u']' + code);
        }
        if (main.isEmpty())
            return {};
        if (!custom.empty()) {
            if (custom.size() > 2 || !sections.empty())
                return {};
            return QStringList(custom.begin(), custom.end()).join(u';') + u';' + main;
        }
        const bool text = s.kind == QLatin1String("text-style");
        auto section = [&](const char* condition) {
            auto found = sections.find(QLatin1String(condition));
            return found == sections.end() ? QString() : found->second;
        };
        const QString positive = sections.count(QStringLiteral(">=0")) ? section(">=0") : section(">0");
        const QString negative = section("<0"), zero = section("=0");
        if (sections.size() == 1 && !positive.isEmpty() && sections.count(QStringLiteral(">=0")))
            return positive + u';' + main;
        if (sections.size() == 1 && !negative.isEmpty())
            return main + u';' + negative;
        if (sections.size() == 2 && !positive.isEmpty() && !negative.isEmpty())
            return positive + u';' + negative + u';' + main;
        if (sections.size() == 3 && !positive.isEmpty())
            return positive + u';' + negative + u';' + zero + (text ? u';' + main : QString());
        return {};
    }

    // The cell format `xf` with the number format `code`, made once and
    // shared by the cells that need the same.
    quint16 withCode(quint16 xf, const QString& code)
    {
        if (code.isEmpty())
            return xf;
        auto it = formats_.find({xf, code});
        if (it != formats_.end())
            return it->second;
        CellFormat f = ctx_.book.format(xf);
        f.numberFormat = quint16(ctx_.book.addNumberFormat(code));
        quint16 made = xf;
        if (ctx_.book.formats.contains(f) || ctx_.book.formats.size() < kMaxImportFormats)
            made = quint16(ctx_.book.addFormat(f));
        else
            ++ctx_.leftOut.formats;
        formats_[{xf, code}] = made;
        return made;
    }

    ImportContext& ctx_;
    std::map<QString, DataStyle> dataStyles_;
    std::map<QString, CellStyle> cellStyles_;
    QString lineStyle_; // the table style being read
    std::set<QString> pageBreakStyles_;
    std::map<QString, QString> styleCodes_;
    std::map<std::pair<quint16, QString>, quint16> formats_;
    int sheet_ = -1, row_ = 0, column_ = 0, cell_ = 0, rowRepeat_ = 1;
    QString rowStyle_;
    QMap<int, QString> columnStyles_;
    std::set<int> hiddenColumns_;
    std::vector<Segment> segments_;

    struct PendingValue {
        QXmlStreamAttributes attributes;
        QString text;
        int first, last; // columns
        bool formula;
        int paragraphs;
    };
    std::optional<PendingValue> cellValue_;
    bool inParagraph_ = false;
    std::map<quint32, OdsValue::Shown> dated_;
    OdsPrintInfo print_;
};

} // namespace

QByteArray ods::part(const orcus::zip_archive& archive, std::string_view name)
{
    std::vector<unsigned char> buf;
    if (!archive.read_file_entry(name, buf))
        return {};
    // the archive ends each part with a NUL byte for its own parser
    if (!buf.empty() && buf.back() == 0)
        buf.pop_back();
    return QByteArray(reinterpret_cast<const char*>(buf.data()), qsizetype(buf.size()));
}

void addOdsExtras(const QByteArray& package, ImportContext& ctx)
{
    if (ctx.kind != PackageKind::Ods)
        return;
    orcus::zip_archive_stream_blob stream(reinterpret_cast<const uint8_t*>(package.constData()), size_t(package.size()));
    orcus::zip_archive archive(&stream);
    archive.load();
    Reader reader(ctx);
    const QByteArray styles = part(archive, "styles.xml");
    reader.readStyles(styles);
    reader.readContent(part(archive, "content.xml"));
    readOdsSettings(part(archive, "settings.xml"), ctx);
    readOdsPages(styles, reader.printInfo(), ctx);
}

} // namespace tegaro::sheets
