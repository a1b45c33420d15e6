#include "core/Cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace tegaro {

// "Shift_JIS" in ICU lacks the NEC/IBM rows (①, ㈱, ～); windows-31j has them.
static constexpr const char* kCodec = "windows-31j";

QString fromCp932(QByteArrayView bytes)
{
    QStringDecoder decoder(kCodec);
    if (!decoder.isValid())
        return QString::fromLatin1(bytes.data(), bytes.size());
    return decoder.decode(bytes);
}

QByteArray toCp932(const QString& text)
{
    QStringEncoder encoder(kCodec);
    if (!encoder.isValid())
        return text.toLatin1();
    return encoder.encode(text);
}

} // namespace tegaro
