#pragma once
// Runs one of the built command-line tools and keeps what it printed.
#include <QProcess>
#include <QString>
#include <QStringList>

struct ToolRun {
    int code = -1; // -1: did not finish in time or crashed
    QString out, err;
};

inline ToolRun runTool(const QString& name, const QStringList& args, int timeoutMs = 60000)
{
    QProcess p;
    p.start(QStringLiteral(TEGARO_BIN_DIR "/") + name, args);
    ToolRun r;
    if (!p.waitForFinished(timeoutMs))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
