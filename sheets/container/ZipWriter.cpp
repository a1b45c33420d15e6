#include "sheets/container/ZipWriter.h"

#include "sheets/model/SheetErrors.h"

#include "core/Errors.h"

#include <QFile>

#include <zlib.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace tegaro::sheets {

namespace {
enum JobKind {
    Begin,
    Data,
    End,
    Finish
};

// Bytes handed over but not yet packed: the caller waits beyond this.
constexpr qsizetype kWaitingBytes = 8 << 20;
constexpr size_t kOutputBuffer = 256 << 10;
constexpr quint64 kZipLimit = 0xFFFFFFFFu;
// Every part dated 1980-01-01 00:00, the first day a ZIP can hold: the same
// content makes the same file.
constexpr quint16 kDosTime = 0, kDosDate = (0 << 9) | (1 << 5) | 1;

void put16(QByteArray& out, quint16 v)
{
    out.append(char(v & 0xFF)).append(char(v >> 8));
}
void put32(QByteArray& out, quint32 v)
{
    put16(out, quint16(v & 0xFFFF));
    put16(out, quint16(v >> 16));
}

// The general purpose flags that tell how hard deflate worked.
quint16 levelFlags(int level)
{
    if (level == 1)
        return 0x6; // super fast
    if (level == 2)
        return 0x4; // fast
    if (level >= 8)
        return 0x2; // maximum
    return 0;
}

struct Entry {
    QByteArray name;
    quint16 method = Z_DEFLATED, flags = 0;
    quint32 crc = 0, packed = 0, size = 0, offset = 0;
};

QByteArray localHeader(const Entry& e)
{
    QByteArray header;
    put32(header, 0x04034b50);
    put16(header, 20); // version 2.0 reads it
    put16(header, e.flags);
    put16(header, e.method);
    put16(header, kDosTime);
    put16(header, kDosDate);
    put32(header, e.crc);
    put32(header, e.packed);
    put32(header, e.size);
    put16(header, quint16(e.name.size()));
    put16(header, 0);
    return header + e.name;
}

// The central directory and its end record, for a directory starting at `start`.
QByteArray centralDirectory(const std::vector<Entry>& entries, quint32 start)
{
    QByteArray directory;
    for (const Entry& e : entries) {
        put32(directory, 0x02014b50);
        put16(directory, 20); // made by: version 2.0
        put16(directory, 20);
        put16(directory, e.flags);
        put16(directory, e.method);
        put16(directory, kDosTime);
        put16(directory, kDosDate);
        put32(directory, e.crc);
        put32(directory, e.packed);
        put32(directory, e.size);
        put16(directory, quint16(e.name.size()));
        put32(directory, 0); // extra field and comment lengths
        put32(directory, 0); // disk, internal attributes
        put32(directory, 0); // external attributes
        put32(directory, e.offset);
        directory += e.name;
    }
    const quint32 length = quint32(directory.size());
    put32(directory, 0x06054b50);
    put32(directory, 0); // this disk, the directory's disk
    put16(directory, quint16(entries.size()));
    put16(directory, quint16(entries.size()));
    put32(directory, length);
    put32(directory, start);
    put16(directory, 0);
    return directory;
}
} // namespace

