#include "records/list/XlsxWriter.h"

#include "core/Errors.h"
#include "sheets/container/ZipWriter.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

namespace tegaro {

namespace {
constexpr int kProgressStep = 1000;
constexpr int kMinWidth = 4;
constexpr int kMaxWidth = 60;
// "2003年12月31日" at its widest.
constexpr int kDateWidth = 14;
// Deflate's fastest level: a long list spends most of its time packing,
// and the file comes out only a fifth larger than at the default level.
constexpr int kZipLevel = 1;
// The sheet's XML goes to the packer in pieces of this size.
constexpr qsizetype kChunk = 1 << 20;
constexpr int kMaxDecimals = 15;

// Cell styles: 0 plain, then these; numbers from kFirstNumberStyle on, one
// per count of decimals in use.
constexpr int kBoldStyle = 1, kDateStyle = 2, kFirstNumberStyle = 3;

bool isWide(char32_t c)
{
    // CJK, kana, full-width forms, Hangul and the planes beyond the BMP
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3)
        || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
        || (c >= 0xFFE0 && c <= 0xFFE6) || c >= 0x20000;
}

int textWidth(QStringView text)
{
    int width = 0;
    for (QChar c : text) {
        if (c.isLowSurrogate())
            continue; // counted with its high half
        width += c.isHighSurrogate() || isWide(c.unicode()) ? 2 : 1;
    }
    return width;
}

// The width of a number in the form's digits, grouped: counted, not written.
int numberWidth(double value, int decimals)
{
    if (decimals < 0)
        return 12;
    const double whole = std::fabs(value);
    const int digits = whole < 1 ? 1 : int(std::floor(std::log10(whole))) + 1;
    return (value < 0 ? 1 : 0) + digits + (digits - 1) / 3 + (decimals > 0 ? decimals + 1 : 0);
}

// Excel's number format for values of this many decimals.
QByteArray numberFormat(int decimals)
{
    QByteArray format = "#,##0";
    if (decimals > 0)
        format += '.' + QByteArray(decimals, '0');
    return format;
}

// Excel's dates begin in 1900; earlier ones stay text.
bool excelDate(const QDateTime& value)
{
    const int year = value.date().year();
    return year >= 1900 && year <= 9999;
}

// Days since 1899-12-31 and the part of the day, as Excel counts them: it
// takes 1900 for a leap year, so from March of that year on one more.
double excelSerial(const QDateTime& value)
{
    static const qint64 epoch = QDate(1899, 12, 31).toJulianDay();
    qint64 days = value.date().toJulianDay() - epoch;
    if (days >= 60)
        ++days;
    const QTime t = value.time();
    const double seconds = t.hour() * 3600 + t.minute() * 60 + (t.second() + t.msec() / 1000.0);
    return double(days) + seconds / 86400;
}

// The text a text or mark cell holds, cut to what a cell takes.
QString cellString(const ListCell& cell, bool* shortened = nullptr)
{
    QString text = cell.type == ListCell::Mark ? markText() : cell.text;
    if (text.size() > kXlsxMaxText && text.toUcs4().size() > kXlsxMaxText) {
        text = QString::fromUcs4(reinterpret_cast<const char32_t*>(text.toUcs4().constData()), kXlsxMaxText);
        if (shortened)
            *shortened = true;
    }
    return text;
}

// The A of A1 for a column counted from 0.
QByteArray columnName(int column)
{
    QByteArray name;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        name.prepend(char('A' + (c - 1) % 26));
    return name;
}

// A column's width as Excel stores it: the characters of the default font's
// digit (7 pixels) and its padding (5 pixels), in 256ths.
double storedWidth(int characters)
{
    const int pixels = characters * 7 + 5;
    return std::floor(double(pixels) / 7 * 256) / 256;
}

bool xmlSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

// "_x" four hex digits "_": Excel reads it as the character of that code,
// so such text of the user's own has its "_" written as "_x005F_".
bool looksEscaped(QStringView text, qsizetype at)
{
    if (at + 6 >= text.size() || text[at + 1] != u'x' || text[at + 6] != u'_')
        return false;
    for (qsizetype i = at + 2; i < at + 6; ++i)
        if (!isxdigit(text[i].unicode() < 0x80 ? text[i].unicode() : 0))
            return false;
    return true;
}

// The sheet's XML, handed to the package in chunks as they fill.
class SheetXml {
public:
    explicit SheetXml(sheets::ZipFileWriter& zip) : zip_(zip) { fresh(kChunk); }

