#include "sheets/package/OdsReader.h"

#include "sheets/container/ZipReader.h"
#include "sheets/formula/FormulaText.h"
#include "sheets/model/CellReference.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/package/OdsFormats.h"
#include "sheets/package/OdsPage.h"
#include "sheets/package/OdsValues.h"
#include "sheets/package/OdsView.h"
#include "sheets/package/OdsXml.h"
#include "sheets/package/PackageScan.h"

#include <orcus/exception.hpp>
#include <orcus/sax_ns_parser.hpp>
#include <orcus/xml_namespace.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tegaro::sheets {

using namespace ods;

namespace {

// Limits on the work that repeat counts ask for.
constexpr qint64 kMaxRepeatedCells = 256ll << 20;           // cells stepped over in one part
constexpr qint64 kMaxRowsInTable = 1ll << 30;               // rows counted in one table
constexpr qint64 kMaxRowsRepeated = 1ll << 24;              // the largest sheets LibreOffice makes
constexpr qint64 kMaxRepeatedValues = 1ll << 20;            // cells written out for rows and cells that stand for several
constexpr int kMaxStyleDepth = 16;                          // parents of a style
constexpr int kMaxSpaces = 1024;                            // of one <text:s>
constexpr size_t kMaxRuns = 8192;                           // changes of font in one cell's text
constexpr size_t kMaxCellText = size_t(kMaxTextLength) * 4; // bytes of a cell's text kept while reading

using Id = orcus::xmlns_id_t;

// The namespaces read, known to the parser so that it gives these very
// pointers for them.
const char table_[] = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
const char style_[] = "urn:oasis:names:tc:opendocument:xmlns:style:1.0";
const char number_[] = "urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0";
const char office_[] = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
const char fo_[] = "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0";
const char text_[] = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
const char calcext_[] = "urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0";
const char drawing_[] = "urn:oasis:names:tc:opendocument:xmlns:drawing:1.0";
const Id kNamespaces[] = {table_, style_, number_, office_, fo_, text_, calcext_, drawing_, nullptr};

using Attribute = XmlAttribute;

struct Element {
    Id ns;
    std::string_view name;
    const std::vector<Attribute>& attrs;

    const Attribute* find(Id n, std::string_view local) const
    {
        for (const Attribute& a : attrs)
            if (a.ns == n && a.name == local)
                return &a;
        return nullptr;
    }
    std::string_view value(Id n, std::string_view local) const
    {
        const Attribute* a = find(n, local);
        return a ? a->value : std::string_view();
    }
};

QString utf8(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

qint64 number(std::string_view v, qint64 otherwise)
{
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t'))
        v.remove_prefix(1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t'))
        v.remove_suffix(1);
    if (!v.empty() && v.front() == '+')
        v.remove_prefix(1);
    qint64 n = 0;
    const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), n);
    return error == std::errc() && end == v.data() + v.size() && !v.empty() ? n : otherwise;
}

// A length ("0.889in", "2.5cm", "10pt") in points.
std::optional<double> points(std::string_view v)
{
    const auto inches = odsInches(utf8(v));
    if (!inches || !std::isfinite(*inches))
        return std::nullopt;
    return *inches * 72;
}

std::optional<QRgb> colour(std::string_view v)
{
    if (v.size() != 7 || v[0] != '#')
        return std::nullopt;
    unsigned rgb = 0;
    const auto [end, error] = std::from_chars(v.data() + 1, v.data() + 7, rgb, 16);
    if (error != std::errc() || end != v.data() + 7)
        return std::nullopt;
    return qRgb(int(rgb >> 16) & 0xFF, int(rgb >> 8) & 0xFF, int(rgb) & 0xFF);
}

// A font as a style states it; what it leaves out comes from its parent.
// A property a style sets overrides the one it inherits.
template <typename T>
void takeSet(std::optional<T>& to, const std::optional<T>& from)
{
    if (from)
        to = from;
}

struct TextProps {
    std::optional<QString> name;
    std::optional<double> size;
    std::optional<bool> bold, italic, strike;
    std::optional<ss::underline_t> underline;
    std::optional<bool> doubleUnderline;
    std::optional<QRgb> color;

    void over(const TextProps& o)
    {
        takeSet(name, o.name);
        takeSet(size, o.size);
        takeSet(bold, o.bold);
        takeSet(italic, o.italic);
        takeSet(strike, o.strike);
        takeSet(underline, o.underline);
        takeSet(doubleUnderline, o.doubleUnderline);
        takeSet(color, o.color);
    }
};

struct Line {
    ss::border_style_t style = ss::border_style_t::none;
    double width = 0; // points
    std::optional<QRgb> color;
};

struct CellProps {
    std::optional<std::optional<QRgb>> background; // set to nothing: transparent
    std::optional<Line> left, right, top, bottom, down, up;
    std::optional<ss::hor_alignment_t> hAlign;
    std::optional<ss::ver_alignment_t> vAlign;

