#pragma once
// The numbers of the BIFF format in one place: record types, and the values
// and bits of record fields that the .xls reader and writer both take apart
// or put together. Bits the model keeps as the file stores them (row, column,
// view, page and name options) are named beside its fields in
// sheets/model/Workbook.h.
#include "sheets/model/Workbook.h"

#include <QtGlobal>

namespace tegaro::sheets {

// Record types, in the order of their numbers.
namespace rec {
constexpr quint16 Formula = 0x0006, Eof = 0x000A, CalcCount = 0x000C, CalcMode = 0x000D, Precision = 0x000E,
                  RefMode = 0x000F, Delta = 0x0010, Iteration = 0x0011, Password = 0x0013, Header = 0x0014,
                  Footer = 0x0015, ExternSheet = 0x0017, Name = 0x0018, WindowProtect = 0x0019,
                  VerticalPageBreaks = 0x001A, HorizontalPageBreaks = 0x001B, Selection = 0x001D, DateMode = 0x0022,
                  ExternName = 0x0023, LeftMargin = 0x0026, RightMargin = 0x0027, TopMargin = 0x0028,
                  BottomMargin = 0x0029, PrintHeaders = 0x002A, PrintGridlines = 0x002B, FilePass = 0x002F,
                  Font = 0x0031, Continue = 0x003C, Window1 = 0x003D, Backup = 0x0040, Pane = 0x0041,
                  CodePage = 0x0042, DefColWidth = 0x0055, SaveRecalc = 0x005F, ObjProtect = 0x0063,
                  ColInfo = 0x007D, Guts = 0x0080, WsBool = 0x0081, GridSet = 0x0082, HCenter = 0x0083,
                  VCenter = 0x0084, BoundSheet = 0x0085, Country = 0x008C, Palette = 0x0092, Scl = 0x00A0,
                  Setup = 0x00A1, MulRk = 0x00BD, MulBlank = 0x00BE, RString = 0x00D6, DbCell = 0x00D7,
                  ScenProtect = 0x00DD, Xf = 0x00E0, MergedCells = 0x00E5, Sst = 0x00FC, LabelSst = 0x00FD,
                  ExtSst = 0x00FF, SupBook = 0x01AE, CondFmt = 0x01B0, Cf = 0x01B1, DVal = 0x01B2, Dv = 0x01BE,
                  Dimensions = 0x0200, Blank = 0x0201, Number = 0x0203, Label = 0x0204, BoolErr = 0x0205,
                  Formula3 = 0x0206, String = 0x0207, Row = 0x0208, Index = 0x020B, Array = 0x0221,
                  DefaultRowHeight = 0x0225, Table = 0x0236, Window2 = 0x023E, Rk = 0x027E, Style = 0x0293,
                  Formula4 = 0x0406, Format = 0x041E, SharedFormula = 0x04BC, Bof = 0x0809;
// PROTECT (0x0012) is the model's: it reads the record among those it keeps.
constexpr quint16 Protect = Sheet::kProtectRecord;
// The BOF records of Excel 2, 3 and 4 files, which are not read.
constexpr quint16 Bof2 = 0x0009, Bof3 = 0x0209, Bof4 = 0x0409;
} // namespace rec

// The longest record body; longer data goes on in CONTINUE records.
constexpr qsizetype kMaxRecordBody = 8224;

// BOF: the version and kind of the part it begins, and what wrote it.
namespace bof {
constexpr quint16 Biff8 = 0x0600; // versions below are Excel 5 and 95
constexpr quint16 Globals = 0x0005, Worksheet = 0x0010;
constexpr quint16 Build = 0x0DBB, Year = 0x07CC;
constexpr quint32 History = 0x000100C1, LowestVersion = 0x00000406;
} // namespace bof

// BOUNDSHEET: the sheet's state (visibility) and kind.
namespace boundsheet {
constexpr quint8 StateBits = 0x03;
constexpr quint8 Worksheet = 0x00; // charts, macro sheets and modules are other kinds
} // namespace boundsheet

// The option byte of BIFF8 strings.
namespace str {
constexpr quint8 Wide = 0x01, FarEast = 0x04, Rich = 0x08;
}

// RK numbers: an integer or the top of a double, perhaps divided by 100.
namespace rk {
constexpr quint32 Hundredths = 0x01, Integer = 0x02, ValueBits = 0xFFFFFFFC;
}

// The cached result of a FORMULA record: a number, or a kind in its first
// byte when its last two bytes are this marker.
namespace result {
constexpr quint8 Text = 0, Boolean = 1, Error = 2, EmptyText = 3;
constexpr quint16 Marker = 0xFFFF;
} // namespace result

// STYLE: the format it names, and whether it is one of Excel's own.
namespace style {
constexpr quint16 XfBits = 0x0FFF, BuiltIn = 0x8000;
}

// SUPBOOK: the last two bytes of the record that stands for this workbook.
namespace supbook {
constexpr quint16 Self = 0x0401;
}

// TABLE: a table with two input cells, else which input its one cell is.
namespace table {
constexpr quint16 Rw = 0x0004, TwoInputs = 0x0008;
}

// PANE: its size, and the pane that holds the cursor.
namespace pane {
constexpr qsizetype Size = 10, ActivePaneAt = 8;
constexpr quint8 TopLeft = 3; // the only pane of a sheet that is not split
} // namespace pane

// A field of `width` bits from bit `shift` of a packed word.
struct BitField {
    int shift, width;
    constexpr quint32 mask() const { return (1u << width) - 1; }
    constexpr quint32 get(quint32 word) const { return (word >> shift) & mask(); }
    constexpr quint32 put(quint32 value) const { return (value & mask()) << shift; }
};

// XF, the cell format record. The head both dialects share: font, number
// format, the protection word and the alignment.
namespace xf {
constexpr quint16 Locked = 0x0001, Hidden = 0x0002, Style = 0x0004, Prefix123 = 0x0008;
constexpr BitField Parent{4, 12};
constexpr quint32 Wrap = 0x08, JustifyLast = 0x80;
constexpr BitField HAlign{0, 3}, VAlign{4, 3};
// Excel 5 and 95: the alignment is a word with the orientation and the
// attribute bits above it.
constexpr BitField Orientation5{8, 2}, UsedAttributes5{10, 6};
// Excel 97: indent byte, attribute byte, two border words and the fill word.
constexpr quint32 Shrink = 0x10;
constexpr BitField Indent{0, 4}, ReadOrder{6, 2};
constexpr BitField UsedAttributes{2, 6};
constexpr BitField LeftStyle{0, 4}, RightStyle{4, 4}, TopStyle{8, 4}, BottomStyle{12, 4}, LeftColor{16, 7},
    RightColor{23, 7}, DiagonalLines{30, 2};
constexpr BitField TopColor{0, 7}, BottomColor{7, 7}, DiagonalColor{14, 7}, DiagonalStyle{21, 4}, Pattern{26, 6};
constexpr BitField PatternColor{0, 7}, BackgroundColor{7, 7};
// Excel 5 and 95: fill and bottom border in one word, the other borders in the next.
constexpr BitField PatternColor5{0, 7}, BackgroundColor5{7, 7}, Pattern5{16, 6}, BottomStyle5{22, 3},
    BottomColor5{25, 7};
constexpr BitField TopStyle5{0, 3}, LeftStyle5{3, 3}, RightStyle5{6, 3}, TopColor5{9, 7}, LeftColor5{16, 7},
    RightColor5{23, 7};
} // namespace xf

// Font records count from 0, but no font 4 is ever stored: indices from
// 4 on skip it.
constexpr quint16 storedFontIndex(quint16 font) { return font >= 4 ? font + 1 : font; }
constexpr quint16 fontIndexOf(quint16 stored) { return stored >= 4 ? stored - 1 : stored; }

// The formula tokens the .xls layer itself looks for or writes; the
// formula decoder and encoder know the rest.
namespace ptg {
constexpr quint8 Exp = 0x01, Union = 0x10, Err = 0x1C, MemFunc = 0x29, Area3d = 0x3B;
}

} // namespace tegaro::sheets