    void raw(const char* data, size_t n)
    {
        room(qsizetype(n));
        std::memcpy(at_, data, n);
        at_ += n;
    }
    void raw(const QByteArray& bytes) { raw(bytes.constData(), size_t(bytes.size())); }
    template <size_t N>
    void raw(const char (&text)[N])
    {
        raw(text, N - 1);
    }
    void number(double value)
    {
        room(32);
        // 16 significant digits: every value typed comes back exactly, and
        // a sum's noise in the last bit (150.45999999999998) goes, as on the
        // form.
        at_ = std::to_chars(at_, end_, value, std::chars_format::general, 16).ptr;
    }
    void integer(qint64 value)
    {
        room(24);
        at_ = std::to_chars(at_, end_, value).ptr;
    }

    // Text as UTF-8 with XML's and Excel's escapes.
    void text(QStringView text)
    {
        room(text.size() * 7 + 1); // at worst a control character as _xHHHH_
        char* p = at_;
        const qsizetype n = text.size();
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t c = text[i].unicode();
            if (c < 0x80) {
                if (c >= 0x20 && c != u'&' && c != u'<' && c != u'>' && c != u'_') {
                    *p++ = char(c);
                    continue;
                }
                switch (c) {
                case u'&': p = put(p, "&amp;"); break;
                case u'<': p = put(p, "&lt;"); break;
                case u'>': p = put(p, "&gt;"); break;
                case u'_': p = looksEscaped(text, i) ? put(p, "_x005F_") : (*p++ = '_', p); break;
                case u'\t':
                case u'\n':
                case u'\r': *p++ = char(c); break;
                default: p = escaped(p, c); break; // XML holds no other control characters
                }
            } else if (c < 0x800) {
                *p++ = char(0xC0 | (c >> 6));
                *p++ = char(0x80 | (c & 0x3F));
            } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
                const char32_t u = QChar::surrogateToUcs4(c, text[++i].unicode());
                *p++ = char(0xF0 | (u >> 18));
                *p++ = char(0x80 | ((u >> 12) & 0x3F));
                *p++ = char(0x80 | ((u >> 6) & 0x3F));
                *p++ = char(0x80 | (u & 0x3F));
            } else if (QChar::isSurrogate(c)) {
                p = put(p, "\xEF\xBF\xBD"); // half a pair: the replacement character
            } else if (c >= 0xFFFE) {
                p = escaped(p, c);
            } else {
                *p++ = char(0xE0 | (c >> 12));
                *p++ = char(0x80 | ((c >> 6) & 0x3F));
                *p++ = char(0x80 | (c & 0x3F));
            }
        }
        at_ = p;
    }

    // What is left, handed on.
    void flush()
    {
        chunk_.truncate(at_ - chunk_.data());
        zip_.write(std::move(chunk_));
        chunk_ = QByteArray();
        at_ = end_ = nullptr;
    }

