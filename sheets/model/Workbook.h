#pragma once
// The workbook model: what a detail sheet holds, close to what the .xls file
// stores, so that a workbook read and written again keeps everything users made.
#include "sheets/model/NodePool.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QRgb>

#include <map>
#include <memory>
#include <optional>

namespace tegaro::sheets {

constexpr int kMaxRows = 65536;
constexpr int kMaxColumns = 256;

// The format of cells, rows and columns that have none of their own: the
// first cell format, after the 15 style formats every workbook begins with.
constexpr quint16 kDefaultFormat = 15;

// Palette indices: 8 to 63 may be changed by the workbook; 64 and 65 are
// the window's own text and background colours ("automatic").
constexpr int kFirstPaletteColor = 8, kPaletteColors = 56;
constexpr quint8 kAutomaticColor = 64, kBackgroundColor = 65;
constexpr bool isPaletteColor(int index) { return index >= kFirstPaletteColor && index < kFirstPaletteColor + kPaletteColors; }

enum class CellKind : quint8 {
    Empty,
    Number,
    Text,
    Boolean,
    Error,
    Formula
};

// A font change inside a text: from character `first` on, font `font`.
struct RichRun {
    quint16 first = 0;
    quint16 font = 0;
    bool operator==(const RichRun&) const = default;
};

struct Range {
    int firstRow = 0, lastRow = 0, firstCol = 0, lastCol = 0;
    bool contains(int row, int col) const
    {
        return row >= firstRow && row <= lastRow && col >= firstCol && col <= lastCol;
    }
    bool operator==(const Range&) const = default;
};

// A formula as the file stores it. Tokens are kept as bytes so they are
// written back unchanged; `anchored` holds the raw records (shared formula,
// array, table) that belong right after this cell's formula record.
// Formulas read from .xlsx and .ods files come as text; until that text is
// compiled to tokens, `tokens` is empty and the cell is saved as its value.
struct Formula {
    // bits of options
    static constexpr quint16 kAlwaysCalc = 0x0001, kCalcOnLoad = 0x0002, kShared = 0x0008;
    QByteArray tokens;
    QByteArray extra; // data after the tokens (array constants and such)
    quint16 options = 0;
    QByteArray anchored;        // records: type(2) size(2) data, one after another
    int biff = 8;               // token dialect: 8, or 5 for Excel 95 files
    QString source;             // Excel formula text without "=" as a package gave it
    std::optional<Range> array; // the cells an array formula fills, on its first cell
    bool compiled() const { return !tokens.isEmpty(); }
    bool operator==(const Formula&) const = default;
};

struct Cell {
    CellKind kind = CellKind::Empty;
    CellKind result = CellKind::Empty; // a formula's cached result kind
    quint16 xf = kDefaultFormat;
    double number = 0; // number, boolean (0/1), error code, cached result
    QString text;      // text, or a formula's cached text
    QList<RichRun> runs;
    std::shared_ptr<const Formula> formula;

    bool operator==(const Cell& o) const;
};

struct Font {
    // bits of options
    static constexpr quint16 kItalic = 0x02, kStrike = 0x08, kOutline = 0x10, kShadow = 0x20;
    static constexpr quint16 kAutomatic = 0x7FFF; // the colour of the window's text
    static constexpr quint16 kNormal = 400, kBold = 700;
    // kinds of underline
    static constexpr quint8 kSingle = 0x01, kDouble = 0x02, kSingleAccounting = 0x21, kDoubleAccounting = 0x22;

    QString name = QStringLiteral("ＭＳ Ｐゴシック");
    quint16 height = 220; // twips
    quint16 options = 0;
    quint16 color = kAutomatic; // palette index
    quint16 weight = kNormal;
    quint16 escapement = 0; // 1 superscript, 2 subscript
    quint8 underline = 0;
    quint8 family = 0;
    quint8 charset = 128;
    bool bold() const { return weight >= kBold; }
    bool italic() const { return options & kItalic; }
    bool strike() const { return options & kStrike; }
    bool operator==(const Font&) const = default;
};

struct Border {
    quint8 style = 0; // 0 none, 1 thin, 2 medium, ... 13
    quint8 color = kAutomaticColor;
    bool operator==(const Border&) const = default;
};

// A cell format (XF). Font indices count font records from 0.
struct CellFormat {
    // The six "attribute set here" bits of usedAttributes (on a style
    // format they say what it leaves alone).
    static constexpr quint8 kNumberFormatUsed = 0x01, kFontUsed = 0x02, kAlignmentUsed = 0x04, kBorderUsed = 0x08,
                            kFillUsed = 0x10, kProtectionUsed = 0x20, kAllUsed = 0x3F;
    static constexpr quint16 kNoParent = 0x0FFF; // the parent of a style format

