#include "sheets/book/SheetBook.h"

#include "sheets/book/CellEntry.h"
#include "sheets/formula/Formulas.h"
#include "sheets/memory/HandleMemoryStream.h"
#include "sheets/numfmt/NumberFormat.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/book/WorkbookFile.h"
#include "sheets/xls/XlsFile.h"

#include <QSet>

#include <atomic>
#include <cmath>
#include <cstring>

namespace tegaro::sheets {

namespace {

// An array formula's cells change only all together.
[[noreturn]] void refuseArrayPart()
{
    throw ESheetError(QStringLiteral("配列数式の一部は変更できません。"));
}

// Steps of undo kept; older ones are dropped.
constexpr std::size_t kUndoSteps = 100;

template <class Places>
Range boundsOf(const Places& places, int sheet)
{
    Range r{kMaxRows, -1, kMaxColumns, -1};
    for (const auto& c : places) {
        if (c.sheet != sheet)
            continue;
        r.firstRow = std::min(r.firstRow, c.row);
        r.lastRow = std::max(r.lastRow, c.row);
        r.firstCol = std::min(r.firstCol, c.col);
        r.lastCol = std::max(r.lastCol, c.col);
    }
    return r;
}

const Sheet& emptySheet()
{
    static const Sheet sheet;
    return sheet;
}

} // namespace

TSheetBook::TSheetBook() = default;

quint64 TSheetBook::nextIdentity()
{
    static std::atomic<quint64> last{0};
    return ++last;
}

void TSheetBook::changed(const BookChange& change)
{
    if (onChanged)
        onChanged(change);
}

void TSheetBook::viewChanged()
{
    changed({BookChange::View, book_.activeSheet, {}});
}

void TSheetBook::replaced()
{
    if (book_.sheets.isEmpty())
        book_.addSheet(QStringLiteral("Sheet1"));
    book_.activeSheet = std::clamp(book_.activeSheet, 0, int(book_.sheets.size()) - 1);
    undo_.clear();
    redo_.clear();
    edited_ = false;
    identity_ = nextIdentity();
    calc_.rebuild();
    recalc_ = {};
    const bool headings = active().view.headings();
    flags_.colHeading = flags_.rowHeading = headings;
    cut_.reset();
    sheetShown();
    changed({BookChange::Workbook, -1, {}});
}

Sheet& TSheetBook::active()
{
    return book_.sheets[book_.activeSheet];
}

const Sheet& TSheetBook::active() const
{
    const int i = book_.activeSheet;
    return i >= 0 && i < book_.sheets.size() ? book_.sheets[i] : emptySheet();
}

void TSheetBook::checkPlace(int sheet, int row, int col) const
{
    if (sheet < 0 || sheet >= book_.sheets.size() || row < 0 || row >= kMaxRows || col < 0 || col >= kMaxColumns)
        throw ESheetError(QStringLiteral("セルの位置が正しくありません。(%1, %2, %3)").arg(sheet + 1).arg(row + 1).arg(col + 1));
}

void TSheetBook::setWorkbook(Workbook book)
{
    book_ = std::move(book);
    fileName_.clear();
    replaced();
}

void TSheetBook::LoadWorkbook(const QString& path, short* fileType)
{
    book_ = readWorkbookFile(path);
    fileName_ = path;
    if (fileType)
        *fileType = 4;
    replaced();
}

void TSheetBook::SaveWorkbook(const QString& path, short fileType) const
{
    if (fileType != 4)
        throw ESheetError(QStringLiteral("この形式では保存できません。(%1)").arg(fileType));
    writeXlsFile(book_, path);
}

void TSheetBook::SaveToMemoryHandle(HGLOBAL& handle, short reserved) const
{
    const QByteArray bytes = writeXls(book_);
    const qsizetype spare = std::max<short>(reserved, 0);
    const HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size_t(spare + bytes.size()));
    if (!h)
        throw EOutOfMemory(QStringLiteral("メモリが足りません。"));
    char* p = static_cast<char*>(GlobalLock(h));
    std::memcpy(p + spare, bytes.constData(), size_t(bytes.size()));
    GlobalUnlock(h);
    handle = h;
}