private:
    template <size_t N>
    static char* put(char* p, const char (&text)[N])
    {
        std::memcpy(p, text, N - 1);
        return p + N - 1;
    }
    static char* escaped(char* p, char16_t c)
    {
        static const char hex[] = "0123456789ABCDEF";
        p = put(p, "_x");
        for (int shift = 12; shift >= 0; shift -= 4)
            *p++ = hex[(c >> shift) & 0xF];
        *p++ = '_';
        return p;
    }
    void room(qsizetype n)
    {
        if (end_ - at_ >= n)
            return;
        if (at_)
            flush();
        fresh(std::max(kChunk, n));
    }
    void fresh(qsizetype size)
    {
        chunk_ = QByteArray(size, Qt::Uninitialized);
        at_ = chunk_.data();
        end_ = at_ + size;
    }

    sheets::ZipFileWriter& zip_;
    QByteArray chunk_;
    char* at_ = nullptr;
    char* end_ = nullptr;
};

const char kXmlDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

QByteArray contentTypes()
{
    return QByteArray(kXmlDeclaration)
        + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
          "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
          "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
          "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
          "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
          "<Override PartName=\"/xl/styles.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
          "</Types>";
}

QByteArray packageRelations()
{
    return QByteArray(kXmlDeclaration)
        + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" Target=\"xl/workbook.xml\"/>"
          "</Relationships>";
}

QByteArray workbookRelations()
{
    return QByteArray(kXmlDeclaration)
        + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
          "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" Target=\"styles.xml\"/>"
          "</Relationships>";
}

const char kSheetName[] = "一覧";

// filter: the autofilter's range ("$A$1:$P$301"), empty for none.
QByteArray workbook(const QByteArray& filter)
{
    QByteArray xml = QByteArray(kXmlDeclaration)
        + "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
          "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
          "<bookViews><workbookView xWindow=\"240\" yWindow=\"15\" windowWidth=\"16095\" windowHeight=\"9660\"/></bookViews>"
          "<sheets><sheet name=\""
        + kSheetName + "\" sheetId=\"1\" r:id=\"rId1\"/></sheets>";
    if (!filter.isEmpty())
        xml += QByteArray("<definedNames><definedName name=\"_xlnm._FilterDatabase\" localSheetId=\"0\" hidden=\"1\">'")
            + kSheetName + "'!" + filter + "</definedName></definedNames>";
    return xml + "</workbook>";
}

// numberFormats: the decimals of the number styles, in style order.
QByteArray styles(const std::vector<int>& numberFormats)
{
    const auto attr = [](const QByteArray& text) {
        return QByteArray(text).replace('&', "&amp;").replace('"', "&quot;").replace('<', "&lt;");
    };
    constexpr int kFirstFormat = 164; // below are Excel's own
    QByteArray xml = QByteArray(kXmlDeclaration)
        + "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        + "<numFmts count=\"" + QByteArray::number(numberFormats.size() + 1) + "\">"
        + "<numFmt numFmtId=\"" + QByteArray::number(kFirstFormat) + "\" formatCode=\"" + attr("yyyy\"年\"m\"月\"d\"日\"") + "\"/>";
    for (size_t i = 0; i < numberFormats.size(); ++i)
        xml += "<numFmt numFmtId=\"" + QByteArray::number(kFirstFormat + 1 + int(i)) + "\" formatCode=\"" + attr(numberFormat(numberFormats[i])) + "\"/>";
    xml += "</numFmts>"
           "<fonts count=\"2\">"
           "<font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
           "<font><b/><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
           "</fonts>"
           "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill patternType=\"gray125\"/></fill></fills>"
           "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
           "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
           "<cellXfs count=\""
        + QByteArray::number(kFirstNumberStyle + numberFormats.size()) + "\">"
        + "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
          "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\"/>"
          "<xf numFmtId=\""
        + QByteArray::number(kFirstFormat) + "\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>";
    for (size_t i = 0; i < numberFormats.size(); ++i)
        xml += "<xf numFmtId=\"" + QByteArray::number(kFirstFormat + 1 + int(i)) + "\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>";
    return xml + "</cellXfs>"
                 "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
                 "<dxfs count=\"0\"/><tableStyles count=\"0\" defaultTableStyle=\"TableStyleMedium9\" defaultPivotStyle=\"PivotStyleLight16\"/>"
                 "</styleSheet>";
}

