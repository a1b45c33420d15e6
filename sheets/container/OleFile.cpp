#include "sheets/container/OleFile.h"

#include "sheets/container/GsfSupport.h"
#include "sheets/model/SheetErrors.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-memory.h>

#include <QSet>
#include <QtEndian>

#include <cstring>
#include <vector>

namespace tegaro::sheets {

namespace {

bool looksLikeBof(const QByteArray& b)
{
    if (b.size() < 8)
        return false;
    const int type = quint8(b[0]) | (quint8(b[1]) << 8);
    return type == 0x0809 || type == 0x0409 || type == 0x0209 || type == 0x0009;
}

constexpr char kOleMagic[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr quint32 kEndOfChain = 0xFFFFFFFE;

[[noreturn]] void damaged()
{
    throw ECorruptWorkbook(QStringLiteral("ブックのファイルが壊れています。"));
}

[[noreturn]] void cutShort()
{
    throw ECorruptWorkbook(QStringLiteral("ブックのファイルが途中で切れています。"));
}

// The compound file read straight from its bytes: the sector tables, the
// directory, and one stream by its chain. Every index and length is checked
// against the bytes there are, and every chain is walked at most as many
// steps as the file has sectors, so a looping chain ends in an error.
class CompoundFile {
public:
    explicit CompoundFile(const QByteArray& bytes) : b_(bytes)
    {
        if (b_.size() < 512)
            cutShort();
        shift_ = u16(0x1E);
        if (u16(0x1C) != 0xFFFE || (shift_ != 9 && shift_ != 12) || u16(0x20) != 6)
            damaged();
        sectorSize_ = qsizetype(1) << shift_;
        sectors_ = quint32((b_.size() - 512 + sectorSize_ - 1) / sectorSize_);
        miniCutoff_ = u32(0x38);
        readFat();
        directory_ = chain(u32(0x30), -1);
    }

    // The stream stored under the first of `names` found in the root
    // storage (names compare without case, as the format does): a copy, or
    // with `room` given a view of the file's bytes when its sectors follow
    // each other, else of the room it was gathered into. An empty result
    // with found == false: no such stream.
    QByteArray stream(std::initializer_list<const char16_t*> names, LargeBuffer* room, bool& found) const
    {
        const qsizetype entries = directory_.size() * sectorSize_ / 128;
        if (entries == 0)
            damaged();
        const quint32 rootChild = entryU32(0, 0x4C);
        for (const char16_t* name : names) {
            const qsizetype e = find(rootChild, QStringView(name), entries);
            if (e < 0)
                continue;
            found = true;
            return contents(e, room);
        }
        found = false;
        return {};
    }

private:
    quint16 u16(qsizetype at) const { return qFromLittleEndian<quint16>(b_.constData() + at); }
    quint32 u32(qsizetype at) const { return qFromLittleEndian<quint32>(b_.constData() + at); }

    qsizetype sectorAt(quint32 sector) const
    {
        if (sector >= sectors_)
            damaged();
        return 512 + qsizetype(sector) * sectorSize_;
    }

    // The table's entries that the file has bytes for; a short last sector
    // gives what it holds.
    void readFat()
    {
        // each table takes a sector of its own, so there are no more than the file has
        const quint32 fatCount = u32(0x2C);
        if (fatCount > sectors_)
            damaged();
        const quint32 perSector = quint32(sectorSize_ / 4);
        QList<quint32> fatSectors;
        for (int i = 0; i < 109; ++i)
            fatSectors << u32(0x4C + 4 * i);
        // the tables beyond the first 109 are listed in a chain of sectors
        quint32 difat = u32(0x44);
        for (quint32 steps = 0; quint32(fatSectors.size()) < fatCount; ++steps) {
            if (difat >= kEndOfChain - 2 || steps > sectors_)
                damaged();
            const qsizetype at = sectorAt(difat);
            if (at + sectorSize_ > b_.size())
                cutShort();
            for (quint32 i = 0; i + 1 < perSector; ++i)
                fatSectors << u32(at + 4 * i);
            difat = u32(at + sectorSize_ - 4);
        }
        fat_.reserve(qsizetype(fatCount) * perSector);
        for (quint32 i = 0; i < fatCount; ++i)
            appendEntries(fatSectors[i], fat_);
    }

    // The entries of one sector of a table; a short last sector gives what it holds.
    void appendEntries(quint32 sector, QList<quint32>& table) const
    {
        const qsizetype at = sectorAt(sector);
        const qsizetype n = std::min<qsizetype>(sectorSize_, b_.size() - at) / 4;
        for (qsizetype k = 0; k < n; ++k)
            table << u32(at + 4 * k);
    }

    // The sectors of a chain, in order; `size` bytes of them (or the whole
    // chain when size is negative).
    QList<quint32> chain(quint32 first, qint64 size) const
    {
        QList<quint32> out;
        std::vector<bool> seen(sectors_);
        const qint64 wanted = size < 0 ? -1 : (size + sectorSize_ - 1) / sectorSize_;
        for (quint32 s = first; s != kEndOfChain && qint64(out.size()) != wanted;) {
            if (s >= quint32(fat_.size()) || s >= sectors_ || seen[s])
                damaged(); // out of the file, or a loop
            seen[s] = true;
            out << s;
            s = fat_[s];
        }
        if (wanted >= 0 && qint64(out.size()) < wanted)
            cutShort();
        return out;
    }

    quint32 entryU32(qsizetype e, int field) const { return dirU32(e * 128 + field); }

    // Directory bytes by their offset in the directory stream.
    quint32 dirU32(qsizetype off) const
    {
        const qsizetype at = sectorAt(directory_[off / sectorSize_]) + off % sectorSize_;
        if (at + 4 > b_.size())
            cutShort();
        return u32(at);
    }

    QString entryName(qsizetype e) const
    {
        const quint32 length = dirU32(e * 128 + 0x40) & 0xFFFF; // bytes, with the closing zero
        QString name;
        for (quint32 i = 0; i + 2 < std::min<quint32>(length, 64); i += 2) {
            const quint32 pair = dirU32(e * 128 + (i & ~3u));
            name += QChar(char16_t(i % 4 ? pair >> 16 : pair & 0xFFFF));
        }
        return name;
    }

    // The entries of a storage are a tree by their left and right links;
    // links that lead nowhere or back are passed over, as other readers do.
    qsizetype find(quint32 start, QStringView name, qsizetype entries) const
    {
        QList<quint32> pending{start};
        QSet<quint32> seen;
        while (!pending.isEmpty()) {
            const quint32 e = pending.takeLast();
            if (qsizetype(e) >= entries || seen.contains(e))
                continue;
            seen.insert(e);
            const int type = int(dirU32(e * 128 + 0x40) >> 16) & 0xFF;
            if (type == 2 && entryName(e).compare(name, Qt::CaseInsensitive) == 0)
                return e;
            pending << entryU32(e, 0x44) << entryU32(e, 0x48);
        }
        return -1;
    }

    QByteArray contents(qsizetype e, LargeBuffer* room) const
    {
        qint64 size = entryU32(e, 0x78);
        if (shift_ == 12)
            size |= qint64(entryU32(e, 0x7C)) << 32; // older files leave the high half undefined
        if (size < 0 || size > b_.size())
            damaged(); // a stream cannot be larger than the file that holds it
        if (size == 0)
            return {};
        if (size < miniCutoff_)
            return miniContents(entryU32(e, 0x74), size);
        const QList<quint32> sectors = chain(entryU32(e, 0x74), size);
        bool together = true;
        for (qsizetype i = 1; i < sectors.size() && together; ++i)
            together = sectors[i] == sectors[i - 1] + 1;
        const qsizetype start = sectorAt(sectors.first());
        if (together) {
            if (start + size > b_.size())
                cutShort();
            return room ? QByteArray::fromRawData(b_.constData() + start, qsizetype(size))
                        : QByteArray(b_.constData() + start, qsizetype(size));
        }
        QByteArray out;
        if (room)
            room->reserve(size, 0);
        else
            out = QByteArray(qsizetype(size), Qt::Uninitialized);
        char* to = room ? room->data() : out.data();
        for (qsizetype i = 0, done = 0; i < sectors.size(); ++i) {
            const qsizetype at = sectorAt(sectors[i]);
            const qsizetype n = std::min<qsizetype>(sectorSize_, size - done);
            if (at + n > b_.size())
                cutShort();
            std::memcpy(to + done, b_.constData() + at, size_t(n));
            done += n;
        }
        return room ? QByteArray::fromRawData(room->data(), qsizetype(size)) : out;
    }

    // Small streams live in 64-byte pieces of the root entry's stream.
    QByteArray miniContents(quint32 first, qint64 size) const
    {
        const QList<quint32> rootSectors = chain(entryU32(0, 0x74), -1);
        const QList<quint32> miniFat = chainBytesAsTable(u32(0x3C));
        QByteArray out;
        out.reserve(qsizetype(size));
        std::vector<bool> seen(miniFat.size());
        for (quint32 s = first; out.size() < size;) {
            if (s >= quint32(miniFat.size()) || seen[s])
                damaged();
            seen[s] = true;
            const qsizetype off = qsizetype(s) * 64;
            if (off / sectorSize_ >= rootSectors.size())
                damaged();
            const qsizetype at = sectorAt(rootSectors[off / sectorSize_]) + off % sectorSize_;
            const qsizetype n = std::min<qsizetype>(64, size - out.size());
            if (at + n > b_.size())
                cutShort();
            out.append(b_.constData() + at, n);
            s = miniFat[s];
        }
        return out;
    }

    QList<quint32> chainBytesAsTable(quint32 first) const
    {
        QList<quint32> table;
        if (first >= kEndOfChain)
            return table;
        for (quint32 sector : chain(first, -1))
            appendEntries(sector, table);
        return table;
    }

    const QByteArray& b_;
    int shift_ = 9;
    qsizetype sectorSize_ = 512;
    quint32 sectors_ = 0;
    quint32 miniCutoff_ = 4096;
    QList<quint32> fat_;
    QList<quint32> directory_;
};

QByteArray workbookStream(const QByteArray& bytes, LargeBuffer* room)
{
    if (!bytes.startsWith(QByteArray(kOleMagic, 8))) {
        if (looksLikeBof(bytes))
            return bytes;
        throw ENotAWorkbook(QStringLiteral("Excel のブックではありません。"));
    }
    bool found = false;
    const QByteArray stream = CompoundFile(bytes).stream({u"Workbook", u"Book"}, room, found);
    if (!found)
        throw ENotAWorkbook(QStringLiteral("ファイルにブックがありません。"));
    return stream;
}

} // namespace

QByteArray readWorkbookStream(const QByteArray& bytes)
{
    return workbookStream(bytes, nullptr);
}

QByteArray workbookStreamView(const QByteArray& bytes, LargeBuffer& room)
{
    return workbookStream(bytes, &room);
}

QByteArray writeWorkbookFile(const QByteArray& stream, const char* name)
{
    ensureGsf();
    GPtr<GsfOutput> memory(gsf_output_memory_new());
    QByteArray result;
    {
        GPtr<GsfOutfile> ole(gsf_outfile_msole_new(memory.get()));
        GPtr<GsfOutput> child(gsf_outfile_new_child(ole.get(), name, FALSE));
        if (!child || !gsf_output_write(child.get(), size_t(stream.size()), reinterpret_cast<const guint8*>(stream.constData())))
            throw ESheetError(QStringLiteral("ブックを書き出せません。"));
        gsf_output_close(child.get());
        gsf_output_close(GSF_OUTPUT(ole.get()));
    }
    const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory.get()));
    const gsf_off_t size = gsf_output_size(memory.get());
    result = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
    return result; // closing the compound file closed the memory sink too
}

} // namespace tegaro::sheets