    void over(const CellProps& o)
    {
        takeSet(background, o.background);
        takeSet(left, o.left);
        takeSet(right, o.right);
        takeSet(top, o.top);
        takeSet(bottom, o.bottom);
        takeSet(down, o.down);
        takeSet(up, o.up);
        takeSet(hAlign, o.hAlign);
        takeSet(vAlign, o.vAlign);
    }
};

struct Style {
    std::string family, parent;
    QString dataStyle;
    TextProps text;
    CellProps cell;
    std::optional<double> columnWidth, rowHeight; // points
    bool optimalHeight = false;
    bool pageBreak = false;
    bool hiddenTable = false;
    QString masterPage;
};

// "0.74pt solid #000000"
Line borderLine(std::string_view v)
{
    Line line;
    size_t at = 0;
    while (at < v.size()) {
        const size_t end = std::min(v.find(' ', at), v.size());
        const std::string_view word = v.substr(at, end - at);
        at = end + 1;
        if (word.empty())
            continue;
        using B = ss::border_style_t;
        if (word[0] == '#') {
            line.color = colour(word);
        } else if ((word[0] >= '0' && word[0] <= '9') || word[0] == '.') {
            line.width = points(word).value_or(0);
        } else if (word == "solid") {
            line.style = B::solid;
        } else if (word == "dotted") {
            line.style = B::dotted;
        } else if (word == "dashed") {
            line.style = B::dashed;
        } else if (word == "fine-dashed") {
            line.style = B::fine_dashed;
        } else if (word == "dash-dot") {
            line.style = B::dash_dot;
        } else if (word == "dash-dot-dot") {
            line.style = B::dash_dot_dot;
        } else if (word == "double") {
            line.style = B::double_border;
        } else if (word == "double-thin") {
            line.style = B::double_thin;
        }
    }
    return line;
}

// Where a run of a cell's text starts, in bytes, and the text style it has.
struct RunStart {
    size_t at;
    const TextProps* props; // null: the cell's own font
};

// The reader of styles.xml and content.xml: both parts hold styles, the
// content the tables.
class Reader {
public:
    Reader(ImportContext& ctx, ImportFactory& factory, orcus::xmlns_repository& namespaces)
        : ctx_(ctx), factory_(factory), styles_(*static_cast<ImportStyles*>(factory.get_styles()))
    {
        namespaces.add_predefined_values(kNamespaces);
    }

    const OdsPrintInfo& printInfo() const { return print_; }

    void start(Id ns, std::string_view name, const std::vector<Attribute>& attrs) { start(Element{ns, name, attrs}); }
    void start(const Element& e)
    {
        ctx_.charge();
        open_.push_back({e.ns, e.name});
        // taken after the push, which may move the list
        const Open* parent = open_.size() > 1 ? &open_[open_.size() - 2] : nullptr;
        if (skipDepth_) {
            ++skipDepth_;
            return;
        }
        if (cell_.open) {
            cellElement(e);
        } else if (e.ns == table_) {
            tableElement(e, parent);
        } else if (e.ns == style_ || e.ns == number_) {
            styleElement(e, parent);
        } else if (e.ns == office_ && e.name == "annotation") {
            ctx_.leftOut.features.insert(QStringLiteral("コメント"));
            skipDepth_ = 1;
        } else if (e.ns == drawing_) {
            shape(e);
        }
    }

    void end(Id ns, std::string_view name)
    {
        if (!open_.empty())
            open_.pop_back();
        if (skipDepth_) {
            --skipDepth_;
            return;
        }
        if (cell_.open) {
            if (ns == table_ && (name == "table-cell" || name == "covered-table-cell"))
                endCell();
            else if (ns == text_)
                endTextElement(name);
            return;
        }
        if (ns == number_ && name.size() > 6 && name.substr(name.size() - 6) == "-style") {
            dataStyle_ = nullptr;
            dataPart_ = nullptr;
        } else if (ns == number_) {
            dataPart_ = nullptr;
        } else if (ns == style_ && (name == "style" || name == "default-style")) {
            styleNow_ = nullptr;
        } else if (ns == table_) {
            if (name == "table-row")
                endRow();
            else if (name == "table")
                sheet_ = nullptr;
        }
    }

    bool wantsText() const { return dataPart_ || (cell_.open && paragraphDepth_ > 0 && !skipDepth_); }

    void text(std::string_view t)
    {
        if (dataPart_) {
            if (dataPart_->text.size() < 256)
                dataPart_->text += utf8(t);
        } else if (cellText_.size() < kMaxCellText) {
            cellText_.append(t);
        }
    }

    // Styles the cells of the body use are known once the body begins.
    void finish()
    {
        defaultFormat();
    }

private:
    struct Open {
        Id ns;
        std::string_view name;
    };

    // --- styles -----------------------------------------------------------

    std::string key(std::string_view family, std::string_view name) const
    {
        std::string k(family);
        k += '\0';
        k += name;
        return k;
    }

