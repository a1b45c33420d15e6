#include "sheets/package/XlsxSheetExtras.h"

#include "sheets/package/OdsXml.h"
#include "sheets/package/PackageCheck.h"
#include "sheets/model/CellReference.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/package/ImportSheet.h"
#include "sheets/package/PackageScan.h"

#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>

#include <QHash>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

namespace tegaro::sheets {

namespace {

constexpr QStringView kRelations = QStringView(u"http://schemas.openxmlformats.org/officeDocument/2006/relationships");

// Elements of one part, nested no deeper than the package check allows.
template <class F>
void eachElement(const QByteArray& xml, const char* partName, F&& onElement)
{
    QXmlStreamReader r(xml);
    int depth = 0;
    while (!r.atEnd()) {
        const auto token = r.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (++depth > kMaxXmlDepth)
                break;
            onElement(r);
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    if (r.hasError() || depth > kMaxXmlDepth)
        throw ECorruptWorkbook(QStringLiteral("ブックのファイルが壊れています。(%1)").arg(QString::fromLatin1(partName)));
}

QStringView plain(const QXmlStreamAttributes& a, QStringView name)
{
    for (const QXmlStreamAttribute& at : a)
        if (at.name() == name && at.namespaceUri().isEmpty())
            return at.value();
    return {};
}

bool isTrue(QStringView v)
{
    return v == u"1" || v == u"true";
}

std::optional<double> number(QStringView v)
{
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok && std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
}

int bounded(QStringView v, int low, int high, int otherwise)
{
    const auto d = number(v);
    return d ? int(std::clamp(std::lround(*d), long(low), long(high))) : otherwise;
}

// "worksheets/sheet1.xml" next to the workbook part, or "/xl/..." from the top.
std::string partPath(const QString& target)
{
    QString path = target.startsWith(u'/') ? target.mid(1) : QStringLiteral("xl/") + target;
    // "xl/../x" and the like: the few steps back a writer may take
    while (true) {
        const qsizetype up = path.indexOf(QStringLiteral("/../"));
        if (up <= 0)
            break;
        const qsizetype start = path.lastIndexOf(u'/', up - 1) + 1;
        path.remove(start, up + 4 - start);
    }
    return path.toStdString();
}

// The part without the cells of its sheetData, which are most of it and
// the reader's: what is read here stands before and after them. A sheet
// part holds no "<" but in markup, so the element's tags are found by their
// bytes; where they are not as expected the whole part is read.
QByteArray withoutCells(const QByteArray& xml)
{
    auto tagStart = [&](qsizetype nameAt) { // the "<" of the tag whose name (after any prefix) starts here
        qsizetype at = nameAt - 1;
        while (at >= 0 && xml[at] != '<' && xml[at] != '>' && xml[at] != ' ')
            --at;
        return at >= 0 && xml[at] == '<' ? at : -1;
    };
    const qsizetype open = xml.indexOf("sheetData");
    const qsizetype close = xml.lastIndexOf("sheetData>");
    if (open < 0 || close <= open)
        return xml;
    const qsizetype openTag = tagStart(open), closeTag = tagStart(close);
    const qsizetype contentFrom = xml.indexOf('>', open) + 1;
    if (openTag < 0 || contentFrom < 2 || closeTag < contentFrom || xml[closeTag + 1] != '/' || xml[contentFrom - 2] == '/')
        return xml;
    return xml.left(contentFrom) + xml.mid(closeTag);
}

void readSheet(const QByteArray& xml, Sheet& sheet)
{
    PageSetup& p = sheet.page;
    QString* text = nullptr;
    QList<int>* breaks = nullptr;
    int breakLimit = 0;
    bool viewRead = false;
    auto setOption = [&](QStringView v, quint16 bit) {
        if (!v.isEmpty())
            sheet.view.options = isTrue(v) ? sheet.view.options | bit : sheet.view.options & ~bit;
    };
    QXmlStreamReader r(xml);
    int depth = 0;
    while (!r.atEnd()) {
        const auto token = r.readNext();
        if (token == QXmlStreamReader::EndElement) {
            --depth;
            text = nullptr;
            if (r.name() == u"rowBreaks" || r.name() == u"colBreaks")
                breaks = nullptr;
            continue;
        }
        if (token == QXmlStreamReader::Characters && text) {
            if (text->size() < 255) // as much as an .xls header holds
                *text += r.text().left(255 - text->size());
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (++depth > kMaxXmlDepth)
            break;
        const QStringView n = r.name();
        const QXmlStreamAttributes a = r.attributes();
        if (n == u"sheetData") {
            r.skipCurrentElement(); // the cells are the reader's
            --depth;
        } else if (n == u"sheetView" && !viewRead) {
            viewRead = true; // the first view is the one a window opens with
            if (const int zoom = bounded(plain(a, u"zoomScale"), 10, 400, 0))
                sheet.view.zoom = quint16(zoom);
            setOption(plain(a, u"showGridLines"), SheetView::kGridlines);
            setOption(plain(a, u"showRowColHeaders"), SheetView::kHeadings);
            setOption(plain(a, u"showZeros"), SheetView::kZeros);
        } else if (n == u"pageSetUpPr") {
            p.fitToPage = isTrue(plain(a, u"fitToPage"));
        } else if (n == u"pageMargins") {
            // inches, as in an .xls
            auto margin = [&](QStringView name) -> std::optional<double> {
                const auto d = number(plain(a, name));
                return d && *d >= 0 && *d < 50 ? d : std::nullopt;
            };
            p.leftMargin = margin(u"left");
            p.rightMargin = margin(u"right");
            p.topMargin = margin(u"top");
            p.bottomMargin = margin(u"bottom");
            p.headerMargin = margin(u"header").value_or(p.headerMargin);
            p.footerMargin = margin(u"footer").value_or(p.footerMargin);
        } else if (n == u"pageSetup") {
            p.paperSize = quint16(bounded(plain(a, u"paperSize"), 0, 255, p.paperSize));
            p.scale = quint16(bounded(plain(a, u"scale"), 10, 400, p.scale));
            p.fitWidth = quint16(bounded(plain(a, u"fitToWidth"), 0, 32767, 1));
            p.fitHeight = quint16(bounded(plain(a, u"fitToHeight"), 0, 32767, 1));
            p.copies = quint16(bounded(plain(a, u"copies"), 1, 32767, 1));
            p.setLandscape(plain(a, u"orientation") == u"landscape"); // the paper and its way are known now
            if (plain(a, u"pageOrder") == u"overThenDown")
                p.options |= PageSetup::kOverThenDown;
            if (isTrue(plain(a, u"useFirstPageNumber"))) {
                p.pageStart = qint16(bounded(plain(a, u"firstPageNumber"), 1, 32767, 1));
                p.options |= PageSetup::kUsePageStart;
            }
        } else if (n == u"printOptions") {
            p.hCenter = isTrue(plain(a, u"horizontalCentered"));
            p.vCenter = isTrue(plain(a, u"verticalCentered"));
            p.printGridlines = isTrue(plain(a, u"gridLines"));
            p.printHeadings = isTrue(plain(a, u"headings"));
        } else if (n == u"oddHeader" || n == u"oddFooter") {
            text = n == u"oddHeader" ? &p.header : &p.footer;
            text->clear();
        } else if (n == u"rowBreaks" || n == u"colBreaks") {
            breaks = n == u"rowBreaks" ? &p.rowBreaks : &p.columnBreaks;
            breakLimit = n == u"rowBreaks" ? kMaxRows - 1 : kMaxColumns - 1;
            breaks->clear();
        } else if (n == u"brk" && breaks) {
            // a break after the row (column) numbered id: the next page starts at index id
            const int id = bounded(plain(a, u"id"), 0, breakLimit, 0);
            if (id > 0 && !breaks->contains(id) && breaks->size() < 1026)
                *breaks << id;
        }
    }
    if (r.hasError() || depth > kMaxXmlDepth)
        throw ECorruptWorkbook(QStringLiteral("ブックのファイルが壊れています。(シートの印刷の設定)"));
}

} // namespace

namespace {

// The part of each sheet, by the sheet's place; empty where there is none.
QList<std::string> sheetParts(const orcus::zip_archive& archive, const ImportContext& ctx)
{
    QHash<QString, QString> targets; // relationship -> part
    eachElement(ods::part(archive, "xl/_rels/workbook.xml.rels"), "workbook.xml.rels", [&](QXmlStreamReader& r) {
        if (r.name() == u"Relationship")
            targets.insert(plain(r.attributes(), u"Id").toString(), plain(r.attributes(), u"Target").toString());
    });
    QHash<QString, QString> partOfSheet; // by the name the workbook gives
    eachElement(ods::part(archive, "xl/workbook.xml"), "workbook.xml", [&](QXmlStreamReader& r) {
        if (r.name() == u"sheet") {
            const QString id = r.attributes().value(kRelations.toString(), QStringLiteral("id")).toString();
            partOfSheet.insert(plain(r.attributes(), u"name").toString(), targets.value(id));
        }
    });
    QList<std::string> parts;
    for (int i = 0; i < ctx.book.sheets.size() && i < ctx.givenNames.size(); ++i) {
        const QString target = partOfSheet.value(ctx.givenNames[i]);
        parts << (target.isEmpty() ? std::string() : partPath(target));
    }
    return parts;
}

int errorCode(QStringView text)
{
    for (int code : {0x00, 0x07, 0x0F, 0x17, 0x1D, 0x24, 0x2A})
        if (text.trimmed().compare(errorText(code), Qt::CaseInsensitive) == 0)
            return code;
    return 0x0F;
}

// The cells of one sheet part that the reader takes wrongly: texts written
// in the cell, error values, the results of formulas that are errors or
// truths, formulas without a result (worked out after loading), and
// shared string cells without an index.
void readCells(const QByteArray& xml, ImportSheet& sheet, ImportContext& ctx)
{
    struct {
        int row = -1, col = -1;
        QString type, value, inline_;
        bool formula = false;
    } c;
    int row = -1, col = -1, depth = 0, phonetic = 0;
    QString* text = nullptr;
    QXmlStreamReader r(xml);
    while (!r.atEnd()) {
        const auto token = r.readNext();
        if (token == QXmlStreamReader::Characters && text) {
            if (!phonetic && text->size() < kMaxTextLength)
                *text += r.text();
            continue;
        }
        if (token == QXmlStreamReader::StartElement) {
            if (++depth > kMaxXmlDepth)
                break;
            const QStringView n = r.name();
            const QXmlStreamAttributes a = r.attributes();
            if (n == u"row") {
                const auto at = number(plain(a, u"r"));
                row = at ? int(*at) - 1 : row + 1;
                col = -1;
            } else if (n == u"c") {
                const auto at = parseCell(plain(a, u"r").toString());
                col = at ? at->col : col + 1;
                if (at)
                    row = at->row;
                c = {};
                c.row = row;
                c.col = col;
                c.type = plain(a, u"t").toString();
            } else if (n == u"f") {
                c.formula = true;
            } else if (n == u"v") {
                text = &c.value;
            } else if (n == u"t" && !phonetic) {
                text = &c.inline_;
            } else if (n == u"rPh") {
                ++phonetic;
            }
            continue;
        }
        if (token != QXmlStreamReader::EndElement)
            continue;
        --depth;
        text = nullptr;
        const QStringView n = r.name();
        if (n == u"rPh") {
            --phonetic;
            continue;
        }
        if (n != u"c" || c.row < 0 || c.col < 0 || c.row >= kMaxRows || c.col >= kMaxColumns)
            continue;
        Cell* cell = sheet.sheet().cell(c.row, c.col);
        const bool noValue = c.value.trimmed().isEmpty();
        if (c.formula) {
            if (!cell || cell->kind != CellKind::Formula)
                continue;
            if (noValue) {
                cell->result = CellKind::Empty; // worked out after loading
                cell->number = 0;
                cell->text.clear();
            } else if (c.type == u"e") {
                cell->result = CellKind::Error;
                cell->number = errorCode(c.value);
            } else if (c.type == u"b") {
                cell->result = CellKind::Boolean;
                cell->number = c.value.trimmed() == u"1" || c.value.trimmed() == u"true";
            }
        } else if (c.type == u"inlineStr") {
            if (Cell* v = sheet.valueCell(c.row, c.col)) {
                v->kind = CellKind::Text;
                v->text = ctx.fitText(decodeEscapes(c.inline_));
            }
        } else if (c.type == u"e" && !noValue) {
            if (Cell* v = sheet.valueCell(c.row, c.col)) {
                v->kind = CellKind::Error;
                v->number = errorCode(c.value);
            }
        } else if (c.type == u"s" && noValue && cell && cell->kind == CellKind::Text) {
            cell->kind = CellKind::Empty; // no string at all, not the first one
            cell->text.clear();
            cell->runs.clear();
        }
    }
    if (r.hasError() || depth > kMaxXmlDepth)
        throw ECorruptWorkbook(QStringLiteral("ブックのファイルが壊れています。(シートのセル)"));
}

} // namespace

void addXlsxCells(const QByteArray& package, const std::set<QByteArray>& parts, ImportContext& ctx,
                  const std::function<ImportSheet*(int)>& sheetAt)
{
    if (ctx.kind != PackageKind::Xlsx || parts.empty())
        return;
    orcus::zip_archive_stream_blob stream(reinterpret_cast<const uint8_t*>(package.constData()), size_t(package.size()));
    orcus::zip_archive archive(&stream);
    archive.load();
    const QList<std::string> names = sheetParts(archive, ctx);
    for (int i = 0; i < names.size(); ++i) {
        if (names[i].empty() || !parts.count(QByteArray::fromStdString(names[i])))
            continue;
        if (ImportSheet* sheet = sheetAt(i))
            readCells(ods::part(archive, names[i]), *sheet, ctx);
    }
}

void addXlsxSheetExtras(const QByteArray& package, ImportContext& ctx)
{
    if (ctx.kind != PackageKind::Xlsx)
        return;
    orcus::zip_archive_stream_blob stream(reinterpret_cast<const uint8_t*>(package.constData()), size_t(package.size()));
    orcus::zip_archive archive(&stream);
    archive.load();
    const QList<std::string> names = sheetParts(archive, ctx);
    for (int i = 0; i < names.size(); ++i) {
        if (names[i].empty())
            continue;
        const QByteArray xml = ods::part(archive, names[i]);
        if (!xml.isEmpty())
            readSheet(withoutCells(xml), ctx.book.sheets[i]);
    }
}

} // namespace tegaro::sheets
