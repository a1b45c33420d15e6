#pragma once
// What the reader of one workbook stream shares between the globals and
// the sheet parts.
#include "sheets/xls/BiffReader.h"
#include "sheets/biff/BiffFormat.h"
#include "sheets/biff/BiffRecords.h"
#include "sheets/model/Workbook.h"

#include <algorithm>
#include <iterator>

namespace tegaro::sheets {

struct ReadContext {
    Workbook& book;
    int biff = 8;
    ByteDecoder decode;
    QList<QString> sst;
    QList<QList<RichRun>> sstRuns;
    QList<int> sheetOfTab;          // BOUNDSHEET order -> worksheet index, -1 for other kinds
    const CellSink* sink = nullptr; // cells go here instead of into the sheet

    QString shortString(Cursor& c) const; // 8-bit count
    QString longString(Cursor& c) const;  // 16-bit count
};

// A record as type, size and data, to be written back unchanged.
QByteArray rawRecord(const BiffRecord& r);

// A reader's handler of one record type. Readers keep a table of them sorted
// by type and hand each record to the one for its type.
template <class Reader>
struct RecordHandler {
    quint16 type;
    void (Reader::*handle)(Cursor&, const BiffRecord&);
};

template <class Reader, std::size_t N>
constexpr bool sortedByType(const RecordHandler<Reader> (&table)[N])
{
    return std::is_sorted(std::begin(table), std::end(table), [](const auto& a, const auto& b) { return a.type < b.type; });
}

// Runs the handler for r's type; records without one mean nothing here.
template <class Reader, std::size_t N>
void dispatchRecord(Reader& reader, const RecordHandler<Reader> (&table)[N], const BiffRecord& r)
{
    const auto it = std::lower_bound(std::begin(table), std::end(table), r.type,
                                     [](const RecordHandler<Reader>& e, quint16 type) { return e.type < type; });
    if (it == std::end(table) || it->type != r.type)
        return;
    Cursor c(r);
    (reader.*(it->handle))(c, r);
}

void readSheetStream(ReadContext& ctx, RecordStream& records, Sheet& sheet);
// Once the whole stream is read: references to other sheets counted in
// worksheets, shared formulas given to their cells, Excel 95 formulas
// rewritten in Excel 97 tokens where they can be.
void prepareFormulas(ReadContext& ctx);

} // namespace tegaro::sheets
