#include "sheets/package/PackageScan.h"

#include "sheets/model/CellReference.h"

#include <orcus/exception.hpp>
#include <orcus/sax_ns_parser.hpp>
#include <orcus/xml_namespace.hpp>

#include <QXmlStreamReader>

#include <algorithm>
#include <cstring>
#include <map>
#include <stdexcept>
#include <utility>
#include <string>
#include <string_view>

namespace tegaro::sheets {

namespace {

// Limits on the work the reader does for repeat counts and column spans.
constexpr qint64 kMaxRepeatedCells = 256ll << 20; // cells stepped over in one part
constexpr qint64 kMaxRowsInTable = 1ll << 30;     // rows counted in one table
constexpr qint64 kMaxColumnSpans = 1ll << 20;     // columns named by <col> elements of one part
constexpr qint64 kMaxArrayCells = 1ll << 20;      // cells of one array formula
constexpr qint64 kMaxRowsRepeated = 1ll << 24;    // the largest sheets LibreOffice makes
constexpr qint64 kMaxExpandedRows = 64ll << 20;   // bytes of repeated rows written out in one part

constexpr std::string_view kSpreadsheetMl = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kOdfTable = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr std::string_view kOdfStyle = "urn:oasis:names:tc:opendocument:xmlns:style:1.0";
constexpr std::string_view kOdfOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr std::string_view kOdfText = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
constexpr std::string_view kOdfDrawing = "urn:oasis:names:tc:opendocument:xmlns:drawing:1.0";

// What the reader passes over, as the message after loading names it.
const QString kOtherHeaders = QStringLiteral("偶数ページと先頭ページのヘッダーとフッター");
const QString kAlignment = QStringLiteral("文字の折り返し・字下げ・回転");
const QString kThemeFill = QStringLiteral("テーマの色による塗りつぶし");
const QString kLinks = QStringLiteral("ハイパーリンク");
const QString kValidation = QStringLiteral("入力規則");
const QString kProtection = QStringLiteral("シートの保護");
const QString kHiddenSheets = QStringLiteral("シートの非表示");
const QString kComments = QStringLiteral("コメント");
const QString kShapes = QStringLiteral("図形・画像");

struct Edit {
    qsizetype at, length;
    QByteArray text;
};

std::string_view nsOf(orcus::xmlns_id_t ns)
{
    return ns ? std::string_view(ns) : std::string_view();
}

bool isTrue(std::string_view v)
{
    return v == "1" || v == "true";
}

// Watches one part go through the reader's own parser: counts what would
// make the reader loop or allocate without bound, refuses what would make
// it fail an internal check, notes the edits that mend the part and what
// the reader would pass over.
class PartScanner {
public:
    PartScanner(PackageKind kind, const char* base) : kind_(kind), base_(base) {}

    void doctype(const orcus::sax::doctype_declaration&) {}
    void start_declaration(std::string_view) {}
    void end_declaration(std::string_view) {}
    void characters(std::string_view text, bool transient)
    {
        text_ += text;
        textDecoded_ = textDecoded_ || transient;
    }
    void attribute(std::string_view, std::string_view) {}
    void attribute(const orcus::sax_ns_parser_attribute& a) { attrs_.push_back(a); }

    void start_element(const orcus::sax_ns_parser_element& e)
    {
        // the parser does not count the depth
        if (qsizetype(stack_.size()) >= kMaxXmlDepth)
            throw tooLarge(QStringLiteral("入れ子の深さ"));
        endText(e.begin_pos);
        family_.clear();
        if (kind_ == PackageKind::Xlsx)
            xlsxElement(e);
        else
            odsElement(e);
        attrs_.clear();
        stack_.push_back({nsOf(e.ns), e.name, family_});
        textFrom_ = e.end_pos;
    }

    void end_element(const orcus::sax_ns_parser_element& e)
    {
        if (kind_ == PackageKind::Xlsx && nsOf(e.ns) == kSpreadsheetMl)
            xlsxEndElement(e.name);
        endText(e.begin_pos);
        if (kind_ == PackageKind::Ods)
            odsEndElement(e);
        if (cutDepth_ == qsizetype(stack_.size()) - 1) {
            edits.push_back({cutFrom_, e.end_pos - cutFrom_, {}});
            cutDepth_ = -1;
        }
        if (!stack_.empty())
            stack_.pop_back();
        if (stack_.empty())
            rootEnd_ = e.end_pos;
        textFrom_ = e.end_pos;
    }

