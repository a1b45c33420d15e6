#include "sheets/SheetBook.h"

#include "sheets/Formulas.h"
#include "sheets/HandleMemoryStream.h"
#include "sheets/NumberFormat.h"
#include "sheets/SheetErrors.h"
#include "sheets/WorkbookFile.h"
#include "sheets/XlsFile.h"

#include <QLocale>

#include <cmath>
#include <cstring>

namespace tegaro::sheets {

TSheetBook::TSheetBook() = default;

void TSheetBook::Changed()
{
    if (onChanged)
        onChanged();
}

Sheet& TSheetBook::active()
{
    if (book_.sheets.isEmpty())
        book_.addSheet(QStringLiteral("Sheet1"));
    book_.activeSheet = std::clamp(book_.activeSheet, 0, int(book_.sheets.size()) - 1);
    return book_.sheets[book_.activeSheet];
}

const Sheet& TSheetBook::active() const
{
    return const_cast<TSheetBook*>(this)->active();
}

QString TSheetBook::CellText(int sheet, int row, int col) const
{
    if (sheet < 1 || sheet > book_.sheets.size() || row < 1 || row > kMaxRows || col < 1 || col > kMaxColumns)
        throw ESheetError(QStringLiteral("セルの位置が正しくありません。(%1, %2, %3)").arg(sheet).arg(row).arg(col));
    return book_.cellText(sheet - 1, row - 1, col - 1);
}

void TSheetBook::LoadWorkbook(const QString& path, short* fileType)
{
    book_ = readWorkbookFile(path);
    calc_.rebuild();
    if (fileType)
        *fileType = 4;
    Changed();
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
    calc_.rebuild();
    Changed();
}

void TSheetBook::ClearWorkbook()
{
    book_ = Workbook();
    calc_.rebuild();
    Changed();
}

int TSheetBook::TopRow() const { return active().view.topRow + 1; }

void TSheetBook::SetTopRow(int row)
{
    active().view.topRow = std::clamp(row, 1, kMaxRows) - 1;
    Changed();
}

int TSheetBook::LeftCol() const { return active().view.leftCol + 1; }

void TSheetBook::SetLeftCol(int col)
{
    active().view.leftCol = std::clamp(col, 1, kMaxColumns) - 1;
    Changed();
}

void TSheetBook::SetShowEditBar(bool on) { showEditBar_ = on; Changed(); }
void TSheetBook::SetShowColHeading(bool on) { showColHeading_ = on; Changed(); }
void TSheetBook::SetShowRowHeading(bool on) { showRowHeading_ = on; Changed(); }

int TSheetBook::ViewScale() const { return active().view.zoom; }

void TSheetBook::SetViewScale(int percent)
{
    active().view.zoom = quint16(std::clamp(percent, 10, 400));
    Changed();
}

void TSheetBook::ApplyStandardView()
{
    SetTopRow(1);
    SetLeftCol(1);
    SetShowEditBar(true);
    SetShowColHeading(false);
    SetShowRowHeading(false);
    SetViewScale(95);
}

void TSheetBook::setActiveSheet(int sheet)
{
    if (sheet < 0 || sheet >= book_.sheets.size())
        return;
    book_.activeSheet = sheet;
    Changed();
}

int TSheetBook::activeRow() const { return active().view.activeRow; }
int TSheetBook::activeCol() const { return active().view.activeCol; }

void TSheetBook::setActiveCell(int row, int col)
{
    active().view.activeRow = std::clamp(row, 0, kMaxRows - 1);
    active().view.activeCol = std::clamp(col, 0, kMaxColumns - 1);
    Changed();
}

void TSheetBook::SetEntry(int sheet, int row, int col, const QString& entry)
{
    if (sheet < 0 || sheet >= book_.sheets.size() || row < 0 || row >= kMaxRows || col < 0 || col >= kMaxColumns)
        throw ESheetError(QStringLiteral("セルの位置が正しくありません。"));
    const auto existing = cellFormula(book_, sheet, row, col);
    if (existing && existing->shape == FormulaShape::ArrayPart)
        throw ESheetError(QStringLiteral("配列数式の一部は変更できません。"));
    // compiled before anything changes, so a faulty formula leaves the cell as it was
    const std::shared_ptr<const Formula> formula = isFormulaEntry(entry) ? compileFormula(book_, sheet, entry) : nullptr;
    Cell& c = book_.sheets[sheet].cellRef(row, col);
    const quint16 xf = c.xf;
    c = Cell();
    c.xf = xf;
    const QString t = entry.trimmed();
    bool ok = false;
    QString plain = t;
    plain.remove(u',');
    double v = QLocale::c().toDouble(plain, &ok);
    if (!ok && plain.endsWith(u'%')) {
        v = QLocale::c().toDouble(plain.chopped(1), &ok) / 100;
    }
    if (entry.isEmpty()) {
        // nothing: an empty cell that keeps its format
    } else if (formula) {
        c.kind = CellKind::Formula;
        c.formula = formula;
    } else if (ok) {
        c.kind = CellKind::Number;
        c.number = v;
    } else if (t.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0
               || t.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0) {
        c.kind = CellKind::Boolean;
        c.number = t.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0;
    } else {
        c.kind = CellKind::Text;
        c.text = entry;
    }
    recalc_ = calc_.cellsChanged({{sheet, row, col}});
    Changed();
}

void TSheetBook::RecalculateAll()
{
    calc_.rebuild();
    recalc_ = calc_.recalculateAll();
    Changed();
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
    case CellKind::Text: return c->text;
    default: return book_.cellText(sheet, row, col);
    }
}

} // namespace tegaro::sheets
