#include "sheets/package/ImportSheet.h"

#include "sheets/model/CellReference.h"
#include "sheets/formula/FormulaText.h"
#include "sheets/package/ImportStyles.h"
#include "sheets/model/SheetErrors.h"

#include <cmath>

namespace tegaro::sheets {

namespace {

QString utf8(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

QString formulaText(std::string_view text, ss::formula_grammar_t grammar)
{
    const QString t = utf8(text);
    return grammar == ss::formula_grammar_t::ods ? odfToExcelFormula(t) : t;
}

// The pane numbers of the .xls PANE record: 3 top left ... 0 bottom right.
quint8 paneNumber(ss::sheet_pane_t pane)
{
    switch (pane) {
    case ss::sheet_pane_t::top_right: return 1;
    case ss::sheet_pane_t::bottom_left: return 2;
    case ss::sheet_pane_t::bottom_right: return 0;
    default: return 3;
    }
}

bool withinSheet(const ss::range_t& r)
{
    return r.first.row >= 0 && r.first.column >= 0 && r.last.row < kMaxRows && r.last.column < kMaxColumns
        && r.first.row <= r.last.row && r.first.column <= r.last.column;
}

} // namespace

void ImportNames::set_named_expression(std::string_view name, std::string_view expression)
{
    pending_.name = utf8(name);
    pending_.text = utf8(expression);
    pending_.range = false;
}

void ImportNames::set_named_range(std::string_view name, std::string_view range)
{
    pending_.name = utf8(name);
    pending_.text = utf8(range);
    pending_.range = true;
}

void ImportNames::commit()
{
    ctx_.charge();
    pending_.sheet = sheet_;
    if (!pending_.name.isEmpty())
        out_.push_back(pending_);
    pending_ = PendingName();
}

// The interfaces the reader asks a sheet for, each a thin face on it.
class ImportSheet::Parts {
public:
    class Properties : public ss::iface::import_sheet_properties {
    public:
        explicit Properties(ImportSheet& s) : s_(s) {}
        void set_column_width(ss::col_t col, double width, orcus::length_unit_t unit) override
        {
            s_.ctx_.charge();
            if (col >= 0 && col < kMaxColumns && width >= 0 && std::isfinite(width))
                s_.widths_[col] = {width, unit};
        }
        void set_column_hidden(ss::col_t col, bool hidden) override
        {
            s_.ctx_.charge();
            if (col >= 0 && col < kMaxColumns) {
                if (hidden)
                    s_.hiddenColumns_.insert(col);
                else
                    s_.hiddenColumns_.erase(col);
            }
        }
        void set_row_height(ss::row_t row, double height, orcus::length_unit_t unit) override
        {
            s_.ctx_.charge();
            if (row < 0 || row >= kMaxRows || !(height >= 0) || !std::isfinite(height))
                return;
            const double points = toPoints(height, unit);
            RowInfo& info = s_.sheet().rows[row];
            info.height = quint16(std::clamp(std::lround(points * 20), 0l, 8190l));
            info.options |= RowInfo::kCustomHeight;
        }
        void set_row_hidden(ss::row_t row, bool hidden) override
        {
            s_.ctx_.charge();
            if (row < 0 || row >= kMaxRows)
                return;
            if (hidden)
                s_.sheet().rows[row].options |= RowInfo::kHidden;
            else if (auto it = s_.sheet().rows.find(row); it != s_.sheet().rows.end())
                it->second.options &= ~RowInfo::kHidden;
        }
        void set_merge_cell_range(const ss::range_t& r) override
        {
            s_.ctx_.charge();
            if (r.first.row == r.last.row && r.first.column == r.last.column)
                return;
            if (!withinSheet(r)) {
                ++s_.ctx_.leftOut.sheets[s_.index].merges;
                return;
            }
            s_.sheet().merged << Range{r.first.row, r.last.row, r.first.column, r.last.column};
        }

    private:
        ImportSheet& s_;
    };

