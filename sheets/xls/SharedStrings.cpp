#include "sheets/xls/BiffWriteContext.h"

namespace tegaro::sheets {

quint32 SharedStrings::add(const QString& text, const QList<RichRun>& runs)
{
    ++total_;
    QString key = text;
    if (!runs.isEmpty()) {
        key += QChar(0);
        for (const RichRun& r : runs)
            key.append(QChar(r.first)).append(QChar(r.font));
    }
    auto it = index_.find(key);
    if (it != index_.end())
        return *it;
    const quint32 i = quint32(entries_.size());
    entries_.append({text.left(32767), runs});
    index_.insert(key, i);
    return i;
}

void SharedStrings::write(RecordWriter& w) const
{
    // A string may not have its head split from its first character, and a
    // CONTINUE part that goes on with characters begins with their width.
    QList<QByteArray> parts;
    ByteWriter cur;
    cur.u32(total_).u32(quint32(entries_.size()));
    auto room = [&] { return kMaxRecordBody - cur.data.size(); };
    auto flush = [&] {
        parts << cur.data;
        cur.data.clear();
    };
    for (const Entry& e : entries_) {
        const bool wide = ByteWriter::needsWide(e.text);
        const int width = wide ? 2 : 1;
        const int head = 3 + (e.runs.isEmpty() ? 0 : 2);
        if (room() < head + width)
            flush();
        cur.u16(quint16(e.text.size()));
        quint8 flags = wide ? str::Wide : 0;
        if (!e.runs.isEmpty())
            flags |= str::Rich;
        cur.u8(flags);
        if (!e.runs.isEmpty())
            cur.u16(quint16(e.runs.size()));
        qsizetype at = 0;
        while (at < e.text.size()) {
            qsizetype n = std::min<qsizetype>(e.text.size() - at, room() / width);
            if (n <= 0) {
                flush();
                cur.u8(wide ? str::Wide : 0);
                continue;
            }
            cur.chars(e.text.mid(at, n), wide);
            at += n;
        }
        for (const RichRun& r : e.runs) {
            if (room() < 4)
                flush();
            cur.u16(r.first).u16(storedFontIndex(r.font));
        }
    }
    flush();
    for (int i = 0; i < parts.size(); ++i) {
        ByteWriter head;
        head.u16(i == 0 ? rec::Sst : rec::Continue).u16(quint16(parts[i].size()));
        w.out += head.data + parts[i];
    }
}

} // namespace tegaro::sheets