    void checkEnd(QByteArrayView data) const { checkXmlEnd(data, rootEnd_, !stack_.empty()); }

    std::vector<Edit> edits;
    std::vector<QString> sharedTexts;
    bool cellPass = false;
    qint64 valueCells = 0;
    bool date1904 = false;
    std::set<QString> unread;

private:
    struct Open {
        std::string_view ns, name;
        std::string family; // of a style
    };

    const orcus::sax_ns_parser_attribute* find(std::string_view ns, std::string_view name) const
    {
        for (const auto& a : attrs_)
            if (a.name == name && nsOf(a.ns) == ns)
                return &a;
        return nullptr;
    }

    std::string_view value(std::string_view ns, std::string_view name) const
    {
        const auto* a = find(ns, name);
        return a ? a->value : std::string_view();
    }

    static qint64 number(const orcus::sax_ns_parser_attribute* a, qint64 otherwise)
    {
        if (!a)
            return otherwise;
        bool ok = false;
        const qint64 v = QByteArray(a->value.data(), qsizetype(a->value.size())).trimmed().toLongLong(&ok);
        return ok ? v : otherwise;
    }

    // Replaces an attribute's value where it stands in the part.
    void replaceValue(const orcus::sax_ns_parser_attribute& a, const QByteArray& text)
    {
        if (!a.transient)
            edits.push_back({a.value.data() - base_, qsizetype(a.value.size()), text});
    }

    // Leaves out the element that starts here, with all it holds.
    void cut(const orcus::sax_ns_parser_element& e)
    {
        if (cutDepth_ < 0) {
            cutDepth_ = qsizetype(stack_.size());
            cutFrom_ = e.begin_pos;
        }
    }

    // The raw bytes from `from` to `to` with the edits made inside them,
    // which leave the list: the region is about to be replaced as a whole.
    QByteArray takeEdited(qsizetype from, qsizetype to)
    {
        QByteArray out(base_ + from, to - from);
        std::vector<Edit> inside;
        for (auto it = edits.begin(); it != edits.end();) {
            if (it->at >= from && it->at < to) {
                inside.push_back(*it);
                it = edits.erase(it);
            } else {
                ++it;
            }
        }
        std::stable_sort(inside.begin(), inside.end(), [](const Edit& a, const Edit& b) { return a.at > b.at; });
        for (const Edit& edit : inside)
            out.replace(edit.at - from, edit.length, edit.text);
        return out;
    }

    static bool selfClosing(const char* base, const orcus::sax_ns_parser_element& e)
    {
        return e.end_pos >= 2 && base[e.end_pos - 2] == '/';
    }

    // The element's name as the part writes it, with its prefix.
    QByteArray qualifiedName(const orcus::sax_ns_parser_element& e) const
    {
        qsizetype end = e.begin_pos + 1;
        while (end < e.end_pos && !std::strchr(" \t\r\n/>", base_[end]))
            ++end;
        return QByteArray(base_ + e.begin_pos + 1, end - e.begin_pos - 1);
    }

    // Text with character or entity references reaches the .ods reader
    // as decoded text, which its paragraphs keep in a pool that it empties
    // before every paragraph and then cannot use: the program ends. Written
    // out as it reads, with "<" and "&" in a CDATA section, the text comes
    // to it as it stands in the part.
    void endText(qsizetype until)
    {
        if (kind_ == PackageKind::Ods && textDecoded_ && cutDepth_ < 0 && until >= textFrom_) {
            QByteArray text(text_.data(), qsizetype(text_.size()));
            if (text.contains('<') || text.contains('&'))
                text = "<![CDATA[" + text.replace("]]>", "]]]]><![CDATA[>") + "]]>";
            edits.push_back({textFrom_, until - textFrom_, text});
        }
        text_.clear();
        textDecoded_ = false;
    }