    class View : public ss::iface::import_sheet_view {
    public:
        explicit View(ImportSheet& s) : s_(s) {}
        void set_sheet_active() override { s_.ctx_.book.activeSheet = s_.index; }
        void set_split_pane(double hor, double ver, const ss::address_t& topLeft, ss::sheet_pane_t pane) override
        {
            // split panes are measured in twips
            if (topLeft.row < 0 || topLeft.row >= kMaxRows || topLeft.column < 0 || topLeft.column >= kMaxColumns
                || !(hor >= 0 && hor < 65536) || !(ver >= 0 && ver < 65536))
                return;
            active_ = pane;
            SheetView& v = s_.sheet().view;
            v.pane = paneRecord(int(hor), int(ver), topLeft.row, topLeft.column, paneNumber(pane));
            v.options &= ~(SheetView::kFrozen | SheetView::kFrozenNoSplit);
        }
        void set_frozen_pane(ss::col_t cols, ss::row_t rows, const ss::address_t& topLeft,
                             ss::sheet_pane_t pane) override
        {
            if (cols < 0 || rows < 0 || cols >= kMaxColumns || rows >= kMaxRows || topLeft.row < 0
                || topLeft.row >= kMaxRows || topLeft.column < 0 || topLeft.column >= kMaxColumns)
                return;
            active_ = pane;
            SheetView& v = s_.sheet().view;
            v.pane = paneRecord(cols, rows, topLeft.row, topLeft.column, paneNumber(pane));
            v.options |= SheetView::kFrozen | SheetView::kFrozenNoSplit;
        }
        void set_selected_range(ss::sheet_pane_t pane, ss::range_t range) override
        {
            if (pane != active_ && active_ != ss::sheet_pane_t::unspecified)
                return;
            if (range.first.row < 0 || range.first.column < 0 || range.first.row >= kMaxRows
                || range.first.column >= kMaxColumns)
                return;
            s_.sheet().view.activeRow = range.first.row;
            s_.sheet().view.activeCol = range.first.column;
        }

    private:
        ImportSheet& s_;
        ss::sheet_pane_t active_ = ss::sheet_pane_t::unspecified;
    };

    class Formula : public ss::iface::import_formula {
    public:
        explicit Formula(ImportSheet& s) : s_(s) {}
        void set_position(ss::row_t row, ss::col_t col) override
        {
            row_ = row;
            col_ = col;
        }
        void set_formula(ss::formula_grammar_t grammar, std::string_view formula) override
        {
            grammar_ = grammar;
            text_ = utf8(formula);
        }
        void set_shared_formula_index(size_t index) override { shared_ = index; }
        void set_result_string(std::string_view value) override
        {
            result_.result = CellKind::Text;
            result_.text = s_.ctx_.fitText(value);
        }
        void set_result_value(double value) override
        {
            // a formula saved without a result comes as "not a number": it
            // is worked out after loading
            result_.result = std::isfinite(value) ? CellKind::Number : CellKind::Empty;
            result_.number = std::isfinite(value) ? value : 0;
        }
        void set_result_bool(bool value) override
        {
            result_.result = CellKind::Boolean;
            result_.number = value;
        }
        void set_result_empty() override
        {
            result_.result = CellKind::Text;
            result_.text.clear();
        }
        void commit() override
        {
            QString text = text_;
            if (shared_) {
                // the first cell of a shared formula carries its text; the
                // others read it as moved to their place
                if (!text.isEmpty()) {
                    masters_[*shared_] = {row_, col_, text};
                } else if (auto it = masters_.find(*shared_); it != masters_.end()) {
                    text = shiftFormula(it->second.text, row_ - it->second.row, col_ - it->second.col);
                }
            }
            s_.setFormula(row_, col_, grammar_ == ss::formula_grammar_t::ods ? odfToExcelFormula(text) : text, result_);
            row_ = col_ = -1;
            grammar_ = ss::formula_grammar_t::xlsx;
            text_.clear();
            shared_.reset();
            result_ = Cell();
        }

