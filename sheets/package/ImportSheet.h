#pragma once
// One sheet of a package as the reader hands it over: cells, formulas,
// layout and view, kept in the workbook's sheet of the same place.
#include "sheets/model/CellReference.h"
#include "sheets/package/ImportContext.h"

#include <orcus/spreadsheet/import_interface.hpp>
#include <orcus/spreadsheet/import_interface_view.hpp>

#include <map>
#include <set>

namespace tegaro::sheets {

namespace ss = orcus::spreadsheet;

class ImportStyles;

// A name as the file defines it, resolved when the whole file is read.
struct PendingName {
    QString name;
    QString text;       // as the file writes it
    bool range = false; // an OpenDocument range address rather than an expression
    int sheet = -1;     // the sheet it belongs to, -1 for the whole workbook
};

// Defined names, of the workbook or of one sheet.
class ImportNames : public ss::iface::import_named_expression {
public:
    ImportNames(ImportContext& ctx, std::vector<PendingName>& out, int sheet) : ctx_(ctx), out_(out), sheet_(sheet) {}
    void set_base_position(const ss::src_address_t&) override {}
    void set_named_expression(std::string_view name, std::string_view expression) override;
    void set_named_range(std::string_view name, std::string_view range) override;
    void commit() override;

private:
    ImportContext& ctx_;
    std::vector<PendingName>& out_;
    int sheet_;
    PendingName pending_;
};

class ImportSheet : public ss::iface::import_sheet {
public:
    ImportSheet(ImportContext& ctx, std::vector<PendingName>& names, int index);
    ~ImportSheet() override;

    const int index;

    // Cells after the whole file is read: formats of the file's XFs made the
    // workbook's, column widths in characters, dates shown as dates.
    void collectFormats(std::set<size_t>& used) const;
    void finish(ImportStyles& styles, double digitWidthPoints);

    ss::iface::import_sheet_view* get_sheet_view() override;
    ss::iface::import_sheet_properties* get_sheet_properties() override;
    ss::iface::import_named_expression* get_named_expression() override;
    ss::iface::import_formula* get_formula() override;
    ss::iface::import_array_formula* get_array_formula() override;
    ss::iface::import_conditional_format* get_conditional_format() override;
    ss::iface::import_auto_filter* get_auto_filter() override;
    ss::iface::import_table* get_table() override;
    ss::iface::import_data_table* get_data_table() override;

    void set_auto(ss::row_t row, ss::col_t col, std::string_view s) override;
    void set_string(ss::row_t row, ss::col_t col, ss::string_id_t sindex) override;
    void set_value(ss::row_t row, ss::col_t col, double value) override;
    void set_bool(ss::row_t row, ss::col_t col, bool value) override;
    void set_date_time(ss::row_t row, ss::col_t col, int year, int month, int day, int hour, int minute,
                       double second) override;
    void set_format(ss::row_t row, ss::col_t col, size_t xf) override;
    void set_format(ss::row_t rowStart, ss::col_t colStart, ss::row_t rowEnd, ss::col_t colEnd, size_t xf) override;
    void fill_down_cells(ss::row_t row, ss::col_t col, ss::row_t size) override;
    ss::range_size_t get_sheet_size() const override { return {kGridRows, kGridColumns}; }

    // what the parts of the sheet call
    Sheet& sheet();
    Cell* valueCell(int row, int col); // null beyond an .xls sheet, counted there
    Cell* formatCell(int row, int col);
    void setFormula(int row, int col, const QString& text, const Cell& result,
                    std::optional<Range> array = std::nullopt);
    // A value that is a date or a time: shown with `code` unless its cell's
    // format shows dates and times already.
    void showAsDate(int row, int col, const QString& code);

private:
    class Parts;
    ImportContext& ctx_;
    std::unique_ptr<Parts> parts_;
    std::map<int, std::pair<double, orcus::length_unit_t>> widths_;
    std::map<int, size_t> columnFormats_, rowFormats_;
    std::set<int> hiddenColumns_;
    std::map<quint32, QString> dates_; // cells given as dates or times, and the code they want
};

} // namespace tegaro::sheets
