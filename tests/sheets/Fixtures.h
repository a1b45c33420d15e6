#pragma once
// The sample files of the sheet tests, and LibreOffice to compare with.
// LibreOffice runs with a profile of its own, so that tests running at the
// same time, or an office open on the desktop, do not get in its way.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace tegaro::sheets::testing {

inline QByteArray fixture(const char* name)
{
    QFile f(QStringLiteral(TEGARO_FIXTURES "/sheets/") + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", name);
    return f.readAll();
}

inline QString office()
{
    for (const char* name : {"soffice", "libreoffice"}) {
        const QString path = QStandardPaths::findExecutable(QLatin1String(name));
        if (!path.isEmpty())
            return path;
    }
    return {};
}

// A LibreOffice profile folder of its own inside the given folder, so a
// conversion never meets another LibreOffice running on the same machine
// (a second instance on a shared profile hands its job over and exits).
inline QString officeProfileArgument(const QString& dir)
{
    return QStringLiteral("-env:UserInstallation=file://") + dir + QStringLiteral("/.office-profile");
}

// Converts `file` with the filter given (e.g. "xls:MS Excel 97") into
// `outDir`; the converted file's path, empty when it failed.
inline QString officeConvert(const QString& file, const QString& filter, const QString& outDir, const QString& extension)
{
    // one profile for the whole test run, of this run alone
    static QTemporaryDir profile;
    QProcess p;
    p.start(office(), {officeProfileArgument(profile.path()), QStringLiteral("--headless"), QStringLiteral("--convert-to"), filter, QStringLiteral("--outdir"), outDir, file});
    p.waitForFinished(180000);
    const QString out = QDir(outDir).filePath(QFileInfo(file).completeBaseName() + u'.' + extension);
    return QFileInfo::exists(out) ? out : QString();
}

// The first sheet as LibreOffice reads it, as CSV lines (comma, double
// quotes, UTF-8); with `formulas`, formula cells as their formula text.
inline QStringList officeCsv(const QString& file, const QString& outDir, bool formulas = false)
{
    const QString filter = formulas ? QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,true")
                                    : QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76");
    QFile f(officeConvert(file, filter, outDir, QStringLiteral("csv")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    f.remove();
    return lines;
}

} // namespace tegaro::sheets::testing
