#pragma once
// Files, stored texts and the wire are CP932 (Shift-JIS with the NEC and IBM
// extensions); inside the program text is QString.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace tegaro {

QString fromCp932(QByteArrayView bytes);
QByteArray toCp932(const QString& text);

} // namespace tegaro
