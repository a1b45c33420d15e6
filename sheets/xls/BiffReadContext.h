#pragma once
// What the reader of one workbook stream shares between the globals and
// the sheet parts.
#include "sheets/xls/BiffReader.h"
#include "sheets/biff/BiffRecords.h"
#include "sheets/model/Workbook.h"

#include <algorithm>
#include <iterator>

namespace tegaro::sheets {

namespace rec {
constexpr quint16 Formula = 0x0006, Eof = 0x000A, Header = 0x0014, Footer = 0x0015,
                  ExternSheet = 0x0017, Name = 0x0018, Selection = 0x001D, DateMode = 0x0022,
                  ExternName = 0x0023, LeftMargin = 0x0026, RightMargin = 0x0027, TopMargin = 0x0028,
                  BottomMargin = 0x0029, PrintHeaders = 0x002A, PrintGridlines = 0x002B, FilePass = 0x002F,
                  Font = 0x0031, Window1 = 0x003D, Pane = 0x0041, CodePage = 0x0042, DefColWidth = 0x0055,
                  ColInfo = 0x007D, WsBool = 0x0081, HCenter = 0x0083, VCenter = 0x0084, BoundSheet = 0x0085,
                  Palette = 0x0092, Scl = 0x00A0, Setup = 0x00A1, MulRk = 0x00BD, MulBlank = 0x00BE,
                  RString = 0x00D6, Xf = 0x00E0, MergedCells = 0x00E5, Sst = 0x00FC, LabelSst = 0x00FD,
                  ExtSst = 0x00FF, SupBook = 0x01AE, Dimensions = 0x0200, Blank = 0x0201, Number = 0x0203,
                  Label = 0x0204, BoolErr = 0x0205, String = 0x0207, Row = 0x0208, Array = 0x0221,
                  DefaultRowHeight = 0x0225, Table = 0x0236, Window2 = 0x023E, Rk = 0x027E, Style = 0x0293,
                  Format = 0x041E, SharedFormula = 0x04BC, Bof = 0x0809, Continue = 0x003C, Index = 0x020B,
                  DbCell = 0x00D7, Country = 0x008C, Backup = 0x0040, Precision = 0x000E, Protect = 0x0012;
}

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
    static quint16 fontIndex(quint16 stored) { return stored >= 4 ? stored - 1 : stored; }
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
