#pragma once
// Reading the entries of a ZIP package held in memory. Each entry is
// unpacked once, straight into a buffer of its own that is not cleared
// first, with room after it for the caller: parsing a large part costs one
// pass over its bytes, not three.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>
#include <stdexcept>

namespace tegaro::sheets {

// An entry whose bytes cannot be unpacked: cut short, bad deflate data,
// another size than its directory entry states, an unknown method.
struct ZipDataError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The offset of the record that ends the central directory, 0 when there is
// none: searched backwards in blocks of 65,557 bytes, a match restarting on
// a wrong byte and never spanning two blocks, and never at offset 0 -- the
// way the checks on a package have always found it.
qsizetype zipEndRecord(const QByteArray& bytes);

class ZipReader {
public:
    // Reads the central directory (see zipEndRecord). Entries past the
    // package's end are left out; the package must outlive the reader.
    explicit ZipReader(const QByteArray& package);

    QList<QByteArray> names() const;
    // The entry's bytes followed by `room` bytes left for the caller to
    // fill; nullopt when there is no such entry (the first of two that share
    // a name is read). Throws ZipDataError.
    std::optional<QByteArray> read(QByteArrayView name, qsizetype room = 0) const;

private:
    struct Entry {
        QByteArray name;
        quint16 method = 0;
        qint64 packed = 0, size = 0, header = 0;
    };
    const QByteArray& package_;
    QList<Entry> entries_;
};

} // namespace tegaro::sheets
