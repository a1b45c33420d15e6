#pragma once
// The styles of a package (fonts, fills, borders, number formats and the
// cell formats made of them) as the reader hands them over, and how they
// become the fonts, palette and XF records of the workbook.
#include "sheets/package/ImportContext.h"

#include <orcus/spreadsheet/import_interface.hpp>

#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace tegaro::sheets {

namespace ss = orcus::spreadsheet;

// A length the file gives in any unit, in points.
double toPoints(double value, orcus::length_unit_t unit);

struct FontSpec {
    std::optional<QString> name;
    std::optional<double> size;
    bool bold = false, italic = false, strike = false;
    quint8 underline = 0; // as in the .xls font record
    std::optional<QRgb> color;
};

struct FillSpec {
    quint8 pattern = 0; // as in the .xls cell format
    std::optional<QRgb> foreground, background;
};

struct BorderSpec {
    struct Line {
        quint8 style = 0;
        std::optional<QRgb> color;
    };
    Line left, right, top, bottom, diagonal;
    quint8 diagonalLines = 0; // 1 down, 2 up
};

struct XfSpec {
    size_t font = 0, fill = 0, border = 0, numberFormat = 0;
    quint8 hAlign = 0, vAlign = 2;
};

class ImportStyles : public ss::iface::import_styles {
public:
    explicit ImportStyles(ImportContext& ctx) : ctx_(ctx) {}

    // Fills the workbook's fonts, palette and formats with those the cells
    // use, and returns the format of each cell XF of the file.
    void build(const std::set<size_t>& usedXfs);
    quint16 cellFormat(size_t xf) const;
    quint16 fontOfRun(quint16 runFormat) const;
    // The cell format with a date or time code instead of a number one.
    quint16 withDateFormat(quint16 format, const QString& code);

    void set_font_count(size_t) override {}
    void set_font_bold(bool b) override { font_.bold = b; }
    void set_font_italic(bool b) override { font_.italic = b; }
    void set_font_name(std::string_view s) override;
    void set_font_size(double point) override { font_.size = point; }
    void set_font_underline(ss::underline_t e) override;
    void set_font_underline_width(ss::underline_width_t) override {}
    void set_font_underline_mode(ss::underline_mode_t) override {}
    void set_font_underline_type(ss::underline_type_t e) override;
    void set_font_underline_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t, ss::color_elem_t) override {}
    void set_font_color(ss::color_elem_t a, ss::color_elem_t r, ss::color_elem_t g, ss::color_elem_t b) override;
    void set_strikethrough_style(ss::strikethrough_style_t s) override;
    void set_strikethrough_type(ss::strikethrough_type_t s) override;
    void set_strikethrough_width(ss::strikethrough_width_t) override {}
    void set_strikethrough_text(ss::strikethrough_text_t) override {}
    size_t commit_font() override;

    void set_fill_count(size_t) override {}
    void set_fill_pattern_type(ss::fill_pattern_t fp) override;
    void set_fill_fg_color(ss::color_elem_t a, ss::color_elem_t r, ss::color_elem_t g, ss::color_elem_t b) override;
    void set_fill_bg_color(ss::color_elem_t a, ss::color_elem_t r, ss::color_elem_t g, ss::color_elem_t b) override;
    size_t commit_fill() override;

    void set_border_count(size_t) override {}
    void set_border_style(ss::border_direction_t dir, ss::border_style_t style) override;
    void set_border_color(ss::border_direction_t dir, ss::color_elem_t a, ss::color_elem_t r, ss::color_elem_t g,
                          ss::color_elem_t b) override;
    void set_border_width(ss::border_direction_t dir, double width, orcus::length_unit_t unit) override;
    size_t commit_border() override;

    // Protection only matters on protected sheets, which the reader does not hand over.
    void set_cell_hidden(bool) override {}
    void set_cell_locked(bool) override {}
    void set_cell_print_content(bool) override {}
    void set_cell_formula_hidden(bool) override {}
    size_t commit_cell_protection() override { return protections_++; }

    void set_number_format_count(size_t) override {}
    void set_number_format_identifier(size_t id) override { numberFormat_.id = id; }
    void set_number_format_code(std::string_view s) override;
    size_t commit_number_format() override;

    void set_cell_xf_count(size_t) override {}
    void set_cell_style_xf_count(size_t) override {}
    void set_dxf_count(size_t) override {}
    void set_xf_font(size_t index) override { xf_.font = index; }
    void set_xf_fill(size_t index) override { xf_.fill = index; }
    void set_xf_border(size_t index) override { xf_.border = index; }
    void set_xf_protection(size_t) override {}
    void set_xf_number_format(size_t index) override { xf_.numberFormat = index; }
    void set_xf_style_xf(size_t) override {}
    void set_xf_apply_alignment(bool) override {}
    void set_xf_horizontal_alignment(ss::hor_alignment_t align) override;
    void set_xf_vertical_alignment(ss::ver_alignment_t align) override;
    size_t commit_cell_xf() override;
    size_t commit_cell_style_xf() override;
    size_t commit_dxf() override;

    void set_cell_style_count(size_t) override {}
    void set_cell_style_name(std::string_view) override {}
    void set_cell_style_xf(size_t) override {}
    void set_cell_style_builtin(size_t) override {}
    void set_cell_style_parent_name(std::string_view) override {}
    size_t commit_cell_style() override { return cellStyles_++; }

private:
    struct NumberFormatSpec {
        std::optional<size_t> id; // .xlsx files number their formats
        QString code;
    };
    quint16 numberFormatOf(size_t index);
    quint16 customNumberFormat(const QString& code);
    quint16 modelFont(const Font& font);
    Font fontOf(const FontSpec& spec) const;
    void collectColours(const std::set<size_t>& usedXfs);
    quint8 colour(const std::optional<QRgb>& rgb, quint8 automatic) const;
    void setBorderLine(ss::border_direction_t dir, const std::function<void(BorderSpec::Line&)>& set);

    ImportContext& ctx_;
    FontSpec font_;
    FillSpec fill_;
    BorderSpec border_;
    NumberFormatSpec numberFormat_;
    XfSpec xf_;
    std::vector<FontSpec> fonts_;
    std::vector<FillSpec> fills_;
    std::vector<BorderSpec> borders_;
    std::vector<NumberFormatSpec> numberFormats_;
    std::map<size_t, QString> codesById_;
    std::vector<XfSpec> cellXfs_;
    size_t styleXfs_ = 0, dxfs_ = 0, protections_ = 0, cellStyles_ = 0;

    // what build() made
    std::map<QRgb, quint8> paletteIndex_;
    std::map<QByteArray, quint16> fontIndex_;
    std::map<QByteArray, quint16> formatIndex_;
    std::map<size_t, quint16> cellFormats_;
    std::vector<quint16> runFonts_;
    std::map<std::pair<quint16, QString>, quint16> dateFormats_;
};

} // namespace tegaro::sheets
