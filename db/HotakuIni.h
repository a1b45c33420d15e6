#pragma once
// The hand-made settings file "Hotaku.ini" beside the executable: server,
// login name and password on lines 2 to 4. Read only, never written.
#include <QByteArray>
#include <QString>

namespace tegaro {

struct LoginValues {
    QString server;
    QString user;
    QString password;
};

QString hotakuIniPath(); // the executable's folder followed by "Hotaku.ini"

// Lines end with LF or CR LF; a lone CR is dropped; Ctrl-Z ends the file.
// The value is everything after the first "=", or the whole line without
// one; a missing line is empty.
LoginValues parseHotakuIni(const QByteArray& bytes);

// Throws EInOutError: "ファイルが見つかりません" for a missing file,
// "I/O エラー (n)" when it cannot be read.
LoginValues readHotakuIni(const QString& path);

} // namespace tegaro