    // The text of a shared string as Excel shows it: its runs after any
    // plain text before them, without phonetic readings, "_x000D_" and the
    // like as the characters they stand for. The reader keeps the text of
    // the string before an empty one and drops plain text before runs.
    void xlsxEndElement(std::string_view n)
    {
        if (n == "t" && cutDepth_ < 0) {
            sharedText_ += text_;
        } else if (n == "v") {
            cell_.valueText = !QByteArrayView(text_.data(), qsizetype(text_.size())).trimmed().isEmpty();
        } else if (n == "si") {
            sharedTexts.push_back(decodeEscapes(QString::fromStdString(sharedText_)));
            sharedText_.clear();
        } else if (n == "c" && cell_.open) {
            // an empty shared string index, or a formula without its result
            if ((cellType_ == "s" || cell_.formula) && !cell_.valueText)
                cellPass = true;
            valueCells += cell_.valueText;
            cell_ = {};
        }
    }

    void xlsxElement(const orcus::sax_ns_parser_element& e)
    {
        if (nsOf(e.ns) != kSpreadsheetMl)
            return;
        const std::string_view n = e.name;
        if (n == "rPh") {
            cut(e); // the reader would take the phonetic reading for the text itself
        } else if (n == "workbookPr") {
            // the reader counts every date from 1900; Mac workbooks count from 1904
            date1904 = isTrue(value({}, "date1904"));
        } else if (n == "col") {
            const qint64 first = number(find({}, "min"), 1), last = number(find({}, "max"), first);
            if (first < 1 || last < first || last > kGridColumns)
                throw damaged(QStringLiteral("(列の範囲 %1-%2)").arg(first).arg(last));
            columnSpans_ += last - first + 1;
            if (columnSpans_ > kMaxColumnSpans)
                throw tooLarge(QStringLiteral("列の設定"));
        } else if (n == "c") {
            cellType_ = value({}, "t");
            cell_ = {true, false, false, false};
            // the reader passes over texts written in the cell and error
            // values; our own pass over the cells reads them
            if (cellType_ == "e" || cellType_ == "inlineStr")
                cellPass = true;
        } else if (n == "v") {
            cell_.value = true;
        } else if (n == "is") {
            cell_.valueText = true;
        } else if (n == "si") {
            sharedText_.clear();
        } else if (n == "f") {
            cell_.formula = true;
            if (cellType_ == "b" || cellType_ == "e")
                cellPass = true; // results the reader drops
            const auto* ref = find({}, "ref");
            if (value({}, "t") == "array" && ref) {
                const auto areas = parseAreas(QString::fromUtf8(ref->value.data(), qsizetype(ref->value.size())));
                if (areas && !areas->isEmpty()) {
                    const Range& r = areas->first().range;
                    if (qint64(r.lastRow - r.firstRow + 1) * (r.lastCol - r.firstCol + 1) > kMaxArrayCells)
                        throw tooLarge(QStringLiteral("配列数式"));
                }
            }
        } else if (n == "evenHeader" || n == "firstHeader" || n == "evenFooter" || n == "firstFooter") {
            unread.insert(kOtherHeaders);
        } else if (n == "alignment") {
            for (const char* a : {"wrapText", "shrinkToFit"})
                if (isTrue(value({}, a)))
                    unread.insert(kAlignment);
            for (const char* a : {"indent", "textRotation"})
                if (number(find({}, a), 0) != 0)
                    unread.insert(kAlignment);
        } else if (n == "fgColor" && find({}, "theme")) {
            unread.insert(kThemeFill);
        } else if (n == "hyperlink") {
            unread.insert(kLinks);
        } else if (n == "dataValidation") {
            unread.insert(kValidation);
        } else if (n == "sheetProtection") {
            unread.insert(kProtection);
        } else if (n == "sheet") {
            if (!value({}, "state").empty() && value({}, "state") != "visible")
                unread.insert(kHiddenSheets);
            // the reader puts formulas on the sheet whose place is the
            // sheetId, so the ids are numbered in the order of the sheets
            if (const auto* id = find({}, "sheetId"))
                replaceValue(*id, QByteArray::number(++sheets_));
        }
        if (n == "row" || n == "col") {
            // the reader reads "true" as 0: hidden rows and columns written so would show
            if (const auto* hidden = find({}, "hidden")) {
                if (hidden->value == "true")
                    replaceValue(*hidden, "1");
                else if (hidden->value == "false")
                    replaceValue(*hidden, "0");
            }
        }
    }