QByteArray writeZip(const QList<ZipPart>& parts, bool compress)
{
    QByteArray zip;
    std::vector<Entry> entries;
    for (const ZipPart& part : parts) {
        Entry e{part.name, quint16(compress ? Z_DEFLATED : 0), 0, 0, 0, 0, quint32(zip.size())};
        const auto* data = reinterpret_cast<const Bytef*>(part.data.constData());
        const auto size = size_t(part.data.size());
        if (size > kZipLimit || quint64(zip.size()) > kZipLimit)
            throw ESheetError(QStringLiteral("パッケージを書き出せません。"));
        e.crc = quint32(crc32_z(crc32(0, nullptr, 0), data, size));
        e.size = quint32(size);
        QByteArray packed;
        if (compress) {
            z_stream z{};
            if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
                throw ESheetError(QStringLiteral("パッケージを書き出せません。"));
            packed.resize(qsizetype(deflateBound(&z, uLong(size))));
            z.next_in = const_cast<Bytef*>(data);
            z.avail_in = uInt(size);
            z.next_out = reinterpret_cast<Bytef*>(packed.data());
            z.avail_out = uInt(packed.size());
            const int rc = deflate(&z, Z_FINISH);
            packed.resize(qsizetype(z.total_out));
            deflateEnd(&z);
            if (rc != Z_STREAM_END)
                throw ESheetError(QStringLiteral("パッケージを書き出せません。"));
        } else {
            packed = part.data;
        }
        e.packed = quint32(packed.size());
        zip += localHeader(e);
        zip += packed;
        entries.push_back(std::move(e));
    }
    return zip + centralDirectory(entries, quint32(zip.size()));
}

struct ZipFileWriter::Packer {
    struct Job {
        int kind;
        QByteArray bytes;
    };
    QFile file;
    int level;

    // Shared with the caller, under the mutex.
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> jobs;
    qsizetype waiting = 0;
    bool stop = false;
    bool finished = false;
    std::exception_ptr error;
    std::thread thread;

    // The packer's own.
    std::vector<Entry> entries;
    Entry part;
    z_stream z{};
    bool deflating = false;
    quint64 size = 0;
    qint64 dataStart = 0;
    uLong crc = 0;
    std::vector<char> output = std::vector<char>(kOutputBuffer);

    Packer(const QString& path, int lvl) : file(path), level(lvl) {}
    ~Packer()
    {
        if (deflating)
            deflateEnd(&z);
    }

    void run()
    {
        for (;;) {
            Job job;
            bool skip = false;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [this] { return stop || !jobs.empty(); });
                if (stop)
                    return;
                job = std::move(jobs.front());
                jobs.pop_front();
                waiting -= job.bytes.size();
                skip = bool(error); // failed before: the rest is only taken off the queue
            }
            changed.notify_all();
            try {
                if (!skip)
                    handle(job);
            } catch (...) {
                {
                    std::lock_guard lock(mutex);
                    error = std::current_exception();
                }
                changed.notify_all(); // a caller waiting for room hears of it at once
            }
            if (job.kind == Finish) {
                {
                    std::lock_guard lock(mutex);
                    finished = true;
                }
                changed.notify_all();
                return;
            }
        }
    }

    [[noreturn]] void failed(const QString& why)
    {
        throw EInOutError(QStringLiteral("ファイルに書き込めません：") + file.fileName() + u'\n' + why);
    }
    void tooLarge()
    {
        throw EInOutError(QStringLiteral("ファイルが大きすぎます（4 GB まで）：") + file.fileName());
    }
    void put(const char* data, qint64 n)
    {
        if (n > 0 && file.write(data, n) != n)
            failed(file.errorString());
    }
    void pack(const char* data, size_t n, int flush)
    {
        // zlib counts in 32 bits
        constexpr size_t kStep = size_t(1) << 30;
        do {
            const size_t step = std::min(n, kStep);
            n -= step;
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
            z.avail_in = uInt(step);
            data += step;
            const int mode = n == 0 ? flush : Z_NO_FLUSH;
            int rc = Z_OK;
            do {
                z.next_out = reinterpret_cast<Bytef*>(output.data());
                z.avail_out = uInt(output.size());
                rc = deflate(&z, mode);
                if (rc == Z_STREAM_ERROR)
                    failed(QStringLiteral("圧縮できません。"));
                put(output.data(), qint64(output.size() - z.avail_out));
            } while (z.avail_out == 0 || (mode == Z_FINISH && rc != Z_STREAM_END));
        } while (n > 0);
    }

    void handle(Job& job)
    {
        switch (job.kind) {
        case Begin: {
            if (quint64(file.pos()) > kZipLimit)
                tooLarge();
            part = Entry{job.bytes, Z_DEFLATED, levelFlags(level), 0, 0, 0, quint32(file.pos())};
            const QByteArray header = localHeader(part); // crc and sizes filled in at the end
            put(header.constData(), header.size());
            if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
                failed(QStringLiteral("圧縮できません。"));
            deflating = true;
            crc = crc32(0, nullptr, 0);
            size = 0;
            dataStart = file.pos();
            break;
        }
        case Data:
            crc = crc32_z(crc, reinterpret_cast<const Bytef*>(job.bytes.constData()), size_t(job.bytes.size()));
            size += quint64(job.bytes.size());
            pack(job.bytes.constData(), size_t(job.bytes.size()), Z_NO_FLUSH);
            break;
        case End: {
            pack(nullptr, 0, Z_FINISH);
            deflateEnd(&z);
            deflating = false;
            const qint64 end = file.pos();
            const quint64 packed = quint64(end - dataStart);
            if (size > kZipLimit || packed > kZipLimit || quint64(end) > kZipLimit)
                tooLarge();
            part.crc = quint32(crc);
            part.packed = quint32(packed);
            part.size = quint32(size);
            QByteArray sizes;
            put32(sizes, part.crc);
            put32(sizes, part.packed);
            put32(sizes, part.size);
            if (!file.seek(part.offset + 14))
                failed(file.errorString());
            put(sizes.constData(), sizes.size());
            if (!file.seek(end))
                failed(file.errorString());
            entries.push_back(part);
            break;
        }
        case Finish: {
            const qint64 start = file.pos();
            if (entries.size() >= 0xFFFF)
                tooLarge();
            const QByteArray directory = centralDirectory(entries, quint32(start));
            if (quint64(start) + quint64(directory.size()) > kZipLimit)
                tooLarge();
            put(directory.constData(), directory.size());
            if (!file.flush())
                failed(file.errorString());
            file.close();
            break;
        }
        default: break;
        }
    }
};