    void styleElement(const Element& e, const Open* parent)
    {
        const std::string_view n = e.name;
        if (e.ns == number_) {
            dataStyleElement(e);
            return;
        }
        if (n == "style" || n == "default-style") {
            Style s;
            s.family = e.value(style_, "family");
            s.parent = e.value(style_, "parent-style-name");
            s.dataStyle = utf8(e.value(style_, "data-style-name"));
            s.masterPage = utf8(e.value(style_, "master-page-name"));
            if (n == "default-style") {
                if (s.family == "table-cell") {
                    defaultStyle_ = s;
                    styleNow_ = &*defaultStyle_;
                } else {
                    styleNow_ = &ignored_;
                    *styleNow_ = s;
                }
                return;
            }
            // of two styles of one name, the first holds
            const auto [it, added] = styleMap_.try_emplace(key(s.family, e.value(style_, "name")), s);
            styleNow_ = added ? &it->second : &ignored_;
            if (!added)
                ignored_ = s;
            // a table column's style is looked up by its name alone
            if (parent && parent->ns == office_ && parent->name == "automatic-styles")
                families_.try_emplace(std::string(e.value(style_, "name")), s.family);
            return;
        }
        if (n == "map" && dataStyle_) {
            if (dataStyle_->maps.size() < 4)
                dataStyle_->maps.emplace_back(utf8(e.value(style_, "condition")), utf8(e.value(style_, "apply-style-name")));
            return;
        }
        if (n == "text-properties" && dataStyle_) {
            dataStyle_->color = utf8(e.value(fo_, "color"));
            return;
        }
        if (!styleNow_)
            return;
        if (n == "table-column-properties" || n == "table-row-properties") {
            // properties of a line only mean something in a style of that kind
            const std::string_view wanted = n == "table-column-properties" ? "table-column" : "table-row";
            if (styleNow_->family != wanted)
                throw damaged(QStringLiteral("(スタイルの種類)"));
            if (e.value(fo_, "break-before") == "page")
                styleNow_->pageBreak = true;
            if (n == "table-column-properties") {
                styleNow_->columnWidth = points(e.value(style_, "column-width"));
            } else {
                styleNow_->rowHeight = points(e.value(style_, "row-height"));
                styleNow_->optimalHeight = e.value(style_, "use-optimal-row-height") == "true";
            }
        } else if (n == "table-properties") {
            styleNow_->hiddenTable = e.value(table_, "display") == "false";
        } else if (n == "text-properties") {
            textProperties(e, styleNow_->text);
        } else if (n == "table-cell-properties") {
            cellProperties(e, styleNow_->cell);
        } else if (n == "paragraph-properties") {
            const std::string_view align = e.value(fo_, "text-align");
            if (!align.empty() && e.value(style_, "text-align-source") != "value-type") {
                using H = ss::hor_alignment_t;
                styleNow_->cell.hAlign = align == "center" ? H::center
                    : align == "end" || align == "right"   ? H::right
                    : align == "justify"                   ? H::justified
                    : align == "start" || align == "left"  ? H::left
                                                           : H::unknown;
            } else if (e.value(style_, "text-align-source") == "value-type") {
                styleNow_->cell.hAlign = ss::hor_alignment_t::unknown;
            }
        }
    }

    void textProperties(const Element& e, TextProps& t)
    {
        if (const Attribute* a = e.find(style_, "font-name"))
            t.name = utf8(a->value);
        else if (const Attribute* f = e.find(fo_, "font-family"))
            t.name = utf8(f->value).remove(u'\'');
        if (const auto size = points(e.value(fo_, "font-size")); size && *size > 0)
            t.size = size;
        if (const Attribute* a = e.find(fo_, "font-weight"))
            t.bold = a->value == "bold" || number(a->value, 400) >= 600;
        if (const Attribute* a = e.find(fo_, "font-style"))
            t.italic = a->value == "italic" || a->value == "oblique";
        if (const Attribute* a = e.find(style_, "text-line-through-style"))
            t.strike = a->value != "none";
        if (const Attribute* a = e.find(style_, "text-underline-style"))
            t.underline = a->value == "none" ? ss::underline_t::none : ss::underline_t::single_line;
        if (const Attribute* a = e.find(style_, "text-underline-type"))
            t.doubleUnderline = a->value == "double";
        if (const Attribute* a = e.find(fo_, "color"))
            if (const auto c = colour(a->value))
                t.color = c;
    }

    void cellProperties(const Element& e, CellProps& c)
    {
        if (const Attribute* a = e.find(fo_, "background-color"))
            c.background = colour(a->value);
        if (const Attribute* a = e.find(fo_, "border")) {
            const Line line = borderLine(a->value);
            c.left = c.right = c.top = c.bottom = line;
        }
        const std::pair<const char*, std::optional<Line>*> sides[] = {
            {"border-left", &c.left}, {"border-right", &c.right}, {"border-top", &c.top}, {"border-bottom", &c.bottom}};
        for (const auto& [name, line] : sides)
            if (const Attribute* a = e.find(fo_, name))
                *line = borderLine(a->value);
        if (const Attribute* a = e.find(style_, "diagonal-tl-br"))
            c.down = borderLine(a->value);
        if (const Attribute* a = e.find(style_, "diagonal-bl-tr"))
            c.up = borderLine(a->value);
        if (const Attribute* a = e.find(style_, "vertical-align")) {
            using V = ss::ver_alignment_t;
            c.vAlign = a->value == "top" ? V::top : a->value == "middle" ? V::middle
                : a->value == "bottom"                                   ? V::bottom
                                                                         : V::unknown;
        }
    }

