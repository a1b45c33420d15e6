#pragma once
#include <QByteArray>
#include <QImage>

namespace tegaro {
// Decodes JPEG bytes with libjpeg. A null image when the bytes are no JPEG.
QImage decodeJpeg(const QByteArray& bytes);
} // namespace tegaro