    private:
        struct Master {
            int row, col;
            QString text;
        };
        ImportSheet& s_;
        int row_ = -1, col_ = -1;
        ss::formula_grammar_t grammar_ = ss::formula_grammar_t::xlsx;
        QString text_;
        std::optional<size_t> shared_;
        Cell result_;
        std::map<size_t, Master> masters_;
    };

    class ArrayFormula : public ss::iface::import_array_formula {
    public:
        explicit ArrayFormula(ImportSheet& s) : s_(s) {}
        void set_range(const ss::range_t& range) override { range_ = range; }
        void set_formula(ss::formula_grammar_t grammar, std::string_view formula) override
        {
            text_ = formulaText(formula, grammar);
        }
        void set_result_string(ss::row_t row, ss::col_t col, std::string_view value) override
        {
            Cell c;
            c.kind = CellKind::Text;
            c.text = s_.ctx_.fitText(value);
            result(row, col, c);
        }
        void set_result_value(ss::row_t row, ss::col_t col, double value) override
        {
            Cell c;
            c.kind = CellKind::Number;
            c.number = value;
            result(row, col, c);
        }
        void set_result_bool(ss::row_t row, ss::col_t col, bool value) override
        {
            Cell c;
            c.kind = CellKind::Boolean;
            c.number = value;
            result(row, col, c);
        }
        void set_result_empty(ss::row_t row, ss::col_t col) override { result(row, col, Cell()); }
        void commit() override
        {
            if (withinSheet(range_)) {
                Cell first = results_.count({0, 0}) ? results_[{0, 0}] : Cell();
                first.result = first.kind;
                s_.setFormula(range_.first.row, range_.first.column, text_, first,
                              Range{range_.first.row, range_.last.row, range_.first.column, range_.last.column});
            }
            for (const auto& [at, value] : results_) {
                if (at == std::make_pair(0, 0))
                    continue;
                if (Cell* c = s_.valueCell(range_.first.row + at.first, range_.first.column + at.second)) {
                    const quint16 xf = c->xf;
                    *c = value;
                    c->xf = xf;
                }
            }
            results_.clear();
        }

    private:
        void result(int row, int col, const Cell& c)
        {
            s_.ctx_.charge();
            results_[{row, col}] = c;
        }
        ImportSheet& s_;
        ss::range_t range_{};
        QString text_;
        std::map<std::pair<int, int>, Cell> results_;
    };

