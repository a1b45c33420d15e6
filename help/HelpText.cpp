#include "help/HelpText.h"

#include "core/Cp932.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>

namespace tegaro {

namespace {

bool isShiftJisName(const QString& name)
{
    static const QStringList names = {"shift_jis", "shift-jis", "sjis", "x-sjis", "ms_kanji",
                                      "csshiftjis", "windows-31j", "cp932", "ms932"};
    return names.contains(name);
}

QString declaredCharset(QByteArrayView bytes)
{
    // The declaration sits in the head; looking further would pick up page text.
    static const QRegularExpression charset(
        QStringLiteral(R"(<meta[^>]*charset\s*=\s*["']?\s*([A-Za-z0-9_.:\-]+))"),
        QRegularExpression::CaseInsensitiveOption);
    const QString head = QString::fromLatin1(bytes.first(qMin<qsizetype>(bytes.size(), 2048)));
    const auto match = charset.match(head);
    return match.hasMatch() ? match.captured(1).toLower() : QString();
}

} // namespace

QString decodeHelpText(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.sliced(3));
    const QString charset = declaredCharset(bytes);
    if (isShiftJisName(charset))
        return fromCp932(bytes);
    if (charset == u"utf-8" || charset == u"utf8")
        return QString::fromUtf8(bytes);
    if (!charset.isEmpty()) {
        QStringDecoder other(charset.toLatin1().constData());
        if (other.isValid())
            return other.decode(bytes);
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? fromCp932(bytes) : text;
}

QString unescapeHtml(const QString& text)
{
    if (!text.contains(u'&'))
        return text;
    static const QHash<QString, QString> named = {
        {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}, {"nbsp", "\u00A0"}};
    static const QRegularExpression ref(QStringLiteral("&(#[0-9]+|#[xX][0-9A-Fa-f]+|[A-Za-z]+);"));
    QString out;
    qsizetype last = 0;
    auto it = ref.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        out += QStringView(text).sliced(last, m.capturedStart() - last);
        const QString body = m.captured(1);
        QString replacement = m.captured(0);
        if (body.startsWith(u'#')) {
            bool ok = false;
            const bool hex = body.size() > 1 && (body[1] == u'x' || body[1] == u'X');
            const uint code = (hex ? body.mid(2) : body.mid(1)).toUInt(&ok, hex ? 16 : 10);
            const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
            if (ok && code > 0 && code <= 0x10FFFF && !surrogate) {
                const char32_t c = code;
                replacement = QString::fromUcs4(&c, 1);
            }
        } else if (named.contains(body)) {
            replacement = named.value(body);
        }
        out += replacement;
        last = m.capturedEnd();
    }
    out += QStringView(text).sliced(last);
    return out;
}

} // namespace tegaro