void TSheetBook::LoadFromMemoryHandle(HGLOBAL handle, short reserved)
{
    const char* p = static_cast<const char*>(GlobalLock(handle));
    if (!p)
        throw EHandleMemoryStream(QStringLiteral("Invalid Memory Handle"));
    const qsizetype size = qsizetype(GlobalSize(handle));
    const qsizetype spare = std::clamp<qsizetype>(reserved, 0, size);
    const QByteArray bytes(p + spare, size - spare);
    GlobalUnlock(handle);
    book_ = readWorkbook(bytes);
    fileName_.clear();
    replaced();
}

void TSheetBook::ClearWorkbook()
{
    book_ = Workbook();
    fileName_.clear();
    replaced();
}

QString TSheetBook::cellText(int sheet, int row, int col) const
{
    checkPlace(sheet, row, col);
    return book_.cellText(sheet, row, col);
}

int TSheetBook::topRow() const { return active().view.scrollRow(); }
int TSheetBook::leftCol() const { return active().view.scrollCol(); }

void TSheetBook::setTopRow(int row)
{
    SheetView& v = active().view;
    v.setScroll(std::clamp(row, 0, kMaxRows - 1), v.scrollCol());
    viewChanged();
}

void TSheetBook::setLeftCol(int col)
{
    SheetView& v = active().view;
    v.setScroll(v.scrollRow(), std::clamp(col, 0, kMaxColumns - 1));
    viewChanged();
}

int TSheetBook::zoom() const { return active().view.zoom; }

void TSheetBook::setZoom(int percent)
{
    active().view.zoom = quint16(std::clamp(percent, 10, 400));
    viewChanged();
}

void TSheetBook::setViewFlags(const ViewFlags& flags)
{
    flags_ = flags;
    viewChanged();
}

void TSheetBook::setActiveSheet(int sheet)
{
    if (sheet < 0 || sheet >= book_.sheets.size())
        return;
    book_.activeSheet = sheet;
    sheetShown();
    viewChanged();
}

int TSheetBook::activeRow() const { return active().view.activeRow; }
int TSheetBook::activeCol() const { return active().view.activeCol; }

void TSheetBook::setActiveCell(int row, int col)
{
    select(row, col);
}

Cell TSheetBook::entryCell(int sheet, int row, int col, const QString& entry)
{
    checkPlace(sheet, row, col);
    if (const Cell* old = book_.sheets[sheet].cell(row, col); old && old->kind == CellKind::Formula) {
        const auto existing = cellFormula(book_, sheet, row, col);
        if (existing && existing->shape == FormulaShape::ArrayPart)
            refuseArrayPart();
    }
    const Sheet& s = book_.sheets[sheet];
    Cell c;
    c.xf = quint16(s.xfAt(row, col));
    if (isFormulaEntry(entry)) {
        // compiled before anything changes, so a faulty formula leaves the cell as it was
        c.kind = CellKind::Formula;
        c.formula = compileFormula(book_, sheet, entry);
        return c;
    }
    const CellFormat& format = book_.format(c.xf);
    const QString code = book_.formatCode(format.numberFormat);
    // a cell formatted as text keeps what is typed as text
    CellEntry e = code == u"@" && !entry.isEmpty() ? CellEntry{CellKind::Text, 0, entry, {}, false}
                                                   : parseEntry(entry, book_.date1904);
    c.kind = e.kind;
    c.number = e.number;
    c.text = e.text;
    const QString wanted = formatAfterEntry(e, code);
    if (wanted != code || format.prefix123 != e.quoted) {
        CellFormat f = format;
        if (wanted != code) {
            f.numberFormat = quint16(book_.addNumberFormat(wanted));
            f.usedAttributes |= CellFormat::kNumberFormatUsed;
        }
        f.prefix123 = e.quoted;
        c.xf = quint16(book_.addFormat(f));
    }
    return c;
}