    void dataStyleElement(const Element& e)
    {
        const std::string_view n = e.name;
        if (n.size() > 6 && n.substr(n.size() - 6) == "-style") {
            DataStyle& s = dataStyles_[utf8(e.value(style_, "name"))];
            s = DataStyle{};
            s.kind = utf8(n);
            s.elapsed = e.value(number_, "truncate-on-overflow") == "false";
            s.japanese = e.value(number_, "language") == "ja";
            dataStyle_ = &s;
            dataPart_ = nullptr;
            return;
        }
        if (!dataStyle_ || dataStyle_->parts.size() >= 64)
            return;
        DataPart p;
        p.name = utf8(n);
        for (const Attribute& a : e.attrs)
            if (a.ns == number_)
                p.attrs[utf8(a.name)] = utf8(a.value);
        dataStyle_->gengou = dataStyle_->gengou || p.attr("calendar") == QLatin1String("gengou");
        dataStyle_->parts.push_back(std::move(p));
        dataPart_ = &dataStyle_->parts.back();
    }

    const Style* findStyle(std::string_view family, std::string_view name) const
    {
        auto it = styleMap_.find(key(family, name));
        return it == styleMap_.end() ? nullptr : &it->second;
    }

    // The cell format of a cell style, through its parents, made once.
    size_t formatOf(std::string_view name)
    {
        defaultFormat();
        if (name.empty())
            return 0;
        if (auto it = formats_.find(std::string(name)); it != formats_.end())
            return it->second;
        const size_t xf = makeFormat(name);
        formats_.emplace(std::string(name), xf);
        return xf;
    }

    void defaultFormat()
    {
        if (formats_.empty()) {
            // the first font is the workbook's standard font, the first
            // format that of cells without a style
            const size_t xf = makeFormat("Default");
            formats_.emplace("Default", xf);
        }
    }

    size_t makeFormat(std::string_view name)
    {
        std::vector<const Style*> chain;
        for (const Style* s = findStyle("table-cell", name); s && int(chain.size()) < kMaxStyleDepth;
             s = s->parent.empty() ? nullptr : findStyle("table-cell", s->parent)) {
            chain.push_back(s);
        }
        TextProps text;
        CellProps cell;
        QString data;
        if (defaultStyle_) {
            text = defaultStyle_->text;
            cell = defaultStyle_->cell;
            data = defaultStyle_->dataStyle;
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            text.over((*it)->text);
            cell.over((*it)->cell);
            if (!(*it)->dataStyle.isEmpty())
                data = (*it)->dataStyle;
        }

        if (text.name)
            styles_.set_font_name(text.name->toStdString());
        if (text.size)
            styles_.set_font_size(*text.size);
        styles_.set_font_bold(text.bold.value_or(false));
        styles_.set_font_italic(text.italic.value_or(false));
        if (text.strike)
            styles_.set_strikethrough_style(*text.strike ? ss::strikethrough_style_t::solid : ss::strikethrough_style_t::none);
        if (text.underline) {
            styles_.set_font_underline(*text.underline);
            if (text.doubleUnderline.value_or(false))
                styles_.set_font_underline_type(ss::underline_type_t::double_type);
        }
        if (text.color)
            styles_.set_font_color(255, quint8(qRed(*text.color)), quint8(qGreen(*text.color)), quint8(qBlue(*text.color)));
        const size_t font = styles_.commit_font();

        if (cell.background && *cell.background) {
            const QRgb c = **cell.background;
            styles_.set_fill_pattern_type(ss::fill_pattern_t::solid);
            styles_.set_fill_fg_color(255, quint8(qRed(c)), quint8(qGreen(c)), quint8(qBlue(c)));
        }
        const size_t fill = styles_.commit_fill();

        using D = ss::border_direction_t;
        const std::pair<D, const std::optional<Line>*> lines[] = {{D::left, &cell.left}, {D::right, &cell.right}, {D::top, &cell.top}, {D::bottom, &cell.bottom}, {D::diagonal_tl_br, &cell.down}, {D::diagonal_bl_tr, &cell.up}};
        for (const auto& [dir, line] : lines) {
            if (!*line || (*line)->style == ss::border_style_t::none)
                continue;
            styles_.set_border_style(dir, (*line)->style);
            if (const auto c = (*line)->color)
                styles_.set_border_color(dir, 255, quint8(qRed(*c)), quint8(qGreen(*c)), quint8(qBlue(*c)));
            styles_.set_border_width(dir, (*line)->width, orcus::length_unit_t::point);
        }
        const size_t border = styles_.commit_border();

        QString code;
        if (!data.isEmpty()) {
            code = excelCode(dataStyles_, data);
            // a data style that is not there shows as General, as it does in LibreOffice
            if (code.isEmpty() && dataStyles_.count(data))
                ctx_.leftOut.features.insert(QStringLiteral("数値の表示形式の一部 (標準の書式で表示)"));
        }
        styles_.set_number_format_code(code.toStdString());
        const size_t numberFormat = styles_.commit_number_format();

        styles_.set_xf_font(font);
        styles_.set_xf_fill(fill);
        styles_.set_xf_border(border);
        styles_.set_xf_number_format(numberFormat);
        if (cell.hAlign)
            styles_.set_xf_horizontal_alignment(*cell.hAlign);
        if (cell.vAlign)
            styles_.set_xf_vertical_alignment(*cell.vAlign);
        return styles_.commit_cell_xf();
    }

