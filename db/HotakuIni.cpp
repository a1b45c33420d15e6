#include "db/HotakuIni.h"

#include "core/Cp932.h"
#include "core/Errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <cerrno>

namespace tegaro {

namespace {
// The settings sit on the first four lines; nothing past them is read.
constexpr int kLinesNeeded = 4;
constexpr qint64 kChunk = 4096;

QString valueOf(const QByteArray& line)
{
    QString text = fromCp932(line);
    qsizetype eq = text.indexOf(u'=');
    return eq < 0 ? text : text.mid(eq + 1);
}

// Error numbers as the users of this file know them from Windows.
int ioErrorNumber(int err)
{
    switch (err) {
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EMFILE: return 4;
    case EACCES:
    case EPERM:
    case EISDIR: return 5;
    default: return err > 0 ? err : 5;
    }
}

// Splits at LF, drops every CR; false once Ctrl-Z was seen.
bool addBytes(const QByteArray& chunk, QList<QByteArray>& lines, QByteArray& pending)
{
    for (char c : chunk) {
        if (c == '\x1a')
            return false;
        if (c == '\r')
            continue;
        if (c == '\n') {
            lines.append(pending);
            pending.clear();
        } else {
            pending.append(c);
        }
    }
    return true;
}

LoginValues fromLines(QList<QByteArray> lines)
{
    while (lines.size() < kLinesNeeded)
        lines.append(QByteArray());
    return {valueOf(lines[1]), valueOf(lines[2]), valueOf(lines[3])};
}
} // namespace

QString hotakuIniPath() { return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Hotaku.ini")); }

LoginValues parseHotakuIni(const QByteArray& bytes)
{
    QList<QByteArray> lines;
    QByteArray pending;
    addBytes(bytes, lines, pending);
    lines.append(pending);
    return fromLines(lines);
}

LoginValues readHotakuIni(const QString& path)
{
    QFileInfo info(path);
    if (!info.exists())
        throw EInOutError(QStringLiteral("ファイルが見つかりません"));
    if (info.isDir())
        throw EInOutError(QStringLiteral("I/O エラー (%1)").arg(ioErrorNumber(EISDIR)));
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        if (file.error() == QFileDevice::PermissionsError)
            throw EInOutError(QStringLiteral("I/O エラー (%1)").arg(ioErrorNumber(EACCES)));
        throw EInOutError(QStringLiteral("I/O エラー (%1)").arg(ioErrorNumber(errno)));
    }
    QList<QByteArray> lines;
    QByteArray pending;
    while (lines.size() < kLinesNeeded) {
        errno = 0;
        QByteArray chunk = file.read(kChunk);
        if (chunk.isEmpty()) {
            if (file.error() != QFileDevice::NoError)
                throw EInOutError(QStringLiteral("I/O エラー (%1)").arg(ioErrorNumber(errno ? errno : EIO)));
            break;
        }
        if (!addBytes(chunk, lines, pending))
            break;
    }
    lines.append(pending);
    return fromLines(lines);
}

} // namespace tegaro