    quint16 font = 0;
    quint16 numberFormat = 0;
    bool locked = true;
    bool hidden = false;
    bool isStyle = false;
    bool prefix123 = false;
    quint16 parent = 0;
    quint8 hAlign = 0; // 0 general, 1 left, 2 centre, 3 right, 4 fill, 5 justify, 6 centre across
    quint8 vAlign = 2; // 0 top, 1 centre, 2 bottom, 3 justify
    bool wrap = false;
    bool justLast = false;
    quint8 rotation = 0; // 0-90 up, 91-180 down, 255 stacked
    quint8 indent = 0;
    bool shrink = false;
    quint8 readOrder = 0;
    quint8 usedAttributes = 0;
    Border left, right, top, bottom;
    quint8 diagonalLines = 0; // 1 down, 2 up
    Border diagonal;
    quint8 pattern = 0;
    quint8 patternColor = kAutomaticColor;
    quint8 backgroundColor = kBackgroundColor;
    bool operator==(const CellFormat&) const = default;
};

struct CellStyle {
    quint16 xf = 0;
    bool builtIn = true;
    quint8 builtInId = 0; // 0 Normal
    quint8 level = 0xFF;
    QString name;
    bool operator==(const CellStyle&) const = default;
};

struct ColumnInfo {
    // bits of options
    static constexpr quint16 kHidden = 0x0001, kOutlineLevel = 0x0700, kCollapsed = 0x1000;

    int first = 0, last = 0;
    quint16 width = 2560; // 1/256 of a character
    quint16 xf = kDefaultFormat;
    quint16 options = 0;
    bool hidden() const { return options & kHidden; }
    bool operator==(const ColumnInfo&) const = default;
};

struct RowInfo {
    // Bits of options: the ROW record's flags in the low word, its format
    // word in the high one.
    static constexpr quint32 kHidden = 0x20, kCustomHeight = 0x40, kHasFormat = 0x80, kAlwaysSet = 0x100;
    static constexpr int kFormatShift = 16;
    static constexpr quint32 kFormatBits = 0x0FFF;    // after the shift
    static constexpr quint16 kDefaultHeight = 0x8000; // in height: the sheet's default height applies

    quint16 height = 255; // twips
    quint32 options = kAlwaysSet;
    bool hidden() const { return options & kHidden; }
    quint16 twips() const { return height & ~kDefaultHeight; }
    // The format of the row's empty cells, when it has one.
    bool hasFormat() const { return options & kHasFormat; }
    int format() const { return int((options >> kFormatShift) & kFormatBits); }
    void setFormat(quint32 xf) { options = (options & 0xFFFF) | kHasFormat | (xf << kFormatShift); }
    bool operator==(const RowInfo&) const = default;
};

struct SheetView {
    // bits of options
    static constexpr quint16 kFormulas = 0x0001, kGridlines = 0x0002, kHeadings = 0x0004, kFrozen = 0x0008,
                             kZeros = 0x0010, kAutomaticGridColor = 0x0020, kRightToLeft = 0x0040,
                             kOutlineSymbols = 0x0080, kFrozenNoSplit = 0x0100, kSelected = 0x0200, kShown = 0x0400;

    quint16 options = kGridlines | kHeadings | kZeros | kAutomaticGridColor | kOutlineSymbols;
    int topRow = 0, leftCol = 0;
    quint16 gridColor = kAutomaticColor;
    quint16 zoom = 100; // percent
    int activeRow = 0, activeCol = 0;
    QByteArray pane; // the frozen or split pane record, as stored
    bool operator==(const SheetView&) const = default;