    // --- tables -----------------------------------------------------------

    void tableElement(const Element& e, const Open* parent)
    {
        const std::string_view n = e.name;
        if (n == "table") {
            startTable(e);
        } else if (n == "null-date") {
            const QDate origin = QDate::fromString(utf8(e.value(table_, "date-value")).left(10), Qt::ISODate);
            if (origin.isValid()) {
                ctx_.origin = origin;
                ctx_.book.date1904 = origin == QDate(1904, 1, 1);
            }
        } else if (n == "named-range" || n == "named-expression") {
            namedExpression(e);
        } else if (n == "dde-links") {
            skipDepth_ = 1; // cached linked data, not cells of the workbook
        } else if (!sheet_) {
            return;
        } else if (n == "table-column") {
            column(e);
        } else if (n == "table-row") {
            startRow(e);
        } else if ((n == "table-cell" || n == "covered-table-cell") && parent && parent->ns == table_
                   && parent->name == "table-row") {
            startCell(e, n == "covered-table-cell");
        }
    }

    void startTable(const Element& e)
    {
        defaultFormat();
        sheet_ = static_cast<ImportSheet*>(factory_.append_sheet(ss::sheet_t(ctx_.book.sheets.size()), e.value(table_, "name")));
        row_ = 0;
        column_ = 0;
        rowsInTable_ = 0;
        columnFormats_.assign(size_t(kMaxColumns), 0);
        const std::string_view styleName = e.value(table_, "style-name");
        if (print_.tables.size() < size_t(kMaxImportSheets))
            print_.tables.push_back({utf8(styleName), utf8(e.value(table_, "print-ranges")).left(4096)});
        if (const Style* s = findStyle("table", styleName)) {
            print_.masterOfStyle[utf8(styleName)] = s->masterPage;
            if (s->hiddenTable)
                sheet_->sheet().visibility = 1;
        }
    }

    void namedExpression(const Element& e)
    {
        ss::iface::import_named_expression* names = sheet_ ? sheet_->get_named_expression() : factory_.get_named_expression();
        const std::string_view name = e.value(table_, "name");
        if (e.name == "named-range")
            names->set_named_range(name, e.value(table_, "cell-range-address"));
        else
            names->set_named_expression(name, formulaBody(e.value(table_, "expression")));
        names->commit();
    }

    // "of:=SUM([.A1])" without its grammar and its "=".
    static std::string_view formulaBody(std::string_view f)
    {
        if (const size_t colon = f.find(':'); colon != std::string_view::npos && colon < f.find('=')
            && std::all_of(f.begin(), f.begin() + colon, [](char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }))
            f.remove_prefix(colon + 1);
        if (!f.empty() && f.front() == '=')
            f.remove_prefix(1);
        return f;
    }

    qint64 repeat(const Element& e, std::string_view name, qint64 limit, const char* what)
    {
        const qint64 n = number(e.value(table_, name), 1);
        if (n < 1 || n > limit)
            throw damaged(QStringLiteral("(%1 %2)").arg(QString::fromUtf8(what)).arg(n));
        return n;
    }

    static bool hidden(std::string_view visibility) { return visibility == "collapse" || visibility == "filter"; }

    void column(const Element& e)
    {
        const std::string_view styleName = e.value(table_, "style-name");
        if (!styleName.empty()) {
            // a column's width comes from a style of its kind
            auto it = families_.find(std::string(styleName));
            if (it != families_.end() && it->second != "table-column")
                throw damaged(QStringLiteral("(列のスタイル)"));
        }
        const qint64 count = repeat(e, "number-columns-repeated", kGridColumns, "列の繰り返し");
        const int first = column_, last = int(std::min<qint64>(column_ + count, kMaxColumns));
        column_ = int(std::min<qint64>(column_ + count, kGridColumns));
        if (first >= last)
            return;
        const Style* s = findStyle("table-column", styleName);
        const std::string_view cellStyle = e.value(table_, "default-cell-style-name");
        const size_t xf = cellStyle.empty() ? 0 : formatOf(cellStyle);
        const bool hide = hidden(e.value(table_, "visibility"));
        auto* props = sheet_->get_sheet_properties();
        for (int c = first; c < last; ++c) {
            if (s && s->columnWidth)
                props->set_column_width(c, *s->columnWidth, orcus::length_unit_t::point);
            if (hide)
                props->set_column_hidden(c, true);
            columnFormats_[size_t(c)] = xf;
        }
        if (xf != 0)
            sheet_->set_format(0, first, kGridRows - 1, last - 1, xf);
        if (s && s->pageBreak)
            addBreaks(sheet_->sheet().page.columnBreaks, first, last - first, kMaxColumns);
    }

