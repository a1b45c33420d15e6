#include "sheets/package/PackageScan.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <cstring>
#include <utility>

namespace tegaro::sheets {

namespace {

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

// Control characters other than tab and line ends are not XML; the parser
// takes them as text.
void checkControls(QByteArrayView data, const QByteArray& name)
{
    for (const char c : data)
        if (uchar(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
            throw damaged(QStringLiteral("(部品「%1」の制御文字)").arg(QString::fromUtf8(name)));
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

QByteArray xmlPartText(const QByteArray& data, const QByteArray& name, bool read)
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
    // the parser takes any bytes as text; Qt would read what is not UTF-8
    // as replacement characters
    if (read && !QByteArrayView(data).isValidUtf8())
        throw damaged(QStringLiteral("(部品「%1」の文字コード)").arg(QString::fromUtf8(name)));
    if (read)
        checkControls(data, name);
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

} // namespace tegaro::sheets