// What the whole list needs before its first row is written: the width of
// each column and the number formats in use.
struct Survey {
    std::vector<int> widths;                       // by written column
    std::array<int, kMaxDecimals + 1> numberStyle; // by decimals, 0 when unused
    std::vector<int> numberFormats;                // decimals, in style order
};

Survey survey(const ListRows& rows, const QList<int>& shown)
{
    const QList<ListColumn>& columns = houseListColumns();
    Survey s;
    s.numberStyle.fill(0);
    s.widths.assign(size_t(shown.size()), 0);
    for (qsizetype c = 0; c < shown.size(); ++c)
        s.widths[size_t(c)] = textWidth(columns[shown[c]].header) + 3; // room for the autofilter's button
    const int n = rows.count();
    for (int r = 0; r < n; ++r) {
        for (qsizetype c = 0; c < shown.size(); ++c) {
            const ListCell cell = rows.cell(r, shown[c]);
            int width = 0;
            switch (cell.type) {
            case ListCell::Empty: break;
            case ListCell::Number: {
                const int decimals = decimalsOf(cell.number);
                if (decimals >= 0 && !s.numberStyle[size_t(decimals)]) {
                    s.numberStyle[size_t(decimals)] = kFirstNumberStyle + int(s.numberFormats.size());
                    s.numberFormats.push_back(decimals);
                }
                width = numberWidth(cell.number, decimals);
                break;
            }
            case ListCell::Date: width = excelDate(cell.date) ? kDateWidth : textWidth(cellText(cell)); break;
            case ListCell::Text:
            case ListCell::Mark: {
                const QString text = cellString(cell);
                // A memo's width is that of its first line.
                const qsizetype lineEnd = text.indexOf(u'\n');
                width = textWidth(lineEnd < 0 ? QStringView(text) : QStringView(text).left(lineEnd));
                break;
            }
            }
            s.widths[size_t(c)] = std::max(s.widths[size_t(c)], width + 1);
        }
    }
    for (int& w : s.widths)
        w = std::clamp(w, kMinWidth, kMaxWidth);
    return s;
}
} // namespace

int textWidth(const QString& text)
{
    return textWidth(QStringView(text));
}

