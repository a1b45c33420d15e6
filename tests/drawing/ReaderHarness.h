#pragma once
// Shared set-up of the reader tests: a model, the last report and the gauge
// positions reported, and drawing files written from bytes.
#include "drawing/DrawingModel.h"
#include "drawing/DrawingReaders.h"

#include <QFile>
#include <QTemporaryDir>

struct ReaderHarness {
    tegaro::DrawingModel model;
    tegaro::DrawingReport report;
    QList<int> gauges;
    QTemporaryDir dir;

    tegaro::DrawingProgress progress()
    {
        return [this](int gauge) { gauges << gauge; };
    }

    static QByteArray fixture(const QString& name)
    {
        QFile f(QStringLiteral(TEGARO_FIXTURES "/drawing/") + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("t.hbd"))
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return path;
    }
    tegaro::DrawingFormat readFile(const QString& path)
    {
        report = tegaro::ReadDrawingFile(model, path, progress());
        return report.format;
    }
    tegaro::DrawingFormat readBytes(const QByteArray& bytes) { return readFile(write(bytes)); }
    tegaro::DrawingFormat readStored()
    {
        report = tegaro::ReadStoredDrawing(model, progress());
        return report.format;
    }
    // Runs a read that must fail; returns the error text.
    template <class E, class F>
    QString failing(F read)
    {
        try {
            read();
        } catch (const E& e) {
            return e.message();
        }
        return QStringLiteral("<no error>");
    }
};

// A fixture's lines (CR LF) with line k (from 1) replaced.
inline QByteArray withLine(QByteArray bytes, int k, const QByteArray& text)
{
    QList<QByteArray> lines = bytes.split('\n');
    lines[k - 1] = text + (lines[k - 1].endsWith('\r') ? "\r" : "");
    return lines.join('\n');
}
