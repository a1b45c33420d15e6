#pragma once
// What the writer of one workbook stream shares between the globals and
// the sheet parts.
#include "sheets/biff/ByteWriter.h"
#include "sheets/model/Workbook.h"

#include <QHash>

namespace tegaro::sheets {

// The shared string table: each distinct text (with its runs) once.
class SharedStrings {
public:
    quint32 add(const QString& text, const QList<RichRun>& runs);
    void write(RecordWriter& w) const;

private:
    struct Entry {
        QString text;
        QList<RichRun> runs;
    };
    QList<Entry> entries_;
    QHash<QString, quint32> index_;
    quint32 total_ = 0;
};

struct WriteContext {
    const Workbook& book;
    SharedStrings strings;
    quint16 xf(quint16 index) const
    {
        return index < book.formats.size() ? index : quint16(std::max<qsizetype>(0, book.formats.size() - 1));
    }
};

// The BOF record that begins the globals or a worksheet.
void writeBof(RecordWriter& w, quint16 kind);
QByteArray writeSheetStream(WriteContext& ctx, const Sheet& sheet, bool active);

} // namespace tegaro::sheets