    void odsElement(const orcus::sax_ns_parser_element& e)
    {
        const std::string_view ns = nsOf(e.ns);
        const std::string_view n = e.name;
        const Open* parent = stack_.empty() ? nullptr : &stack_.back();
        if (ns == kOdfStyle) {
            odsStyle(e, parent);
        } else if (ns == kOdfTable && n == "dde-links") {
            cut(e); // cached linked data: the reader fails on the tables inside
        } else if (ns == kOdfTable && n == "table") {
            rowsInTable_ = 0;
            columnsInTable_ = 0;
        } else if (ns == kOdfTable && n == "table-column") {
            odsColumn(e);
        } else if (ns == kOdfTable && n == "table-row") {
            const auto* repeated = find(kOdfTable, "number-rows-repeated");
            const qint64 rows = number(repeated, 1);
            if (rows < 1 || rows > kMaxRowsRepeated)
                throw damaged(QStringLiteral("(行の繰り返し %1)").arg(rows));
            row_ = {e.begin_pos, rows, rowsInTable_, -1, -1, false};
            if (repeated && !repeated->transient) {
                row_.countAt = repeated->value.data() - base_;
                row_.countLength = qsizetype(repeated->value.size());
            }
            rowsInTable_ += rows;
            if (rowsInTable_ > kMaxRowsInTable)
                throw tooLarge(QStringLiteral("行数"));
        } else if (ns == kOdfTable && (n == "table-cell" || n == "covered-table-cell")) {
            odsCell();
            paragraphs_.clear();
            if (n == "covered-table-cell")
                renameCovered(e);
        } else if (ns == kOdfOffice && n == "annotation") {
            unread.insert(kComments);
            cut(e); // the reader would take its paragraphs for the cell's text
        } else if (ns == kOdfText && parent && parent->ns == kOdfText && inCell()) {
            odsTextElement(e);
        } else if (ns == kOdfText && n == "p" && parent && parent->ns == kOdfTable && parent->name == "table-cell") {
            paragraphs_.push_back({e.begin_pos, e.end_pos, e.end_pos, e.end_pos, selfClosing(base_, e), qualifiedName(e)});
        } else if (ns == kOdfDrawing && (n == "frame" || n == "custom-shape" || n == "line" || n == "rect")) {
            unread.insert(kShapes);
        }
    }

    void odsEndElement(const orcus::sax_ns_parser_element& e)
    {
        const std::string_view ns = nsOf(e.ns), n = e.name;
        if (ns == kOdfTable && n == "table-row")
            endOdsRow(e);
        else if (ns == kOdfTable && (n == "table-cell" || n == "covered-table-cell"))
            endOdsCell(e);
        else if (ns == kOdfText && n == "p" && !paragraphs_.empty() && paragraphs_.back().end == paragraphs_.back().openEnd
                 && !paragraphs_.back().selfClosing)
            paragraphs_.back().closeBegin = e.begin_pos, paragraphs_.back().end = e.end_pos;
    }

    bool inCell() const
    {
        for (auto it = stack_.rbegin(); it != stack_.rend(); ++it)
            if (it->ns == kOdfTable)
                return it->name == "table-cell" || it->name == "covered-table-cell";
        return false;
    }

    // Spaces, tabs and line breaks inside a paragraph of a cell: the reader passes
    // over them, so they are written as the characters they stand for.
    void odsTextElement(const orcus::sax_ns_parser_element& e)
    {
        const std::string_view n = e.name;
        if (n != "s" && n != "tab" && n != "line-break")
            return;
        if (!selfClosing(base_, e))
            return; // these elements hold nothing; one that does is left to the reader
        QByteArray text;
        if (n == "s")
            text = QByteArray(int(std::clamp<qint64>(number(find(kOdfText, "c"), 1), 1, 1024)), ' ');
        else
            text = n == "tab" ? "\t" : "\n";
        edits.push_back({e.begin_pos, e.end_pos - e.begin_pos, text});
    }