std::shared_ptr<const Formula> TSheetBook::movedFormula(int sheet, const Formula& formula, int rows, int cols)
{
    return sheets::movedFormula(book_, sheet, formula, rows, cols);
}

void TSheetBook::SetEntry(int sheet, int row, int col, const QString& entry)
{
    const Cell c = entryCell(sheet, row, col, entry);
    if (c.kind == CellKind::Empty && !book_.sheets[sheet].cell(row, col))
        return; // nothing there, nothing to empty
    apply({{sheet, row, col, c}});
}

QString TSheetBook::EntryText(int sheet, int row, int col) const
{
    if (sheet < 0 || sheet >= book_.sheets.size())
        return {};
    const Cell* c = book_.sheets[sheet].cell(row, col);
    if (!c)
        return {};
    if (c->kind == CellKind::Formula) {
        if (const QString f = formulaText(book_, sheet, row, col); !f.isEmpty())
            return f;
    }
    const CellKind kind = c->kind == CellKind::Formula ? c->result : c->kind;
    switch (kind) {
    case CellKind::Number: {
        // dates as dates, other numbers with all their digits
        const QString code = book_.formatCode(book_.format(c->xf).numberFormat);
        if (isDateFormat(code)) {
            const bool whole = c->number == std::floor(c->number);
            return formatNumber(c->number, whole ? QStringLiteral("yyyy/m/d") : QStringLiteral("yyyy/m/d h:mm:ss"),
                                book_.date1904);
        }
        const double a = std::fabs(c->number);
        if (a >= 1e15 || (a != 0 && a < 1e-9))
            return QString::number(c->number, 'g', 15);
        const int decimals = a == 0 ? 0 : std::max(0, 14 - int(std::floor(std::log10(a))));
        QString digits = QString::number(c->number, 'f', decimals);
        if (digits.contains(u'.')) {
            while (digits.endsWith(u'0'))
                digits.chop(1);
            if (digits.endsWith(u'.'))
                digits.chop(1);
        }
        return digits;
    }
    case CellKind::Text:
        // a text typed after an apostrophe shows it again
        return book_.format(c->xf).prefix123 ? u'\'' + c->text : c->text;
    default: return book_.cellText(sheet, row, col);
    }
}

CellChanges TSheetBook::applyRaw(const CellChanges& changes)
{
    CellChanges inverse;
    inverse.reserve(changes.size());
    for (const CellChange& change : changes) {
        Sheet& s = book_.sheets[change.sheet];
        const Cell* before = s.cell(change.row, change.col);
        inverse.prepend({change.sheet, change.row, change.col, before ? std::optional<Cell>(*before) : std::nullopt});
        if (change.cell)
            s.cellRef(change.row, change.col) = *change.cell;
        else
            s.removeCell(change.row, change.col);
    }
    // the formulas reading the cells follow every change, undo and redo too
    QList<CellAddress> cells;
    cells.reserve(changes.size());
    for (const CellChange& change : changes)
        cells.append({change.sheet, change.row, change.col});
    recalc_ = calc_.cellsChanged(cells);
    cells.append(recalc_.changed);
    cellsChanged(cells);
    return inverse;
}

void TSheetBook::cellsChanged(const QList<CellAddress>& cells)
{
    // one notice a sheet, covering what the step touched
    QList<int> sheets;
    for (const CellAddress& c : cells)
        if (!sheets.contains(c.sheet))
            sheets << c.sheet;
    for (int sheet : sheets)
        changed({BookChange::Cells, sheet, boundsOf(cells, sheet)});
}

void TSheetBook::RecalculateAll()
{
    recalc_ = calc_.recalculateAll();
    cellsChanged(recalc_.changed);
}