ZipFileWriter::ZipFileWriter(const QString& path, int level) : packer_(std::make_unique<Packer>(path, level))
{
    if (!packer_->file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EInOutError(QStringLiteral("ファイルを作れません：") + path + u'\n' + packer_->file.errorString());
    packer_->thread = std::thread([p = packer_.get()] { p->run(); });
}

ZipFileWriter::~ZipFileWriter()
{
    {
        std::lock_guard lock(packer_->mutex);
        packer_->stop = true;
    }
    packer_->changed.notify_all();
    packer_->thread.join();
}

void ZipFileWriter::send(int kind, QByteArray bytes)
{
    Packer& p = *packer_;
    {
        std::unique_lock lock(p.mutex);
        p.changed.wait(lock, [&p] { return p.error || p.waiting < kWaitingBytes; });
        if (p.error)
            std::rethrow_exception(p.error);
        p.waiting += bytes.size();
        p.jobs.push_back({kind, std::move(bytes)});
    }
    p.changed.notify_all();
}

void ZipFileWriter::addPart(const QByteArray& name, const QByteArray& data)
{
    beginPart(name);
    write(data);
    endPart();
}

void ZipFileWriter::beginPart(const QByteArray& name)
{
    send(Begin, name);
}

void ZipFileWriter::write(QByteArray bytes)
{
    if (!bytes.isEmpty())
        send(Data, std::move(bytes));
}

void ZipFileWriter::endPart()
{
    send(End, {});
}

void ZipFileWriter::finish()
{
    send(Finish, {});
    Packer& p = *packer_;
    std::unique_lock lock(p.mutex);
    p.changed.wait(lock, [&p] { return p.finished; });
    if (p.error)
        std::rethrow_exception(p.error);
}

} // namespace tegaro::sheets