XlsxResult writeXlsx(const ListRows& rows, const QString& path, const ListProgress& progress)
{
    const int n = rows.count();
    if (n > kXlsxMaxRows)
        throw EInOutError(QStringLiteral("Excel ブックに書ける行数を超えています。"));
    const QList<ListColumn>& columns = houseListColumns();
    const QList<int> shown = rows.columns();
    const int count = int(shown.size());
    const Survey s = survey(rows, shown);

    std::vector<QByteArray> names; // A, B, … by written column
    for (int c = 0; c < count; ++c)
        names.push_back(columnName(c));
    QByteArray range; // A1:P301
    if (count > 0)
        range = "A1:" + names.back() + QByteArray::number(n + 1);

    sheets::ZipFileWriter zip(path, kZipLevel);
    zip.addPart("[Content_Types].xml", contentTypes());
    zip.addPart("_rels/.rels", packageRelations());
    zip.addPart("xl/_rels/workbook.xml.rels", workbookRelations());
    QByteArray filter;
    if (count > 0)
        filter = "$A$1:$" + names.back() + '$' + QByteArray::number(n + 1);
    zip.addPart("xl/workbook.xml", workbook(filter));
    zip.addPart("xl/styles.xml", styles(s.numberFormats));

    zip.beginPart("xl/worksheets/sheet1.xml");
    SheetXml xml(zip);
    xml.raw(kXmlDeclaration);
    xml.raw("<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
            "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
            "<dimension ref=\"");
    xml.raw(count > 0 ? range : QByteArray("A1"));
    // The heading row stays in place while the rest scrolls.
    xml.raw("\"/><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\">"
            "<pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>"
            "<selection pane=\"bottomLeft\"/></sheetView></sheetViews>"
            "<sheetFormatPr defaultRowHeight=\"15\"/>");
    if (count > 0) {
        xml.raw("<cols>");
        for (int c = 0; c < count; ++c) {
            xml.raw("<col min=\"");
            xml.integer(c + 1);
            xml.raw("\" max=\"");
            xml.integer(c + 1);
            xml.raw("\" width=\"");
            xml.number(storedWidth(s.widths[size_t(c)]));
            xml.raw("\" customWidth=\"1\"/>");
        }
        xml.raw("</cols>");
    }
    xml.raw("<sheetData>");

    const auto cellStart = [&](int c, const char* rowDigits, size_t rowLength) {
        xml.raw("<c r=\"");
        xml.raw(names[size_t(c)]);
        xml.raw(rowDigits, rowLength);
    };
    const auto textCell = [&](QStringView text, bool bold) {
        if (bold)
            xml.raw("\" s=\"1\" t=\"inlineStr\"><is><t");
        else
            xml.raw("\" t=\"inlineStr\"><is><t");
        // Leading or trailing blanks are kept only when asked for.
        if (!text.isEmpty() && (xmlSpace(text.front().unicode()) || xmlSpace(text.back().unicode())))
            xml.raw(" xml:space=\"preserve\"");
        xml.raw(">");
        xml.text(text);
        xml.raw("</t></is></c>");
    };
    static_assert(kBoldStyle == 1);

    xml.raw("<row r=\"1\">");
    for (int c = 0; c < count; ++c) {
        cellStart(c, "1", 1);
        textCell(columns[shown[c]].header, true);
    }
    xml.raw("</row>");

    XlsxResult result;
    char digits[16];
    for (int r = 0; r < n; ++r) {
        const size_t rowLength = size_t(std::to_chars(digits, digits + sizeof digits, r + 2).ptr - digits);
        xml.raw("<row r=\"");
        xml.raw(digits, rowLength);
        xml.raw("\">");
        for (int c = 0; c < count; ++c) {
            const ListCell cell = rows.cell(r, shown[c]);
            switch (cell.type) {
            case ListCell::Empty: break;
            case ListCell::Number: {
                const int decimals = decimalsOf(cell.number);
                cellStart(c, digits, rowLength);
                if (decimals >= 0) {
                    xml.raw("\" s=\"");
                    xml.integer(s.numberStyle[size_t(decimals)]);
                }
                xml.raw("\"><v>");
                xml.number(cell.number);
                xml.raw("</v></c>");
                break;
            }
            case ListCell::Date:
                cellStart(c, digits, rowLength);
                if (excelDate(cell.date)) {
                    static_assert(kDateStyle == 2);
                    xml.raw("\" s=\"2\"><v>");
                    xml.number(excelSerial(cell.date));
                    xml.raw("</v></c>");
                } else {
                    textCell(cellText(cell), false);
                }
                break;
            case ListCell::Text:
            case ListCell::Mark: {
                bool shortened = false;
                const QString text = cellString(cell, &shortened);
                result.shortened += shortened ? 1 : 0;
                cellStart(c, digits, rowLength);
                // Always a string: text that begins with "=" is never a formula here.
                textCell(text, false);
                break;
            }
            }
        }
        xml.raw("</row>");
        if (progress && (r + 1) % kProgressStep == 0 && !progress(r + 1, n))
            return {}; // the unfinished file goes with the caller
    }
    xml.raw("</sheetData>");
    if (count > 0) {
        xml.raw("<autoFilter ref=\"");
        xml.raw(range);
        xml.raw("\"/>");
    }
    xml.raw("<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/></worksheet>");
    xml.flush();
    zip.endPart();
    zip.finish();
    if (progress)
        progress(n, n);
    result.written = true;
    return result;
}

} // namespace tegaro