    // A covered cell is still a column of the row, but the reader steps
    // over it without counting it: the cells after it would move left.
    void renameCovered(const orcus::sax_ns_parser_element& e)
    {
        const QByteArray name = qualifiedName(e);
        const qsizetype at = name.indexOf("covered-table-cell");
        if (at >= 0)
            edits.push_back({e.begin_pos + 1 + at, qsizetype(sizeof("covered-")) - 1, {}});
        coveredOpen_ = !selfClosing(base_, e);
    }

    // The reader keeps only the last paragraph of a cell: the paragraphs
    // of a cell become one, their texts joined by line breaks.
    void endOdsCell(const orcus::sax_ns_parser_element& e)
    {
        if (coveredOpen_ && nsOf(e.ns) == kOdfTable && e.name == "covered-table-cell") {
            const qsizetype at = QByteArray(base_ + e.begin_pos, e.end_pos - e.begin_pos).indexOf("covered-table-cell");
            if (at >= 0)
                edits.push_back({e.begin_pos + at, qsizetype(sizeof("covered-")) - 1, {}});
        }
        coveredOpen_ = false;
        std::vector<Paragraph> paragraphs = std::move(paragraphs_);
        paragraphs_.clear();
        if (paragraphs.size() < 2 || cutDepth_ >= 0)
            return;
        const Paragraph& first = paragraphs.front();
        const Paragraph& last = paragraphs.back();
        if (last.end <= last.openEnd && !last.selfClosing)
            return; // not closed as expected: left as it is
        QByteArray inner;
        for (size_t i = 0; i < paragraphs.size(); ++i) {
            const Paragraph& p = paragraphs[i];
            if (i > 0)
                inner += '\n';
            if (!p.selfClosing)
                inner += takeEdited(p.openEnd, p.closeBegin);
        }
        QByteArray open(base_ + first.begin, first.openEnd - first.begin);
        if (first.selfClosing)
            open = open.chopped(2).trimmed() + '>';
        takeEdited(first.begin, last.end); // what lay between them goes too
        edits.push_back({first.begin, last.end - first.begin, open + inner + "</" + first.name + '>'});
    }

    void odsStyle(const orcus::sax_ns_parser_element& e, const Open* parent)
    {
        const std::string_view n = e.name;
        if (n == "default-style") {
            family_ = value(kOdfStyle, "family"); // Gnumeric gives its default column width so
        } else if (n == "style") {
            family_ = value(kOdfStyle, "family");
            // of two styles of one name, the reader keeps the first
            const auto* name = find(kOdfStyle, "name");
            if (name && parent && parent->ns == kOdfOffice && parent->name == "automatic-styles")
                families_.emplace(std::string(name->value), family_);
        } else if (n == "table-column-properties" || n == "table-row-properties") {
            // the reader keeps these in a place that only a style of the
            // matching family has
            const std::string_view wanted = n == "table-column-properties" ? "table-column" : "table-row";
            if (!parent || parent->ns != kOdfStyle || (parent->name != "style" && parent->name != "default-style")
                || parent->family != wanted)
                throw damaged(QStringLiteral("(スタイルの種類)"));
        }
    }

    void odsColumn(const orcus::sax_ns_parser_element& e)
    {
        // the reader takes a column's width from its style without looking
        // at what kind of style it is
        if (const auto* style = find(kOdfTable, "style-name")) {
            auto it = families_.find(std::string(style->value));
            if (it != families_.end() && it->second != "table-column")
                throw damaged(QStringLiteral("(列のスタイル)"));
        }
        // The reader moves one column on for a column element however many
        // columns it stands for, so the widths after it would land on the
        // wrong columns: such an element is written once per column, as
        // far as an .xls sheet reaches.
        const auto* repeated = find(kOdfTable, "number-columns-repeated");
        const qint64 count = number(repeated, 1);
        if (count < 1 || count > kGridColumns)
            throw damaged(QStringLiteral("(列の繰り返し %1)").arg(count));
        const qint64 copies = std::min<qint64>(count, std::max<qint64>(0, kMaxColumns - columnsInTable_));
        columnsInTable_ += count;
        const bool selfClosing = e.end_pos >= 2 && base_[e.end_pos - 2] == '/';
        if (count == 1 || copies < 1 || !selfClosing || repeated->transient)
            return;
        const qsizetype valueAt = repeated->value.data() - base_;
        const QByteArray element(base_ + e.begin_pos, e.end_pos - e.begin_pos);
        QByteArray one = element;
        one.replace(valueAt - e.begin_pos, qsizetype(repeated->value.size()), "1");
        edits.push_back({e.begin_pos, e.end_pos - e.begin_pos, one.repeated(copies)});
    }