    bool gridlines() const { return options & kGridlines; }
    bool headings() const { return options & kHeadings; }
    bool automaticGridColor() const { return options & kAutomaticGridColor; }
    // Frozen panes: rows and columns that stay in place while the rest scrolls.
    bool frozen() const { return (options & kFrozen) && pane.size() >= 8; }
    int frozenRows() const;
    int frozenCols() const;
    // The first row and column of the part that scrolls.
    int scrollRow() const;
    int scrollCol() const;
    void setScroll(int row, int col);
};

struct PageSetup {
    // bits of options
    static constexpr quint16 kOverThenDown = 0x01, kPortrait = 0x02, kNoPrinterData = 0x04, kUsePageStart = 0x80;

    quint16 paperSize = 9; // A4
    quint16 scale = 100;
    qint16 pageStart = 1;
    quint16 fitWidth = 1, fitHeight = 1;
    quint16 options = kNoPrinterData;
    quint16 hResolution = 600, vResolution = 600;
    double headerMargin = 0.5, footerMargin = 0.5; // inches
    quint16 copies = 1;
    std::optional<double> leftMargin, rightMargin, topMargin, bottomMargin;
    QString header, footer;
    bool hCenter = false, vCenter = false;
    bool printGridlines = false, printHeadings = false;
    bool fitToPage = false;
    QList<Range> printArea;
    QList<int> rowBreaks, columnBreaks; // manual page breaks before these rows and columns
    // Paper, scale, orientation and first page number count only with printer data.
    bool printerData() const { return !(options & kNoPrinterData); }
    bool landscape() const { return printerData() && !(options & kPortrait); }
    bool overThenDown() const { return options & kOverThenDown; }
    bool usesPageStart() const { return options & kUsePageStart; }
    void setLandscape(bool on);
    bool operator==(const PageSetup&) const = default;
};

// A number no other layout of any sheet has had: a fresh one on every
// change and every copy, so an index built for one layout never takes
// another for it.
class LayoutRevision {
public:
    LayoutRevision() : value_(next()) {}
    LayoutRevision(const LayoutRevision&) : value_(next()) {}
    LayoutRevision& operator=(const LayoutRevision&)
    {
        value_ = next();
        return *this;
    }
    void bump() { value_ = next(); }
    quint64 value() const { return value_; }

private:
    static quint64 next();
    quint64 value_;
};

class Sheet {
public:
    // cells by key(row, col), in order
    using CellMap = std::map<quint32, Cell, std::less<quint32>, PoolAllocator<std::pair<const quint32, Cell>>>;

    // bits of wsBool
    static constexpr quint16 kShowPageBreaks = 0x0001, kSummaryRowsBelow = 0x0040, kSummaryColumnsRight = 0x0080,
                             kFitToPage = 0x0100, kRowOutlineSymbols = 0x0400;
    // bits of defaultRowOptions
    static constexpr quint16 kRowsHiddenByDefault = 0x0002;
    // the record among those kept in protection that turns protection on
    static constexpr quint16 kProtectRecord = 0x0012;

    QString name;
    quint8 visibility = 0;          // 0 visible, 1 hidden, 2 very hidden
    quint16 defaultColumnWidth = 8; // characters
    quint16 defaultRowHeight = 255; // twips
    quint16 defaultRowOptions = 0;
    quint16 wsBool = kShowPageBreaks | kSummaryRowsBelow | kSummaryColumnsRight | kRowOutlineSymbols;
    QList<ColumnInfo> columns;
    std::map<int, RowInfo> rows;
    QList<Range> merged;
    SheetView view;
    PageSetup page;
    // Records kept as they were, each type(2) size(2) data: protection, and
    // conditional formats and validations (Excel 97 files only).
    QByteArray protection;
    QByteArray rules;

    const Cell* cell(int row, int col) const;
    Cell* cell(int row, int col);
    Cell& cellRef(int row, int col); // creates an empty cell
    void removeCell(int row, int col);
    // Counts cells added and removed, so that an index of where cells lie
    // knows when it is out of date.
    quint64 layoutRevision() const { return revision_.value(); }
    const CellMap& cells() const { return cells_; }
    // f(key, cell) for every cell in order, the cells open to change.
    template <class F>
    void forEachCell(F&& f)
    {
        for (auto& [key, cell] : cells_)
            f(key, cell);
    }
    int cellCount() const { return int(cells_.size()); }

    // Extents of the used cells (-1 when none).
    int lastRow() const;
    int lastColumn() const;