    void startRow(const Element& e)
    {
        rowCount_ = repeat(e, "number-rows-repeated", kMaxRowsRepeated, "行の繰り返し");
        rowsInTable_ += rowCount_;
        if (rowsInTable_ > kMaxRowsInTable)
            throw tooLarge(QStringLiteral("行数"));
        cellColumn_ = 0;
        const std::string_view cellStyle = e.value(table_, "default-cell-style-name");
        rowFormat_ = cellStyle.empty() ? std::nullopt : std::optional(formatOf(cellStyle));
        const int first = row_, last = int(std::min<qint64>(row_ + rowCount_, kMaxRows));
        if (first >= last)
            return;
        const Style* s = findStyle("table-row", e.value(table_, "style-name"));
        if (s && s->rowHeight && !s->optimalHeight) {
            auto* props = sheet_->get_sheet_properties();
            for (int r = first; r < last; ++r)
                props->set_row_height(r, *s->rowHeight, orcus::length_unit_t::point);
        }
        if (hidden(e.value(table_, "visibility")))
            for (int r = first; r < last; ++r) {
                ctx_.charge();
                sheet_->sheet().rows[r].options |= RowInfo::kHidden;
            }
        if (s && s->pageBreak)
            addBreaks(sheet_->sheet().page.rowBreaks, first, last - first, kMaxRows);
    }

    void endRow()
    {
        row_ = int(std::min<qint64>(row_ + rowCount_, kGridRows));
        rowCount_ = 1;
    }

    // Breaks before each of `count` rows or columns from `first`; none
    // before the first, and no more than an .xls sheet keeps.
    static void addBreaks(QList<int>& breaks, int first, int count, int limit)
    {
        for (int i = std::max(first, 1); i < std::min(first + count, limit) && breaks.size() < 1026; ++i)
            if (breaks.isEmpty() || breaks.last() < i)
                breaks << i;
    }

    // --- cells ------------------------------------------------------------

    struct OpenCell {
        bool open = false;
        int first = 0;
        qint64 count = 1;
        std::optional<size_t> xf; // its own style's, or the row's
        bool formula = false;
        std::string formulaText;
        std::string type, calcType, value, dateValue, timeValue, booleanValue;
        std::optional<std::string> stringValue;
        int paragraphs = 0;
    };

    void startCell(const Element& e, bool covered)
    {
        const qint64 count = repeat(e, "number-columns-repeated", kGridColumns, "セルの繰り返し");
        repeatedCells_ += count;
        if (repeatedCells_ > kMaxRepeatedCells)
            throw tooLarge(QStringLiteral("セル数"));
        OpenCell& c = cell_;
        c.open = true;
        c.first = cellColumn_;
        c.count = count;
        cellColumn_ = int(std::min<qint64>(cellColumn_ + count, kGridColumns));
        const std::string_view styleName = e.value(table_, "style-name");
        c.xf = !styleName.empty() ? std::optional(formatOf(styleName)) : rowFormat_;
        c.type = e.value(office_, "value-type");
        c.calcType = e.value(calcext_, "value-type");
        c.value = e.value(office_, "value");
        c.dateValue = e.value(office_, "date-value");
        c.timeValue = e.value(office_, "time-value");
        c.booleanValue = e.value(office_, "boolean-value");
        const Attribute* given = e.find(office_, "string-value");
        c.stringValue = given ? std::optional<std::string>(given->value) : std::nullopt;
        const Attribute* formula = e.find(table_, "formula");
        c.formula = formula;
        c.formulaText = formula ? formulaBody(formula->value) : std::string_view();
        c.paragraphs = 0;
        cellText_.clear();
        runs_.clear();
        spanStack_.clear();
        paragraphDepth_ = 0;
        if (!covered) {
            const qint64 rows = number(e.value(table_, "number-rows-spanned"), 1);
            const qint64 columns = number(e.value(table_, "number-columns-spanned"), 1);
            if ((rows > 1 || columns > 1) && row_ < kGridRows) {
                const qint64 lastRow = std::min<qint64>(row_ + rows - 1, kGridRows - 1);
                const qint64 lastCol = std::min<qint64>(c.first + columns - 1, kGridColumns - 1);
                ss::range_t r{};
                r.first.row = row_;
                r.first.column = c.first;
                r.last.row = ss::row_t(lastRow);
                r.last.column = ss::col_t(lastCol);
                if (rows >= 1 && columns >= 1)
                    sheet_->get_sheet_properties()->set_merge_cell_range(r);
            }
        }
    }

