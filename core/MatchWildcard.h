#pragma once
// The file-name test of the drop handlers: a path against a mask with * and
// ?, byte for byte on the path's CP932 bytes (case-sensitive; a double-byte
// character counts as two). The character after a star is searched for
// literally and the search never backs up, so "*?c" never matches and
// "*xls*" fails "xxls.doc".
#include <QByteArrayView>
#include <QString>

namespace tegaro {

bool MatchWildcard(QByteArrayView name, QByteArrayView mask);
bool MatchWildcard(const QString& name, const QString& mask);

} // namespace tegaro
