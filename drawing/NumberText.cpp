#include "drawing/NumberText.h"

#include "core/Errors.h"

#include <QByteArray>
#include <QString>

#include <cmath>

namespace tegaro {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

qsizetype skipDigits(QByteArrayView t, qsizetype i)
{
    while (i < t.size() && isDigit(t[i]))
        ++i;
    return i;
}

bool asciiOnly(QStringView text, QByteArray& out)
{
    out.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
        out.append(char(c.unicode()));
    }
    return true;
}

} // namespace

bool parseInteger(QByteArrayView t, qint32& value)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        negative = t[i++] == '-';
    if (i == t.size())
        return false;
    qint64 v = 0;
    for (; i < t.size(); ++i) {
        if (!isDigit(t[i]))
            return false;
        v = v * 10 + (t[i] - '0');
        if (v > qint64(1) << 31)
            return false;
    }
    if (negative)
        v = -v;
    if (v > INT32_MAX || v < INT32_MIN)
        return false;
    value = qint32(v);
    return true;
}

bool parseReal(QByteArrayView t, double& value)
{
    qsizetype i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    const qsizetype intStart = i;
    i = skipDigits(t, i);
    qsizetype digits = i - intStart;
    if (i < t.size() && t[i] == '.') {
        const qsizetype fracStart = ++i;
        i = skipDigits(t, i);
        digits += i - fracStart;
    }
    if (digits == 0)
        return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ++i;
        const qsizetype expStart = i;
        i = skipDigits(t, i);
        if (i == expStart)
            return false;
    }
    if (i != t.size())
        return false;
    bool ok = false;
    const double v = QByteArray(t.data(), t.size()).toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

bool parseInteger(QStringView text, qint32& value)
{
    QByteArray bytes;
    return asciiOnly(text, bytes) && parseInteger(QByteArrayView(bytes), value);
}

bool parseReal(QStringView text, double& value)
{
    QByteArray bytes;
    return asciiOnly(text, bytes) && parseReal(QByteArrayView(bytes), value);
}

namespace {

[[noreturn]] void notANumber(QStringView text, qsizetype line, const char* kind)
{
    throw EConvertError(QStringLiteral("図面の %1 行目の「%2」は正しい%3ではありません")
                            .arg(line)
                            .arg(text.left(40).toString(), QString::fromUtf8(kind)));
}

} // namespace

qint32 convertInteger(QStringView text, qsizetype line)
{
    qint32 v = 0;
    if (!parseInteger(text, v))
        notANumber(text, line, "整数値");
    return v;
}

double convertReal(QStringView text, qsizetype line)
{
    double v = 0;
    if (!parseReal(text, v))
        notANumber(text, line, "数値");
    return v;
}

} // namespace tegaro