    void cellElement(const Element& e)
    {
        if (e.ns == office_ && e.name == "annotation") {
            ctx_.leftOut.features.insert(QStringLiteral("コメント"));
            skipDepth_ = 1; // its paragraphs are not the cell's text
            return;
        }
        if (e.ns == drawing_) {
            shape(e);
            skipDepth_ = 1;
            return;
        }
        if (e.ns != text_)
            return;
        const std::string_view n = e.name;
        if (n == "p" || n == "h") {
            if (paragraphDepth_ == 0 && cell_.paragraphs++ && cellText_.size() < kMaxCellText)
                cellText_ += '\n';
            ++paragraphDepth_;
        } else if (paragraphDepth_ == 0 || cellText_.size() >= kMaxCellText) {
            return; // a text past what a cell holds is cut anyway
        } else if (n == "s") {
            cellText_.append(size_t(std::clamp<qint64>(number(e.value(text_, "c"), 1), 1, kMaxSpaces)), ' ');
        } else if (n == "tab") {
            cellText_ += '\t';
        } else if (n == "line-break") {
            cellText_ += '\n';
        } else if (n == "span") {
            const Style* s = findStyle("text", e.value(text_, "style-name"));
            const TextProps* props = s ? &s->text : nullptr;
            spanStack_.push_back(props);
            if (runs_.size() < kMaxRuns)
                runs_.push_back({cellText_.size(), props});
        }
    }

    void endTextElement(std::string_view n)
    {
        if ((n == "p" || n == "h") && paragraphDepth_ > 0) {
            --paragraphDepth_;
        } else if (n == "span" && !spanStack_.empty()) {
            spanStack_.pop_back();
            if (runs_.size() < kMaxRuns)
                runs_.push_back({cellText_.size(), spanStack_.empty() ? nullptr : spanStack_.back()});
        }
    }

    void shape(const Element& e)
    {
        if (e.name == "frame" || e.name == "custom-shape" || e.name == "line" || e.name == "rect")
            ctx_.leftOut.features.insert(QStringLiteral("図形・画像"));
    }

    // The cell's text with the runs its spans make, as the strings of an
    // .xlsx package give them.
    std::pair<QString, QList<RichRun>> richText()
    {
        QString text;
        QList<RichRun> runs;
        if (runs_.empty()) {
            text = utf8(cellText_);
        } else {
            std::vector<RunStart> starts;
            starts.push_back({0, nullptr});
            starts.insert(starts.end(), runs_.begin(), runs_.end());
            for (size_t i = 0; i < starts.size(); ++i) {
                const size_t from = std::min(starts[i].at, cellText_.size());
                const size_t to = i + 1 < starts.size() ? std::min(starts[i + 1].at, cellText_.size()) : cellText_.size();
                if (to <= from)
                    continue;
                RunFormat format;
                if (const TextProps* p = starts[i].props) {
                    format.name = p->name;
                    format.size = p->size;
                    format.bold = p->bold;
                    format.italic = p->italic;
                    format.color = p->color;
                }
                // a run starts where its formatting changes; after a formatted
                // run, plain text goes back to the standard font
                if ((!format.plain() || !runs.isEmpty()) && text.size() < kMaxTextLength) {
                    const quint16 font = ctx_.runFormat(format);
                    if (runs.isEmpty() || runs.last().font != font)
                        runs << RichRun{quint16(text.size()), font};
                }
                text += utf8(std::string_view(cellText_).substr(from, to - from));
            }
        }
        text = ctx_.fitText(std::move(text));
        QList<RichRun> kept;
        for (const RichRun& r : runs)
            if (r.first < text.size())
                kept << r;
        return {text, kept};
    }

    void endCell()
    {
        OpenCell& c = cell_;
        c.open = false;
        paragraphDepth_ = 0;
        const OdsValueAttributes attributes{c.type, c.calcType, c.value,
                                            c.dateValue, c.timeValue, c.booleanValue,
                                            c.stringValue ? std::optional<std::string_view>(*c.stringValue) : std::nullopt};
        std::optional<OdsValue> value;
        std::pair<QString, QList<RichRun>> text;
        if (!c.type.empty() || !c.calcType.empty()) {
            if (c.type == "string" && !c.stringValue && c.calcType != "error") {
                text = richText();
                value = OdsValue{CellKind::Text, 0, text.first, OdsValue::Shown::AsIs};
            } else {
                value = odsValue(attributes, c.calcType == "error" ? utf8(cellText_) : QString(), ctx_);
                if (value && value->kind == CellKind::Text)
                    value->text = ctx_.fitText(value->text);
            }
        }
        const qint64 rowsIn = std::max<qint64>(0, std::min<qint64>(row_ + rowCount_, kMaxRows) - row_);
        const qint64 colsIn = std::max<qint64>(0, std::min<qint64>(c.first + c.count, kMaxColumns) - c.first);
        const bool holds = c.formula || value;
        const size_t columnXf = c.first < kMaxColumns ? columnFormats_[size_t(c.first)] : 0;
        if (!holds) {
            // an empty cell only counts for its format
            if (c.xf && *c.xf != columnXf && rowsIn > 0 && colsIn > 0)
                sheet_->set_format(row_, c.first, int(row_ + rowsIn - 1), int(c.first + colsIn - 1), *c.xf);
            return;
        }
        LeftOut::OfSheet& beyond = ctx_.leftOut.sheets[sheet_->index];
        beyond.rowsBeyond += (rowCount_ - rowsIn) * c.count;
        beyond.columnsBeyond += rowsIn * (c.count - colsIn);
        if (rowsIn * colsIn > 1) {
            repeatedValues_ += rowsIn * colsIn;
            if (repeatedValues_ > kMaxRepeatedValues)
                throw tooLarge(QStringLiteral("行の繰り返し"));
        }
        const QString formula = c.formula ? odfToExcelFormula(utf8(c.formulaText)) : QString();
        const QString dateCode = value ? defaultCode(value->shown) : QString();
        for (int r = row_; r < row_ + rowsIn; ++r) {
            for (int col = c.first; col < c.first + colsIn; ++col) {
                const size_t xf = c.xf ? *c.xf : columnFormats_[size_t(col)];
                if (c.formula) {
                    Cell result;
                    if (value) {
                        result.result = value->kind;
                        result.number = value->number;
                        result.text = value->text;
                    }
                    sheet_->setFormula(r, col, formula, result);
                } else {
                    Cell* cell = sheet_->valueCell(r, col);
                    cell->kind = value->kind;
                    cell->number = value->number;
                    cell->text = value->text;
                    cell->runs = text.second;
                }
                if (Cell* cell = sheet_->sheet().cell(r, col))
                    cell->xf = quint16(std::min<size_t>(xf, 0xFFFF));
                if (!dateCode.isEmpty())
                    sheet_->showAsDate(r, col, dateCode);
            }
        }
    }

