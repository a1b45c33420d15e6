#pragma once
// ZIP packages. Small ones are made in memory: how tests and fuzz targets
// make packages of their own. Large ones go straight to a file, part by
// part, each part deflated as its bytes come (ZipFileWriter).
#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

namespace tegaro::sheets {

struct ZipPart {
    QByteArray name; // path inside the package, "xl/worksheets/sheet1.xml"
    QByteArray data;
};

// The parts in their order, deflated when `compress` is set, else stored.
QByteArray writeZip(const QList<ZipPart>& parts, bool compress = true);

// A package written to a file as it is made. Parts are deflated at `level`
// (zlib's 1 to 9) on a thread of the writer's own, so that the caller makes
// the next bytes while the last ones are packed: memory holds a few chunks,
// never a part. Nothing is in its place until finish(); a writer dropped
// before that leaves an unfinished file for the caller to remove.
// Throws EInOutError when the file cannot be written, and when a part or
// the package grows past 4 GB (no ZIP64 records are written).
class ZipFileWriter {
public:
    ZipFileWriter(const QString& path, int level);
    ~ZipFileWriter();
    ZipFileWriter(const ZipFileWriter&) = delete;
    ZipFileWriter& operator=(const ZipFileWriter&) = delete;

    void addPart(const QByteArray& name, const QByteArray& data);
    // A part written in pieces: begin, any number of writes, end.
    void beginPart(const QByteArray& name);
    void write(QByteArray bytes);
    void endPart();
    // The central directory; the file is complete when this returns.
    void finish();

private:
    struct Packer;
    void send(int kind, QByteArray bytes);
    std::unique_ptr<Packer> packer_;
};

} // namespace tegaro::sheets
