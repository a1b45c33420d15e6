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
constexpr qint64 kMaxColumnSpans = 1ll << 20; // columns named by <col> elements of one part
constexpr qint64 kMaxArrayCells = 1ll << 20;  // cells of one array formula

constexpr std::string_view kSpreadsheetMl = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

// What the reader passes over, as the message after loading names it.
const QString kOtherHeaders = QStringLiteral("偶数ページと先頭ページのヘッダーとフッター");
const QString kAlignment = QStringLiteral("文字の折り返し・字下げ・回転");
const QString kThemeFill = QStringLiteral("テーマの色による塗りつぶし");
const QString kLinks = QStringLiteral("ハイパーリンク");
const QString kValidation = QStringLiteral("入力規則");
const QString kProtection = QStringLiteral("シートの保護");
const QString kHiddenSheets = QStringLiteral("シートの非表示");

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
    explicit PartScanner(const char* base) : base_(base) {}

    void doctype(const orcus::sax::doctype_declaration&) {}
    void start_declaration(std::string_view) {}
    void end_declaration(std::string_view) {}
    void characters(std::string_view text, bool) { text_ += text; }
    void attribute(std::string_view, std::string_view) {}
    void attribute(const orcus::sax_ns_parser_attribute& a) { attrs_.push_back(a); }

    void start_element(const orcus::sax_ns_parser_element& e)
    {
        // the parser does not count the depth
        if (qsizetype(stack_.size()) >= kMaxXmlDepth)
            throw tooLarge(QStringLiteral("入れ子の深さ"));
        text_.clear();
        xlsxElement(e);
        attrs_.clear();
        stack_.push_back({nsOf(e.ns), e.name});
    }

    void end_element(const orcus::sax_ns_parser_element& e)
    {
        if (nsOf(e.ns) == kSpreadsheetMl)
            xlsxEndElement(e.name);
        text_.clear();
        if (cutDepth_ == qsizetype(stack_.size()) - 1) {
            edits.push_back({cutFrom_, e.end_pos - cutFrom_, {}});
            cutDepth_ = -1;
        }
        if (!stack_.empty())
            stack_.pop_back();
        if (stack_.empty())
            rootEnd_ = e.end_pos;
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

    const char* base_;
    std::string text_; // since the last tag
    std::vector<orcus::sax_ns_parser_attribute> attrs_;
    std::vector<Open> stack_;
    std::string cellType_;
    struct {
        bool open = false, formula = false, value = false, valueText = false;
    } cell_;
    std::string sharedText_;
    qsizetype cutDepth_ = -1;
    qsizetype cutFrom_ = 0;
    int sheets_ = 0;
    qsizetype rootEnd_ = -1; // where the root element ends, once it has
    qint64 columnSpans_ = 0;
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

// liborcus's parser steps past the end of a part whose text ends in a
// character reference and then fails its own assertion, which ends the
// program. XML never ends so: such a part is refused before it is parsed.
void checkLastByte(QByteArrayView data)
{
    if (!data.isEmpty() && data.back() == ';')
        throw damaged(QStringLiteral("(途中で切れています)"));
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
        checkLastByte(utf8);
        return utf8;
    }
    checkReferences(data);
    checkLastByte(data);
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

void writePartEnd(char* at)
{
    at[0] = 0;
    std::fill(at + 1, at + kPartEnd, kPartEndByte);
}

void endPart(std::vector<unsigned char>& buffer)
{
    const std::size_t size = buffer.size();
    buffer.resize(size + kPartEnd);
    writePartEnd(reinterpret_cast<char*>(buffer.data() + size));
}

ScannedPart scanPart(const std::vector<unsigned char>& buffer, const QByteArray& name)
{
    const char* begin = reinterpret_cast<const char*>(buffer.data());
    const QByteArray data = QByteArray::fromRawData(begin, qsizetype(partSize(buffer)));
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
    checkLastByte(data);
    PartScanner scanner(begin);
    orcus::xmlns_repository namespaces;
    orcus::xmlns_context context = namespaces.create_context();
    try {
        // the parser may look at the bytes after its end: that is the part's
        // end, not past the buffer
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