// An array formula fills its cells as one: their values may change only all
// together (Delete or a paste over the whole range), as in spreadsheet
// programs. Formats of single cells may change.
void TSheetBook::checkArrays(const CellChanges& changes) const
{
    auto place = [](int sheet, int row, int col) { return (quint64(sheet) << 32) | Sheet::key(row, col); };
    QSet<quint64> touched;
    QList<const CellChange*> parts; // cells that point to a formula elsewhere (ptgExp)
    for (const CellChange& c : changes) {
        const Cell* old = book_.sheets[c.sheet].cell(c.row, c.col);
        if (!old || !old->formula)
            continue;
        const Cell* now = c.cell ? &*c.cell : nullptr;
        if (now && now->kind == old->kind && now->formula == old->formula && now->number == old->number
            && now->text == old->text)
            continue; // its format only
        touched.insert(place(c.sheet, c.row, c.col));
        if (old->formula->tokens.startsWith('\x01'))
            parts << &c;
    }
    for (const CellChange* c : parts) {
        std::optional<CellFormula> f;
        try {
            f = cellFormula(book_, c->sheet, c->row, c->col);
        } catch (const EFormulaError&) {
            continue; // unreadable: nothing to keep together
        }
        if (!f || f->shape != FormulaShape::ArrayPart)
            continue;
        const Sheet& s = book_.sheets[c->sheet];
        for (int r = f->range.firstRow; r <= f->range.lastRow; ++r)
            for (int col = f->range.firstCol; col <= f->range.lastCol; ++col)
                if (s.cell(r, col) && !touched.contains(place(c->sheet, r, col)))
                    refuseArrayPart();
    }
}

void TSheetBook::apply(const CellChanges& changes)
{
    for (const CellChange& c : changes)
        checkPlace(c.sheet, c.row, c.col);
    if (changes.isEmpty())
        return;
    checkArrays(changes);
    edited_ = true;
    undo_.push_back(applyRaw(changes));
    if (undo_.size() > kUndoSteps)
        undo_.erase(undo_.begin());
    redo_.clear();
}

std::optional<BookChange> TSheetBook::step(std::vector<CellChanges>& from, std::vector<CellChanges>& to)
{
    if (from.empty())
        return std::nullopt;
    const CellChanges changes = std::move(from.back());
    from.pop_back();
    edited_ = true;
    to.push_back(applyRaw(changes));
    const int sheet = changes.first().sheet;
    const BookChange done{BookChange::Cells, sheet, boundsOf(changes, sheet)};
    if (sheet == activeSheet())
        selectRange(done.range); // the selection follows what changed back
    return done;
}

std::optional<BookChange> TSheetBook::undo() { return step(undo_, redo_); }
std::optional<BookChange> TSheetBook::redo() { return step(redo_, undo_); }

bool TSheetBook::isLocked(int sheet, int row, int col) const
{
    if (sheet < 0 || sheet >= book_.sheets.size())
        return false;
    const Sheet& s = book_.sheets[sheet];
    return s.isProtected() && book_.format(s.xfAt(row, col)).locked;
}

bool TSheetBook::anyLocked(int sheet, const Range& range) const
{
    if (sheet < 0 || sheet >= book_.sheets.size() || !book_.sheets[sheet].isProtected())
        return false;
    const Sheet& s = book_.sheets[sheet];
    // below the last row with cells or a format of its own every row looks
    // the same: one of them stands for all
    const int used = std::max(s.lastRow(), s.rows.empty() ? -1 : s.rows.rbegin()->first);
    const int last = std::min(range.lastRow, std::max(used, range.firstRow) + 1);
    for (int r = range.firstRow; r <= last; ++r)
        for (int c = range.firstCol; c <= range.lastCol; ++c)
            if (book_.format(s.xfAt(r, c)).locked)
                return true;
    return false;
}

} // namespace tegaro::sheets