    quint16 columnWidth(int col) const; // 1/256 character
    bool columnHidden(int col) const;
    quint16 rowHeight(int row) const; // twips
    bool rowHidden(int row) const;
    const Range* mergedAt(int row, int col) const;
    // The format a cell shows: its own, else its row's, else its column's.
    int xfAt(int row, int col) const;
    // Whether the sheet is protected (locked cells refuse edits).
    bool isProtected() const;

    static quint32 key(int row, int col) { return (quint32(row) << 16) | quint32(col); }
    static int rowOf(quint32 key) { return int(key >> 16); }
    static int colOf(quint32 key) { return int(key & 0xFFFF); }

    bool operator==(const Sheet& o) const;

private:
    CellMap cells_;
    LayoutRevision revision_;
};

// A defined name. Print areas are names too; their areas live in
// PageSetup, their entries here only keep the names' order.
struct DefinedName {
    // bits of options
    static constexpr quint16 kHidden = 0x0001, kFunction = 0x0002, kProcedure = 0x0008, kBuiltIn = 0x0020;
    static constexpr char16_t kPrintArea = 0x06; // the code of the built-in name Print_Area

    QString name; // for built-in names the one-character code
    quint16 options = 0;
    int sheet = 0; // 0 global, else 1-based sheet
    QByteArray tokens;
    int biff = 8;
    QString source; // Excel formula text of a name not yet compiled to tokens
    bool builtIn() const { return options & kBuiltIn; }
    bool isPrintArea() const { return builtIn() && name == QString(QChar(kPrintArea)); }
    // The print area name of a sheet (1-based), without its areas.
    static DefinedName printArea(int sheet);
    bool operator==(const DefinedName&) const = default;
};

// References to this and other workbooks, kept so that formula tokens that
// point into them stay valid when written again.
struct LinkTable {
    struct Book {
        QByteArray record;
        QList<QByteArray> externNames;
        bool self = false;
    };
    struct Ref {
        quint16 book = 0;
        qint16 first = 0, last = 0;
        bool operator==(const Ref&) const = default;
    };
    QList<Book> books;
    QList<Ref> refs;
};

class Workbook {
public:
    Workbook(); // one empty sheet "Sheet1" with the default formats

    QList<Sheet> sheets;
    QList<Font> fonts;
    QMap<int, QString> numberFormats; // custom and stored codes by index
    QList<CellFormat> formats;
    QList<CellStyle> styles;
    QList<QRgb> palette; // empty: the standard palette
    QList<DefinedName> names;
    LinkTable links;
    bool date1904 = false;
    int activeSheet = 0;
    int firstVisibleTab = 0;
    // bits of windowOptions
    static constexpr quint16 kHorizontalScrollBar = 0x08, kVerticalScrollBar = 0x10, kTabs = 0x20;
    quint16 windowOptions = kHorizontalScrollBar | kVerticalScrollBar | kTabs;
    quint16 tabRatio = 600;
    int biffVersion = 8;                              // what it was read from
    static constexpr quint16 kUnicodeCodePage = 1200; // what Excel 97 files are in
    quint16 codePage = kUnicodeCodePage;
    QByteArray protection; // workbook protection records, as read
    // What reading the file left out or changed because an .xls workbook
    // cannot hold it, one line each, for the message shown after loading.
    QStringList leftOut;

    Sheet& addSheet(const QString& name);
    QString formatCode(int index) const;    // stored or built-in code
    const CellFormat& format(int xf) const; // a valid format for any index
    const Font& font(int index) const;
    QRgb color(int index) const;             // palette lookup, automatic as black
    int addFormat(const CellFormat& format); // index of an equal or new XF
    int addNumberFormat(const QString& code);
    // The index here of a format of `from`, with its font and number format.
    int importFormat(const Workbook& from, int xf);

    // What the cell shows, formatted by its number format; empty when empty.
    QString cellText(int sheet, int row, int col) const;
    QString cellText(const Cell& cell) const;

    bool operator==(const Workbook& o) const;
};

QRgb defaultPaletteColor(int index);
QString cellName(int row, int col); // "A1" from 0-based row and column
QString columnName(int col);        // "A" ... "IV"
// "B3" or "A1:L40" (either order, $ allowed, any case) as a 0-based range.
std::optional<Range> parseRange(const QString& text);
// The cells a sheet uses: values, formats and merged areas; A1 when empty.
Range usedRange(const Sheet& sheet);
QString errorText(int code); // "#DIV/0!" ...

} // namespace tegaro::sheets