    void odsCell()
    {
        const qint64 cells = number(find(kOdfTable, "number-columns-repeated"), 1);
        if (cells < 1 || cells > kGridColumns)
            throw damaged(QStringLiteral("(セルの繰り返し %1)").arg(cells));
        repeatedCells_ += cells;
        if (repeatedCells_ > kMaxRepeatedCells)
            throw tooLarge(QStringLiteral("セル数"));
        // the reader keeps the value of number cells only: percentages and
        // amounts of money would lose theirs
        const auto* type = find(kOdfOffice, "value-type");
        if (type && (type->value == "percentage" || type->value == "currency"))
            replaceValue(*type, "float");
        row_.hasValues = row_.hasValues || type || find(kOdfTable, "formula");
        if (type)
            ++valueCells;
    }

    // The reader reads a row that stands for several only once, so the
    // values of the rows after it would be lost: such a row is written
    // once for each row, as far as an .xls sheet reaches, with the edits
    // made inside it.
    void endOdsRow(const orcus::sax_ns_parser_element& e)
    {
        const OdsRow row = row_;
        row_ = OdsRow{};
        if (row.count <= 1 || !row.hasValues || row.countAt < 0 || cutDepth_ >= 0)
            return;
        const qint64 copies = std::min<qint64>(row.count, std::max<qint64>(0, kMaxRows - row.firstRow));
        if (copies < 2)
            return;
        QByteArray one(base_ + row.begin, e.end_pos - row.begin);
        // the edits inside the row, last first so that positions hold
        std::vector<Edit> inside;
        for (auto it = edits.begin(); it != edits.end();) {
            if (it->at >= row.begin && it->at < e.end_pos) {
                inside.push_back(*it);
                it = edits.erase(it);
            } else {
                ++it;
            }
        }
        inside.push_back({row.countAt, row.countLength, "1"});
        std::sort(inside.begin(), inside.end(), [](const Edit& a, const Edit& b) { return a.at > b.at; });
        for (const Edit& edit : inside)
            one.replace(edit.at - row.begin, edit.length, edit.text);
        expanded_ += one.size() * copies;
        if (expanded_ > kMaxExpandedRows)
            throw tooLarge(QStringLiteral("行の繰り返し"));
        QByteArray text = one.repeated(copies);
        if (row.count > copies) {
            // the rest lies past the last row: the reader counts it as what was left out
            QByteArray rest(base_ + row.begin, e.end_pos - row.begin);
            rest.replace(row.countAt - row.begin, row.countLength, QByteArray::number(row.count - copies));
            text += rest;
        }
        edits.push_back({row.begin, e.end_pos - row.begin, text});
    }

    struct OdsRow {
        qsizetype begin = 0;
        qint64 count = 1, firstRow = 0;
        qsizetype countAt = -1, countLength = -1; // where the repeat count stands
        bool hasValues = false;
    };

    struct Paragraph {
        qsizetype begin, openEnd, closeBegin, end;
        bool selfClosing;
        QByteArray name;
    };

