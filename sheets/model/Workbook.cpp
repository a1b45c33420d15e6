#include "sheets/model/Workbook.h"

#include "sheets/numfmt/NumberFormat.h"

#include <atomic>

namespace tegaro::sheets {

namespace {

// Excel's standard colours for palette indices 8 to 63.
constexpr QRgb kPalette[kPaletteColors] = {
    0x000000,
    0xFFFFFF,
    0xFF0000,
    0x00FF00,
    0x0000FF,
    0xFFFF00,
    0xFF00FF,
    0x00FFFF,
    0x800000,
    0x008000,
    0x000080,
    0x808000,
    0x800080,
    0x008080,
    0xC0C0C0,
    0x808080,
    0x9999FF,
    0x993366,
    0xFFFFCC,
    0xCCFFFF,
    0x660066,
    0xFF8080,
    0x0066CC,
    0xCCCCFF,
    0x000080,
    0xFF00FF,
    0xFFFF00,
    0x00FFFF,
    0x800080,
    0x800000,
    0x008080,
    0x0000FF,
    0x00CCFF,
    0xCCFFFF,
    0xCCFFCC,
    0xFFFF99,
    0x99CCFF,
    0xFF99CC,
    0xCC99FF,
    0xFFCC99,
    0x3366FF,
    0x33CCCC,
    0x99CC00,
    0xFFCC00,
    0xFF9900,
    0xFF6600,
    0x666699,
    0x969696,
    0x003366,
    0x339966,
    0x003300,
    0x333300,
    0x993300,
    0x993366,
    0x333399,
    0x333333,
};

} // namespace

QRgb defaultPaletteColor(int index)
{
    if (isPaletteColor(index))
        return 0xFF000000 | kPalette[index - kFirstPaletteColor];
    if (index >= 0 && index < kFirstPaletteColor)
        return 0xFF000000 | kPalette[index];
    return index == kBackgroundColor ? 0xFFFFFFFF : 0xFF000000;
}

QString columnName(int col)
{
    QString letters;
    for (int c = col + 1; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters;
}

QString cellName(int row, int col)
{
    return columnName(col) + QString::number(row + 1);
}

namespace {

std::optional<std::pair<int, int>> parseCell(QStringView text)
{
    int i = 0, col = 0, row = 0;
    auto dollar = [&] { if (i < text.size() && text[i] == u'$') ++i; };
    dollar();
    const int lettersAt = i;
    while (i < text.size() && text[i].isLetter() && text[i].unicode() < 128) {
        col = col * 26 + (text[i].toUpper().unicode() - 'A' + 1);
        if (col > kMaxColumns)
            return std::nullopt;
        ++i;
    }
    if (i == lettersAt)
        return std::nullopt;
    dollar();
    const int digitsAt = i;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) {
        row = row * 10 + (text[i].unicode() - '0');
        if (row > kMaxRows)
            return std::nullopt;
        ++i;
    }
    if (i == digitsAt || i != text.size() || row < 1)
        return std::nullopt;
    return std::pair(row - 1, col - 1);
}

} // namespace

std::optional<Range> parseRange(const QString& text)
{
    const QString t = text.trimmed();
    const qsizetype colon = t.indexOf(u':');
    const auto a = parseCell(QStringView(t).left(colon < 0 ? t.size() : colon));
    const auto b = colon < 0 ? a : parseCell(QStringView(t).mid(colon + 1));
    if (!a || !b)
        return std::nullopt;
    return Range{std::min(a->first, b->first), std::max(a->first, b->first),
                 std::min(a->second, b->second), std::max(a->second, b->second)};
}

Range usedRange(const Sheet& sheet)
{
    Range r{0, std::max(sheet.lastRow(), 0), 0, std::max(sheet.lastColumn(), 0)};
    for (const Range& m : sheet.merged) {
        r.lastRow = std::max(r.lastRow, std::min(m.lastRow, kMaxRows - 1));
        r.lastCol = std::max(r.lastCol, std::min(m.lastCol, kMaxColumns - 1));
    }
    return r;
}

QString errorText(int code)
{
    switch (code) {
    case 0x00: return QStringLiteral("#NULL!");
    case 0x07: return QStringLiteral("#DIV/0!");
    case 0x0F: return QStringLiteral("#VALUE!");
    case 0x17: return QStringLiteral("#REF!");
    case 0x1D: return QStringLiteral("#NAME?");
    case 0x24: return QStringLiteral("#NUM!");
    case 0x2A: return QStringLiteral("#N/A");
    default: return QStringLiteral("#N/A");
    }
}

bool Cell::operator==(const Cell& o) const
{
    if (kind != o.kind || result != o.result || xf != o.xf || text != o.text || runs != o.runs)
        return false;
    if (!(number == o.number || (number != number && o.number != o.number)))
        return false;
    if (bool(formula) != bool(o.formula))
        return false;
    return !formula || *formula == *o.formula;
}

DefinedName DefinedName::printArea(int sheet)
{
    DefinedName n;
    n.name = QString(QChar(kPrintArea));
    n.options = kBuiltIn;
    n.sheet = sheet;
    return n;
}

void PageSetup::setLandscape(bool on)
{
    options &= ~kNoPrinterData; // orientation is now known
    if (on)
        options &= ~kPortrait;
    else
        options |= kPortrait;
}

namespace {

int le16At(const QByteArray& pane, int offset)
{
    return quint8(pane[offset]) | (quint8(pane[offset + 1]) << 8);
}

void setLe16At(QByteArray& pane, int offset, int value)
{
    pane[offset] = char(value & 0xFF);
    pane[offset + 1] = char((value >> 8) & 0xFF);
}

} // namespace

int SheetView::frozenRows() const { return frozen() ? le16At(pane, 2) : 0; }
int SheetView::frozenCols() const { return frozen() ? le16At(pane, 0) : 0; }
int SheetView::scrollRow() const { return frozen() ? le16At(pane, 4) : topRow; }
int SheetView::scrollCol() const { return frozen() ? le16At(pane, 6) : leftCol; }

void SheetView::setScroll(int row, int col)
{
    if (frozen()) {
        setLe16At(pane, 4, std::max(row, frozenRows()));
        setLe16At(pane, 6, std::max(col, frozenCols()));
    } else {
        topRow = row;
        leftCol = col;
    }
}

const Cell* Sheet::cell(int row, int col) const
{
    auto it = cells_.find(key(row, col));
    return it == cells_.end() ? nullptr : &it->second;
}

Cell* Sheet::cell(int row, int col)
{
    auto it = cells_.find(key(row, col));
    return it == cells_.end() ? nullptr : &it->second;
}

Cell& Sheet::cellRef(int row, int col)
{
    // files list cells in order: a new last cell needs no search
    const quint32 k = key(row, col);
    if (cells_.empty() || cells_.rbegin()->first < k) {
        revision_.bump();
        return cells_.emplace_hint(cells_.end(), k, Cell())->second;
    }
    const auto [it, added] = cells_.try_emplace(k);
    if (added)
        revision_.bump();
    return it->second;
}

void Sheet::removeCell(int row, int col)
{
    if (cells_.erase(key(row, col)))
        revision_.bump();
}

quint64 LayoutRevision::next()
{
    static std::atomic<quint64> counter{0};
    return ++counter;
}

int Sheet::lastRow() const
{
    return cells_.empty() ? -1 : rowOf(cells_.rbegin()->first);
}

int Sheet::lastColumn() const
{
    int last = -1;
    for (const auto& [k, c] : cells_)
        last = std::max(last, colOf(k));
    return last;
}

quint16 Sheet::columnWidth(int col) const
{
    for (const ColumnInfo& info : columns)
        if (col >= info.first && col <= info.last)
            return info.width;
    return quint16(std::min(defaultColumnWidth * 256 + 182, 0xFFFF)); // padding of the standard font
}

bool Sheet::columnHidden(int col) const
{
    for (const ColumnInfo& info : columns)
        if (col >= info.first && col <= info.last)
            return info.hidden();
    return false;
}

quint16 Sheet::rowHeight(int row) const
{
    auto it = rows.find(row);
    if (it == rows.end())
        return defaultRowHeight;
    return it->second.twips();
}

bool Sheet::rowHidden(int row) const
{
    auto it = rows.find(row);
    return it != rows.end() && it->second.hidden();
}

const Range* Sheet::mergedAt(int row, int col) const
{
    for (const Range& r : merged)
        if (r.contains(row, col))
            return &r;
    return nullptr;
}

int Sheet::xfAt(int row, int col) const
{
    if (const Cell* c = cell(row, col))
        return c->xf;
    auto it = rows.find(row);
    if (it != rows.end() && it->second.hasFormat())
        return it->second.format();
    for (const ColumnInfo& info : columns)
        if (col >= info.first && col <= info.last)
            return info.xf;
    return kDefaultFormat;
}

bool Sheet::isProtected() const
{
    // the kept records: type(2) size(2) data; PROTECT holds 1 when on
    for (qsizetype at = 0; at + 4 <= protection.size();) {
        const int type = le16At(protection, int(at));
        const int size = le16At(protection, int(at) + 2);
        if (type == kProtectRecord && size >= 2 && at + 6 <= protection.size())
            return le16At(protection, int(at) + 4) != 0;
        at += 4 + size;
    }
    return false;
}

bool Sheet::operator==(const Sheet& o) const
{
    return name == o.name && visibility == o.visibility && defaultColumnWidth == o.defaultColumnWidth
        && defaultRowHeight == o.defaultRowHeight && wsBool == o.wsBool && columns == o.columns
        && rows == o.rows && merged == o.merged && view == o.view && page == o.page
        && protection == o.protection && rules == o.rules && cells_ == o.cells_;
}

Workbook::Workbook()
{
    Font standard;
    fonts = {standard, standard, standard, standard};
    CellFormat style;
    style.isStyle = true;
    style.parent = CellFormat::kNoParent;
    for (int i = 0; i < kDefaultFormat; ++i) {
        CellFormat f = style;
        if (i > 0) // later style records carry nothing of their own
            f.usedAttributes = CellFormat::kAllUsed & ~CellFormat::kFontUsed;
        formats << f;
    }
    CellFormat cellXf;
    formats << cellXf;
    CellStyle normal;
    normal.xf = 0;
    styles << normal;
    addSheet(QStringLiteral("Sheet1"));
}

Sheet& Workbook::addSheet(const QString& name)
{
    Sheet s;
    s.name = name;
    sheets << s;
    return sheets.last();
}

QString Workbook::formatCode(int index) const
{
    auto it = numberFormats.find(index);
    if (it != numberFormats.end())
        return *it;
    return builtInFormat(index);
}

const CellFormat& Workbook::format(int xf) const
{
    static const CellFormat fallback;
    if (xf >= 0 && xf < formats.size())
        return formats[xf];
    return fallback;
}

const Font& Workbook::font(int index) const
{
    static const Font fallback;
    if (index >= 0 && index < fonts.size())
        return fonts[index];
    return fonts.isEmpty() ? fallback : fonts.first();
}

QRgb Workbook::color(int index) const
{
    if (index >= kFirstPaletteColor && index - kFirstPaletteColor < palette.size())
        return palette[index - kFirstPaletteColor];
    return defaultPaletteColor(index);
}

int Workbook::addFormat(const CellFormat& f)
{
    int i = int(formats.indexOf(f));
    if (i >= 0)
        return i;
    formats << f;
    return int(formats.size() - 1);
}

int Workbook::addNumberFormat(const QString& code)
{
    for (auto it = numberFormats.begin(); it != numberFormats.end(); ++it)
        if (*it == code)
            return it.key();
    for (int i = 0; i < 164; ++i)
        if (!numberFormats.contains(i) && builtInFormat(i) == code)
            return i;
    int next = 164;
    if (!numberFormats.isEmpty())
        next = std::max(next, numberFormats.lastKey() + 1);
    numberFormats.insert(next, code);
    return next;
}

int Workbook::importFormat(const Workbook& from, int xf)
{
    CellFormat f = from.format(xf);
    const Font font = from.font(f.font);
    int fontIndex = int(fonts.indexOf(font));
    if (fontIndex < 0) {
        fonts << font;
        fontIndex = int(fonts.size()) - 1;
    }
    f.font = quint16(fontIndex);
    f.numberFormat = quint16(addNumberFormat(from.formatCode(f.numberFormat)));
    f.isStyle = false;
    f.parent = 0;
    return addFormat(f);
}

QString Workbook::cellText(int sheet, int row, int col) const
{
    if (sheet < 0 || sheet >= sheets.size())
        return {};
    const Cell* c = sheets[sheet].cell(row, col);
    return c ? cellText(*c) : QString();
}

QString Workbook::cellText(const Cell& c) const
{
    CellKind kind = c.kind == CellKind::Formula ? c.result : c.kind;
    switch (kind) {
    case CellKind::Empty: return {};
    case CellKind::Number: return formatNumber(c.number, formatCode(format(c.xf).numberFormat), date1904);
    case CellKind::Text: return formatText(c.text, formatCode(format(c.xf).numberFormat));
    case CellKind::Boolean: return c.number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case CellKind::Error: return errorText(int(c.number));
    case CellKind::Formula: break;
    }
    return {};
}

bool Workbook::operator==(const Workbook& o) const
{
    auto paletteOf = [](const Workbook& w) {
        QList<QRgb> p;
        for (int i = kFirstPaletteColor; i < kFirstPaletteColor + kPaletteColors; ++i)
            p << w.color(i);
        return p;
    };
    auto namesOf = [](const Workbook& w) {
        QList<DefinedName> n;
        for (const DefinedName& d : w.names)
            if (!d.isPrintArea())
                n << d;
        return n;
    };
    return sheets == o.sheets && fonts == o.fonts && numberFormats == o.numberFormats
        && formats == o.formats && styles == o.styles && paletteOf(*this) == paletteOf(o)
        && namesOf(*this) == namesOf(o) && date1904 == o.date1904 && activeSheet == o.activeSheet
        && protection == o.protection;
}

} // namespace tegaro::sheets