    ImportContext& ctx_;
    ImportFactory& factory_;
    ImportStyles& styles_;

    std::vector<Open> open_;
    int skipDepth_ = 0; // inside what is passed over

    // styles
    std::map<std::string, Style> styleMap_;       // by family and name
    std::map<std::string, std::string> families_; // of automatic styles, by name
    std::optional<Style> defaultStyle_;
    Style ignored_;
    Style* styleNow_ = nullptr;
    DataStyles dataStyles_;
    DataStyle* dataStyle_ = nullptr;
    DataPart* dataPart_ = nullptr;
    std::map<std::string, size_t> formats_; // cell formats of the cell styles

    // tables
    ImportSheet* sheet_ = nullptr;
    int row_ = 0, column_ = 0, cellColumn_ = 0;
    qint64 rowCount_ = 1, rowsInTable_ = 0, repeatedCells_ = 0, repeatedValues_ = 0;
    std::optional<size_t> rowFormat_;
    std::vector<size_t> columnFormats_;
    OdsPrintInfo print_;

    // the cell being read
    OpenCell cell_;
    std::string cellText_;
    int paragraphDepth_ = 0;
    std::vector<RunStart> runs_;
    std::vector<const TextProps*> spanStack_;
};

// `given` is followed by the end the parser needs (kPartEnd bytes) when
// `padded`; other parts are copied so.
void readPart(const QByteArray& given, bool padded, const QByteArray& name, orcus::xmlns_repository& namespaces,
              Reader& reader)
{
    QByteArray data = xmlPartText(given, name);
    if (data.isEmpty())
        return;
    const qsizetype size = data.size();
    if (!padded || data.constData() != given.constData())
        data.append(QByteArray(qsizetype(kPartEnd), kPartEndByte));
    // attribute values as the parser takes them, as this reader always has
    parseXmlPart(data.constData(), size, name, namespaces, reader, false);
}

} // namespace

void readOdsPackage(const QByteArray& package, ImportContext& ctx, ImportFactory& factory)
{
    const ZipReader archive(package);
    QByteArray styles, settings;
    QByteArray content; // the largest part, unpacked with room for the end the parser needs
    qsizetype contentSize = 0;
    try {
        // the parts of an .ods saved with a password are encrypted, and the
        // manifest says so
        if (archive.read("META-INF/manifest.xml").value_or(QByteArray()).contains("encryption-data"))
            throw EEncryptedWorkbook(QStringLiteral("パスワードで保護されたブックは読めません。"));
        styles = archive.read("styles.xml").value_or(QByteArray());
        settings = archive.read("settings.xml").value_or(QByteArray());
        if (std::optional<QByteArray> c = archive.read("content.xml", qsizetype(kPartEnd))) {
            content = std::move(*c);
            contentSize = content.size() - qsizetype(kPartEnd);
            writePartEnd(content.data() + contentSize);
        }
    } catch (const ZipDataError&) {
        throw damaged(QStringLiteral("(ZIP の部品が読めません)"));
    }
    orcus::xmlns_repository namespaces;
    Reader reader(ctx, factory, namespaces);
    readPart(styles, false, "styles.xml", namespaces, reader);
    readPart(QByteArray::fromRawData(content.constData(), contentSize), true, "content.xml", namespaces, reader);
    content = {};
    reader.finish();
    factory.finalize();
    readOdsSettings(xmlPartText(settings, "settings.xml"), ctx);
    readOdsPages(xmlPartText(styles, "styles.xml"), reader.printInfo(), ctx);
}

} // namespace tegaro::sheets