    PackageKind kind_;
    const char* base_;
    std::string text_;         // since the last tag
    bool textDecoded_ = false; // held a reference
    qsizetype textFrom_ = 0;
    std::vector<Paragraph> paragraphs_; // of the cell being read
    bool coveredOpen_ = false;
    OdsRow row_;
    qint64 expanded_ = 0;
    std::vector<orcus::sax_ns_parser_attribute> attrs_;
    std::vector<Open> stack_;
    std::string family_;
    std::map<std::string, std::string> families_;
    std::string cellType_;
    struct {
        bool open = false, formula = false, value = false, valueText = false;
    } cell_;
    std::string sharedText_;
    qsizetype cutDepth_ = -1;
    qsizetype cutFrom_ = 0;
    int sheets_ = 0;
    qsizetype rootEnd_ = -1; // where the root element ends, once it has
    qint64 columnSpans_ = 0, repeatedCells_ = 0, rowsInTable_ = 0, columnsInTable_ = 0;
};

enum class PartText {
    NotXml,
    Utf8,
    Other
};

// What the reader would make of a part: XML in UTF-8, XML in another
// encoding (it converts UTF-16), or no XML at all (pictures and such).
PartText partText(const QByteArray& data)
{
    if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF"))
        return PartText::Other;
    QByteArrayView rest(data);
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3);
    rest = rest.trimmed();
    return rest.startsWith('<') ? PartText::Utf8 : PartText::NotXml;
}

// The parser ends the program (an assertion) on a character reference
// past Unicode or with a sign, and throws from inside on some others, so
// every reference is looked at before it parses: the bytes are searched,
// not parsed, and only a reference out of form has a closer look.
bool insideUnparsed(QByteArrayView data, qsizetype at)
{
    for (const auto& [open, close] : {std::pair("<!--", "-->"), std::pair("<![CDATA[", "]]>")}) {
        const qsizetype from = data.first(at).lastIndexOf(open);
        if (from >= 0 && data.indexOf(close, from + qsizetype(std::strlen(open))) > at)
            return true;
    }
    return false;
}

void checkReferences(QByteArrayView data)
{
    const char* const begin = data.data();
    const char* const end = begin + data.size();
    for (const char* p = begin; (p = static_cast<const char*>(std::memchr(p, '&', size_t(end - p)))); ++p) {
        if (end - p < 2 || p[1] != '#')
            continue;
        const bool hex = end - p > 2 && p[2] == 'x';
        const char* q = p + (hex ? 3 : 2);
        char32_t code = 0;
        int digits = 0;
        for (; q < end && digits <= 8; ++q, ++digits) {
            const char c = *q;
            const int d = c >= '0' && c <= '9'                  ? c - '0'
                : hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10
                                                                : -1;
            if (d < 0)
                break;
            code = code * (hex ? 16 : 10) + char32_t(d);
        }
        if ((digits == 0 || digits > 8 || q == end || *q != ';' || code > 0x10FFFF) && !insideUnparsed(data, p - begin))
            throw damaged(QStringLiteral("(文字参照 %1)").arg(QString::fromLatin1(p, std::min<qsizetype>(end - p, 12))));
    }
}

// Parts in another encoding than UTF-8 are rare; the reader converts them
// itself, so Qt's parser checks them first.
void checkWellFormed(const QByteArray& data, const QByteArray& name)
{
    QXmlStreamReader xml(data);
    xml.setNamespaceProcessing(false); // the reader's own parser checks those
    int depth = 0;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement && ++depth > kMaxXmlDepth)
            throw tooLarge(QStringLiteral("入れ子の深さ"));
        if (token == QXmlStreamReader::EndElement)
            --depth;
    }
    if (xml.hasError())
        throw damaged(QStringLiteral("(部品「%1」%2 行 %3 桁: %4)")
                          .arg(QString::fromUtf8(name))
                          .arg(xml.lineNumber())
                          .arg(xml.columnNumber())
                          .arg(xml.errorString()));
}

} // namespace

void checkXmlEnd(QByteArrayView data, qsizetype rootEnd, bool open)
{
    if (open || rootEnd < 0)
        throw damaged(QStringLiteral("(途中で切れています)"));
    QByteArrayView rest = data.sliced(std::min(rootEnd, data.size()));
    while (!(rest = rest.trimmed()).isEmpty()) {
        const char* close = rest.startsWith("<!--") ? "-->" : rest.startsWith("<?") ? "?>"
                                                                                    : nullptr;
        const qsizetype end = close ? rest.indexOf(close, 2) : -1;
        if (end < 0)
            throw damaged(QStringLiteral("(ルート要素の後)"));
        rest = rest.sliced(end + std::strlen(close));
    }
}

