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

// The first sheet of a file as LibreOffice reads it, as CSV lines. With a
// profile folder of its own it cannot meet another LibreOffice running.
inline QStringList officeCsv(const QString& office, const QString& file, const QString& outDir,
                             const QString& profile = {})
{
    QStringList args;
    if (!profile.isEmpty())
        args << QStringLiteral("-env:UserInstallation=file://") + profile;
    args << QStringLiteral("--headless") << QStringLiteral("--convert-to")
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
