#pragma once
// The sample files of the sheet tests, and LibreOffice to compare with.
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

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

// The first sheet of a file as LibreOffice reads it, as CSV lines.
inline QStringList officeCsv(const QString& office, const QString& file, const QString& outDir)
{
    QStringList args;
    args << officeProfileArgument(outDir) << QStringLiteral("--headless") << QStringLiteral("--convert-to")
         << QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76") << QStringLiteral("--outdir") << outDir << file;
    QProcess p;
    p.start(office, args);
    p.waitForFinished(120000);
    QFile f(outDir + u'/' + QFileInfo(file).completeBaseName() + QStringLiteral(".csv"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace tegaro::sheets::testing