QByteArray xmlPartText(const QByteArray& data, const QByteArray& name)
{
    if (QByteArrayView(data).trimmed().isEmpty())
        return {};
    const PartText text = partText(data);
    if (text == PartText::NotXml) {
        if (name.endsWith(".xml") || name.endsWith(".rels"))
            throw damaged(QStringLiteral("(部品「%1」が XML ではありません)").arg(QString::fromUtf8(name)));
        return {};
    }
    if (text == PartText::Other) {
        checkWellFormed(data, name);
        // UTF-16, by its byte order mark
        const bool little = data.startsWith("\xFF\xFE");
        QString decoded(qsizetype(data.size() / 2 - 1), Qt::Uninitialized);
        for (qsizetype i = 0; i < decoded.size(); ++i) {
            const auto lo = uchar(data[2 + 2 * i + (little ? 0 : 1)]), hi = uchar(data[2 + 2 * i + (little ? 1 : 0)]);
            decoded[i] = QChar(char16_t(lo | (hi << 8)));
        }
        const QByteArray utf8 = decoded.toUtf8();
        checkReferences(utf8);
        return utf8;
    }
    checkReferences(data);
    return data;
}

QString decodeEscapes(const QString& text)
{
    if (!text.contains(QStringLiteral("_x")))
        return text;
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        bool ok = false;
        const uint code = i + 7 <= text.size() && text[i] == u'_' && text[i + 1] == u'x' && text[i + 6] == u'_'
            ? text.mid(i + 2, 4).toUInt(&ok, 16)
            : 0;
        if (ok) {
            out += QChar(char16_t(code));
            i += 6;
        } else {
            out += text[i];
        }
    }
    return out;
}

ScannedPart scanPart(const std::vector<unsigned char>& buffer, const QByteArray& name, PackageKind kind)
{
    const char* begin = reinterpret_cast<const char*>(buffer.data());
    const QByteArray data = QByteArray::fromRawData(begin, qsizetype(buffer.size() - 1));
    if (data.trimmed().isEmpty())
        return {}; // an empty part (LibreOffice leaves some) holds nothing to read, and is no damage
    const PartText text = partText(data);
    if (text == PartText::NotXml) {
        // pictures and the like are not XML; an XML part that is not may
        // still reach the reader unchecked, and it does not always fail cleanly
        if (name.endsWith(".xml") || name.endsWith(".rels"))
            throw damaged(QStringLiteral("(部品「%1」が XML ではありません)").arg(QString::fromUtf8(name)));
        return {};
    }
    if (text != PartText::Utf8) {
        checkWellFormed(data, name);
        return {};
    }
    // One pass: the reader's own parser, with the checks it leaves out.
    checkReferences(data);
    PartScanner scanner(kind, begin);
    orcus::xmlns_repository namespaces;
    orcus::xmlns_context context = namespaces.create_context();
    try {
        // the parser may look at the byte after its end (an attribute name
        // running to the end): that is the NUL, not past the buffer
        orcus::sax_ns_parser<PartScanner> parser(begin, size_t(data.size()), context, scanner);
        parser.parse();
    } catch (const orcus::general_error& e) {
        throw damaged(QStringLiteral("(部品「%1」: %2)").arg(QString::fromUtf8(name), QString::fromUtf8(e.what())));
    } catch (const std::logic_error&) { // a reference the parser's number conversion refuses
        throw damaged(QStringLiteral("(部品「%1」の文字参照)").arg(QString::fromUtf8(name)));
    }
    scanner.checkEnd(data);
    ScannedPart part;
    part.date1904 = scanner.date1904;
    part.sharedTexts = std::move(scanner.sharedTexts);
    part.cellPass = scanner.cellPass;
    part.valueCells = scanner.valueCells;
    part.unread = std::move(scanner.unread);
    if (scanner.edits.empty())
        return part;
    std::stable_sort(scanner.edits.begin(), scanner.edits.end(), [](const Edit& a, const Edit& b) { return a.at < b.at; });
    qsizetype from = 0;
    for (const Edit& e : scanner.edits) {
        if (e.at < from || e.at > data.size())
            continue; // inside a part already cut
        part.mended += QByteArrayView(data).sliced(from, e.at - from);
        part.mended += e.text;
        from = std::min(e.at + e.length, data.size());
    }
    part.mended += QByteArrayView(data).sliced(from);
    return part;
}

} // namespace tegaro::sheets