    Parts(ImportSheet& s, std::vector<PendingName>& names)
        : properties(s), view(s), formula(s), array(s), names(s.ctx_, names, s.index)
    {
    }
    Properties properties;
    View view;
    Formula formula;
    ArrayFormula array;
    ImportNames names;
};

ImportSheet::ImportSheet(ImportContext& ctx, std::vector<PendingName>& names, int i)
    : index(i), ctx_(ctx), parts_(std::make_unique<Parts>(*this, names))
{
}

ImportSheet::~ImportSheet() = default;

Sheet& ImportSheet::sheet() { return ctx_.book.sheets[index]; }

ss::iface::import_sheet_view* ImportSheet::get_sheet_view() { return &parts_->view; }
ss::iface::import_sheet_properties* ImportSheet::get_sheet_properties() { return &parts_->properties; }
ss::iface::import_named_expression* ImportSheet::get_named_expression() { return &parts_->names; }
ss::iface::import_formula* ImportSheet::get_formula() { return &parts_->formula; }
ss::iface::import_array_formula* ImportSheet::get_array_formula() { return &parts_->array; }

// What .xls files keep otherwise or not at all: noted, and left to the reader to skip.
ss::iface::import_conditional_format* ImportSheet::get_conditional_format()
{
    ctx_.leftOut.features.insert(QStringLiteral("条件付き書式"));
    return nullptr;
}

ss::iface::import_auto_filter* ImportSheet::get_auto_filter()
{
    ctx_.leftOut.features.insert(QStringLiteral("オートフィルター"));
    return nullptr;
}

ss::iface::import_table* ImportSheet::get_table()
{
    ctx_.leftOut.features.insert(QStringLiteral("テーブル"));
    return nullptr;
}

ss::iface::import_data_table* ImportSheet::get_data_table()
{
    ctx_.leftOut.features.insert(QStringLiteral("データテーブル"));
    return nullptr;
}

Cell* ImportSheet::formatCell(int row, int col)
{
    ctx_.charge();
    if (row < 0 || col < 0)
        throw ECorruptWorkbook(QStringLiteral("ブックのファイルが壊れています。(セルの位置)"));
    if (row >= kMaxRows || col >= kMaxColumns)
        return nullptr;
    Sheet& s = sheet();
    const int before = s.cellCount();
    Cell& c = s.cellRef(row, col);
    if (s.cellCount() != before) {
        ctx_.countCell();
        c.xf = 0; // the file's first format until formats are known
    }
    return &c;
}

Cell* ImportSheet::valueCell(int row, int col)
{
    if (row >= kMaxRows && col >= 0)
        ++ctx_.leftOut.sheets[index].rowsBeyond;
    else if (col >= kMaxColumns && row >= 0)
        ++ctx_.leftOut.sheets[index].columnsBeyond;
    Cell* c = formatCell(row, col);
    if (c) {
        const quint16 xf = c->xf;
        *c = Cell();
        c->xf = xf;
        dates_.erase(Sheet::key(row, col));
    }
    return c;
}

void ImportSheet::setFormula(int row, int col, const QString& text, const Cell& result,
                             std::optional<Range> array)
{
    Cell* c = valueCell(row, col);
    if (!c)
        return;
    c->kind = CellKind::Formula;
    c->result = result.result;
    c->number = result.number;
    c->text = result.text;
    auto f = std::make_shared<Formula>();
    f->source = text;
    f->array = array;
    c->formula = f;
}

void ImportSheet::set_auto(ss::row_t row, ss::col_t col, std::string_view s)
{
    Cell* c = valueCell(row, col);
    if (!c)
        return;
    bool ok = false;
    const double v = utf8(s).trimmed().toDouble(&ok);
    if (ok) {
        c->kind = CellKind::Number;
        c->number = v;
    } else if (!s.empty()) {
        c->kind = CellKind::Text;
        c->text = ctx_.fitText(s);
    }
}

void ImportSheet::set_string(ss::row_t row, ss::col_t col, ss::string_id_t sindex)
{
    Cell* c = valueCell(row, col);
    if (!c || sindex >= ctx_.strings.size())
        return;
    const ImportedText& t = ctx_.strings[sindex];
    c->kind = CellKind::Text;
    c->text = t.text;
    c->runs = t.runs;
}

void ImportSheet::set_value(ss::row_t row, ss::col_t col, double value)
{
    if (Cell* c = valueCell(row, col)) {
        c->kind = CellKind::Number;
        c->number = value;
    }
}

void ImportSheet::set_bool(ss::row_t row, ss::col_t col, bool value)
{
    if (Cell* c = valueCell(row, col)) {
        c->kind = CellKind::Boolean;
        c->number = value;
    }
}

void ImportSheet::set_date_time(ss::row_t row, ss::col_t col, int year, int month, int day, int hour, int minute,
                                double second)
{
    const QDate date(year, month, day);
    Cell* c = valueCell(row, col);
    if (!c || !date.isValid())
        return;
    const double seconds = hour * 3600.0 + minute * 60.0 + (std::isfinite(second) ? second : 0);
    c->kind = CellKind::Number;
    c->number = ctx_.dateSerial(date, seconds);
    showAsDate(row, col, seconds != 0 ? QStringLiteral("yyyy/m/d h:mm") : QStringLiteral("yyyy/m/d"));
}

void ImportSheet::showAsDate(int row, int col, const QString& code)
{
    dates_[Sheet::key(row, col)] = code;
}

void ImportSheet::set_format(ss::row_t row, ss::col_t col, size_t xf)
{
    if (Cell* c = formatCell(row, col))
        c->xf = quint16(std::min<size_t>(xf, 0xFFFF));
}

void ImportSheet::set_format(ss::row_t rowStart, ss::col_t colStart, ss::row_t rowEnd, ss::col_t colEnd, size_t xf)
{
    if (rowStart < 0 || colStart < 0 || rowEnd < rowStart || colEnd < colStart)
        return;
    // whole rows and whole columns keep their format as rows and columns do
    if (colStart == 0 && colEnd >= kMaxColumns - 1) {
        for (int r = rowStart; r <= std::min(rowEnd, kMaxRows - 1); ++r) {
            ctx_.charge();
            rowFormats_[r] = xf;
        }
        return;
    }
    if (rowStart == 0 && rowEnd >= kMaxRows - 1) {
        for (int c = colStart; c <= std::min(colEnd, kMaxColumns - 1); ++c) {
            ctx_.charge();
            columnFormats_[c] = xf;
        }
        return;
    }
    for (int r = rowStart; r <= std::min(rowEnd, kMaxRows - 1); ++r)
        for (int c = colStart; c <= std::min(colEnd, kMaxColumns - 1); ++c)
            set_format(r, c, xf);
}

void ImportSheet::fill_down_cells(ss::row_t row, ss::col_t col, ss::row_t size)
{
    const Cell* source = row >= 0 && col >= 0 ? sheet().cell(row, col) : nullptr;
    if (!source)
        return;
    const Cell copy = *source;
    const qint64 last = std::min<qint64>(qint64(row) + size, kGridRows - 1);
    for (qint64 r = qint64(row) + 1; r <= last; ++r)
        if (Cell* c = valueCell(int(r), col))
            *c = copy;
}

void ImportSheet::collectFormats(std::set<size_t>& used) const
{
    for (const auto& [key, cell] : ctx_.book.sheets[index].cells())
        used.insert(cell.xf);
    for (const auto& [at, xf] : rowFormats_)
        used.insert(xf);
    for (const auto& [at, xf] : columnFormats_)
        used.insert(xf);
}

void ImportSheet::finish(ImportStyles& styles, double digitWidthPoints)
{
    Sheet& s = sheet();
    for (const auto& [key, unused] : s.cells()) {
        Cell& cell = s.cellRef(Sheet::rowOf(key), Sheet::colOf(key));
        cell.xf = styles.cellFormat(cell.xf);
        for (RichRun& run : cell.runs)
            run.font = styles.fontOfRun(run.font);
    }
    for (const auto& [key, code] : dates_) {
        Cell& c = s.cellRef(Sheet::rowOf(key), Sheet::colOf(key));
        c.xf = styles.withDateFormat(c.xf, code);
    }
    for (const auto& [row, xf] : rowFormats_) {
        s.rows[row].setFormat(styles.cellFormat(xf));
    }
    // columns of equal width, format and visibility join into one entry
    s.columns.clear();
    for (int col = 0; col < kMaxColumns; ++col) {
        const auto width = widths_.find(col);
        const auto format = columnFormats_.find(col);
        const bool hidden = hiddenColumns_.count(col);
        if (width == widths_.end() && format == columnFormats_.end() && !hidden)
            continue;
        ColumnInfo info;
        info.first = info.last = col;
        info.width = s.columnWidth(col);
        if (width != widths_.end()) {
            const auto [value, unit] = width->second;
            const double chars = unit == orcus::length_unit_t::xlsx_column_digit ? value
                                                                                 : toPoints(value, unit) / digitWidthPoints;
            info.width = quint16(std::clamp(std::lround(chars * 256), 0l, 65535l));
        }
        info.xf = format == columnFormats_.end() ? kDefaultFormat : styles.cellFormat(format->second);
        info.options = hidden ? ColumnInfo::kHidden : 0;
        if (!s.columns.isEmpty()) {
            ColumnInfo& last = s.columns.last();
            if (last.last == col - 1 && last.width == info.width && last.xf == info.xf && last.options == info.options) {
                last.last = col;
                continue;
            }
        }
        s.columns << info;
    }
}

} // namespace tegaro::sheets
