#include "sheets/package/XlsxReader.h"

#include "sheets/container/ZipReader.h"
#include "sheets/model/CellReference.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/package/PackageScan.h"
#include "sheets/package/XlsxLayout.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tegaro::sheets {

namespace {

using Id = orcus::xmlns_id_t;
using Attributes = std::vector<XmlAttribute>;

// Limits on the work that spans and ranges ask for.
constexpr qint64 kMaxColumnSpans = 1ll << 20;               // columns named by <col> elements of one part
constexpr qint64 kMaxArrayCells = 1ll << 20;                // cells of one array formula
constexpr size_t kMaxCellText = size_t(kMaxTextLength) * 4; // bytes of a value or formula kept while reading

// The namespaces read, known to the parser so that it gives these very
// pointers for them; Strict Open XML's stand for the same.
const char main_[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char strictMain_[] = "http://purl.oclc.org/ooxml/spreadsheetml/main";
const char rel_[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char strictRel_[] = "http://purl.oclc.org/ooxml/officeDocument/relationships";
const Id kNamespaces[] = {main_, strictMain_, rel_, strictRel_, nullptr};

bool isMain(Id ns) { return ns == main_ || ns == strictMain_; }
bool isRel(Id ns) { return ns == rel_ || ns == strictRel_; }

// What the reader passes over, as the message after loading names it.
const QString kOtherHeaders = QStringLiteral("偶数ページと先頭ページのヘッダーとフッター");
const QString kAlignment = QStringLiteral("文字の折り返し・字下げ・回転");
const QString kThemeFill = QStringLiteral("テーマの色による塗りつぶし");
const QString kLinks = QStringLiteral("ハイパーリンク");
const QString kValidation = QStringLiteral("入力規則");
const QString kProtection = QStringLiteral("シートの保護");
const QString kHiddenSheets = QStringLiteral("シートの非表示");

QString utf8(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

std::string_view trimmed(std::string_view v)
{
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t' || v.front() == '\n' || v.front() == '\r'))
        v.remove_prefix(1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\n' || v.back() == '\r'))
        v.remove_suffix(1);
    return v;
}

// The number a value starts with, as far as it reads as one; nothing when
// it does not start with one.
std::optional<double> leadingNumber(std::string_view v)
{
    v = trimmed(v);
    if (!v.empty() && v.front() == '+')
        v.remove_prefix(1);
    double d = 0;
    const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), d);
    if (error != std::errc())
        return std::nullopt;
    return d;
}

// A whole number as the file writes it, or `otherwise`.
qint64 integer(std::string_view v, qint64 otherwise)
{
    v = trimmed(v);
    if (!v.empty() && v.front() == '+')
        v.remove_prefix(1);
    qint64 n = 0;
    const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), n);
    return error == std::errc() ? n : otherwise;
}

bool isTrue(std::string_view v)
{
    return v == "1" || v == "true";
}

const XmlAttribute* find(const Attributes& attrs, std::string_view name)
{
    for (const XmlAttribute& a : attrs)
        if (a.name == name && (!a.ns || isMain(a.ns)))
            return &a;
    return nullptr;
}

std::string_view value(const Attributes& attrs, std::string_view name)
{
    const XmlAttribute* a = find(attrs, name);
    return a ? a->value : std::string_view();
}

std::optional<double> finite(std::string_view v)
{
    const auto d = leadingNumber(v);
    return d && std::isfinite(*d) && trimmed(v).size() > 0 ? d : std::nullopt;
}

int bounded(std::string_view v, int low, int high, int otherwise)
{
    const auto d = finite(v);
    return d ? int(std::clamp(std::lround(std::clamp(*d, -1e9, 1e9)), long(low), long(high))) : otherwise;
}

// "FF00B050" or "00B050" as a colour.
std::optional<QRgb> rgb(std::string_view v)
{
    if (v.size() != 8 && v.size() != 6)
        return std::nullopt;
    unsigned n = 0;
    const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), n, 16);
    if (error != std::errc() || end != v.data() + v.size())
        return std::nullopt;
    return qRgb(int(n >> 16) & 0xFF, int(n >> 8) & 0xFF, int(n) & 0xFF);
}

int errorCode(std::string_view text)
{
    const QString t = utf8(trimmed(text));
    for (int code : {0x00, 0x07, 0x0F, 0x17, 0x1D, 0x24, 0x2A})
        if (t.compare(errorText(code), Qt::CaseInsensitive) == 0)
            return code;
    return 0x0F;
}

// "H12" as row and column, or nothing for any other text.
std::optional<std::pair<int, int>> plainCell(std::string_view t)
{
    size_t i = 0;
    int col = 0;
    while (i < t.size() && i < 3 && ((t[i] >= 'A' && t[i] <= 'Z') || (t[i] >= 'a' && t[i] <= 'z')))
        col = col * 26 + ((t[i++] | 0x20) - 'a' + 1);
    const size_t letters = i;
    qint64 row = 0;
    while (i < t.size() && i - letters < 7 && t[i] >= '0' && t[i] <= '9')
        row = row * 10 + (t[i++] - '0');
    if (letters == 0 || i == letters || i != t.size() || row < 1 || row > kGridRows || col > kGridColumns)
        return std::nullopt;
    return std::pair(int(row - 1), col - 1);
}

// The first area a reference names ("A1:C3", "B2", "A1:B2 D4"). Throws
// ECorruptWorkbook for text that is no reference.
ss::range_t range(std::string_view text)
{
    if (const auto cell = plainCell(text))
        return {{cell->first, cell->second}, {cell->first, cell->second}};
    const auto areas = parseAreas(utf8(trimmed(text)).section(u' ', 0, 0));
    if (!areas || areas->isEmpty())
        throw damaged(QStringLiteral("(セルの参照「%1」)").arg(utf8(text.substr(0, 40))));
    const Range& r = areas->first().range;
    return {{r.firstRow, r.firstCol}, {r.lastRow, r.lastCol}};
}

// The unpacked parts of the package, each read once and given up after.
class Parts {
public:
    explicit Parts(const QByteArray& package) : archive_(package) {}

    // The part followed by the end the parser needs (writePartEnd); null
    // when the package has no such part. Throws ZipDataError.
    QByteArray read(const QByteArray& name) const
    {
        std::optional<QByteArray> part = archive_.read(name, qsizetype(kPartEnd));
        if (!part)
            return {};
        writePartEnd(part->data() + part->size() - qsizetype(kPartEnd));
        return std::move(*part);
    }

private:
    ZipReader archive_;
};

// Reads one part with `reader`; a part with nothing to read is passed over.
template <class Reader>
void readPart(const Parts& parts, const QByteArray& name, orcus::xmlns_repository& namespaces, Reader& reader,
              bool read = true)
{
    QByteArray buffer = parts.read(name);
    if (buffer.isNull())
        return;
    const QByteArray given = QByteArray::fromRawData(buffer.constData(), buffer.size() - qsizetype(kPartEnd));
    QByteArray text = xmlPartText(given, name, read);
    if (text.isEmpty())
        return;
    if (text.constData() != given.constData()) {
        // converted from another encoding: a copy, which needs its own end
        const qsizetype size = text.size();
        buffer = {};
        text.append(QByteArray(qsizetype(kPartEnd), kPartEndByte));
        parseXmlPart(text.constData(), size, name, namespaces, reader, read);
        return;
    }
    parseXmlPart(given.constData(), given.size(), name, namespaces, reader, read);
}

// A part nobody reads: only checked, as every XML part of the package is,
// and the cells it states values for counted (a sheet the workbook does not
// lead to).
struct Unread {
    qint64 valueCells = 0;
    bool inValue = false, valueText = false;

    void start(Id ns, std::string_view n, const Attributes&)
    {
        if (!isMain(ns))
            return;
        if (n == "c")
            valueText = false;
        else if (n == "v")
            inValue = true;
        else if (n == "is")
            valueText = true;
    }
    void end(Id ns, std::string_view n)
    {
        if (!isMain(ns))
            return;
        inValue = false;
        if (n == "c")
            valueCells += valueText;
    }
    bool wantsText() const { return inValue; }
    void text(std::string_view t) { valueText = valueText || !trimmed(t).empty(); }
};

// --- relationships ---------------------------------------------------------

// The kind of part a relationship leads to: the last word of its type, in
// either form's namespace; empty for any other type.
std::string_view relationKind(std::string_view type)
{
    for (std::string_view prefix : {"http://schemas.openxmlformats.org/officeDocument/2006/relationships/",
                                    "http://purl.oclc.org/ooxml/officeDocument/relationships/"})
        if (type.substr(0, prefix.size()) == prefix)
            return type.substr(prefix.size());
    return {};
}

struct Relationships {
    struct Target {
        std::string kind;
        QByteArray part; // as the package spells it
    };
    const PartNames& names;
    QByteArray from; // the part they belong to
    std::map<std::string, Target> byId;
    std::map<std::string, QByteArray> byKind; // the first part of each kind

    void start(Id, std::string_view name, const Attributes& a)
    {
        if (name != "Relationship" || byId.size() >= 65536)
            return;
        std::string_view mode, id, type, target;
        for (const XmlAttribute& at : a) {
            if (at.ns)
                continue;
            if (at.name == "Id")
                id = at.value;
            else if (at.name == "Type")
                type = at.value;
            else if (at.name == "Target")
                target = at.value;
            else if (at.name == "TargetMode")
                mode = at.value;
        }
        if (mode == "External")
            return;
        const QByteArray part = names.actual(resolveTarget(from, QByteArray(target.data(), qsizetype(target.size()))));
        const std::string_view kind = relationKind(type);
        byId.try_emplace(std::string(id), Target{std::string(kind), part});
        if (!kind.empty())
            byKind.try_emplace(std::string(kind), part);
    }
    void end(Id, std::string_view) {}
    bool wantsText() const { return false; }
    void text(std::string_view) {}
};

// --- the workbook ------------------------------------------------------------

struct SheetEntry {
    ImportSheet* sheet;
    std::string relation;
};

class WorkbookReader {
public:
    WorkbookReader(ImportContext& ctx, ImportFactory& factory) : ctx_(ctx), factory_(factory) {}

    std::vector<SheetEntry> sheets;

    void start(Id ns, std::string_view n, const Attributes& a)
    {
        ctx_.charge();
        if (!isMain(ns))
            return;
        if (n == "workbookPr") {
            // Mac workbooks count dates from 1904; the values stand as
            // they are, only their meaning changes
            ctx_.book.date1904 = isTrue(value(a, "date1904"));
        } else if (n == "sheet") {
            const std::string_view state = value(a, "state");
            if (!state.empty() && state != "visible")
                ctx_.leftOut.features.insert(kHiddenSheets);
            std::string relation;
            for (const XmlAttribute& at : a)
                if (isRel(at.ns) && at.name == "id")
                    relation = at.value;
            const std::string_view name = value(a, "name");
            auto* sheet = static_cast<ImportSheet*>(factory_.append_sheet(ss::sheet_t(sheets.size()), name));
            sheets.push_back({sheet, relation});
        } else if (n == "definedName") {
            name_ = value(a, "name");
            const XmlAttribute* local = find(a, "localSheetId");
            localSheet_ = local ? integer(local->value, -1) : -1;
            nameText_.clear();
            inName_ = true;
        }
    }

    void end(Id ns, std::string_view n)
    {
        if (!isMain(ns) || n != "definedName" || !inName_)
            return;
        inName_ = false;
        ss::iface::import_named_expression* names = factory_.get_named_expression();
        if (localSheet_ >= 0 && localSheet_ < qint64(sheets.size()))
            names = sheets[size_t(localSheet_)].sheet->get_named_expression();
        names->set_named_expression(name_, nameText_);
        names->commit();
    }

    bool wantsText() const { return inName_; }
    void text(std::string_view t)
    {
        if (nameText_.size() < kMaxCellText)
            nameText_ += t;
    }

private:
    ImportContext& ctx_;
    ImportFactory& factory_;
    bool inName_ = false;
    std::string name_, nameText_;
    qint64 localSheet_ = -1;
};

// --- shared strings --------------------------------------------------------

// The strings as Excel shows them: the text of all runs and any plain text
// before them, without phonetic readings, "_x000D_" and the like as the
// characters they stand for; each run in the font its properties give.
class StringsReader {
public:
    explicit StringsReader(ImportContext& ctx) : ctx_(ctx) {}

    void start(Id ns, std::string_view n, const Attributes& a)
    {
        ctx_.charge();
        if (!isMain(ns))
            return;
        if (phonetic_) {
            ++phonetic_;
            return;
        }
        if (n == "si") {
            text_.clear();
            runs_.clear();
            plainFirst_ = false;
            open_ = true;
        } else if (n == "rPh") {
            phonetic_ = 1; // a reading of the text, not the text itself
        } else if (n == "r") {
            format_ = RunFormat();
            inRun_ = true;
        } else if (n == "t") {
            inText_ = true;
            piece_.clear();
        } else if (inRun_) {
            runProperty(n, a);
        }
    }

    void end(Id ns, std::string_view n)
    {
        if (!isMain(ns))
            return;
        if (phonetic_) {
            --phonetic_;
            return;
        }
        if (n == "t" && inText_) {
            inText_ = false;
            const QString piece = decodeEscapes(utf8(piece_));
            if (inRun_) {
                // a run starts where its formatting changes; after a formatted
                // run, plain text goes back to the standard font
                if ((!format_.plain() || !runs_.isEmpty()) && text_.size() < kMaxTextLength) {
                    const quint16 font = ctx_.runFormat(format_);
                    if (runs_.isEmpty() || runs_.last().font != font)
                        runs_ << RichRun{quint16(text_.size()), font};
                }
            } else if (text_.isEmpty()) {
                plainFirst_ = true;
            }
            text_ += piece;
        } else if (n == "r") {
            inRun_ = false;
        } else if (n == "si" && open_) {
            open_ = false;
            ctx_.charge();
            // plain text before formatted runs keeps the standard font
            if (plainFirst_ && !runs_.isEmpty() && runs_.first().first != 0)
                runs_.prepend(RichRun{0, ctx_.runFormat(RunFormat())});
            ImportedText t{ctx_.fitText(text_), {}};
            for (const RichRun& r : runs_)
                if (r.first < t.text.size())
                    t.runs << r;
            ctx_.strings.push_back(std::move(t));
        }
    }

    bool wantsText() const { return inText_ && !phonetic_; }
    void text(std::string_view t)
    {
        if (piece_.size() < kMaxCellText)
            piece_ += t;
    }

private:
    void runProperty(std::string_view n, const Attributes& a)
    {
        const std::string_view val = value(a, "val");
        if (n == "b") {
            format_.bold = val.empty() || isTrue(val);
        } else if (n == "i") {
            format_.italic = val.empty() || isTrue(val);
        } else if (n == "sz") {
            if (const auto size = finite(val))
                format_.size = *size;
        } else if (n == "rFont") {
            format_.name = utf8(val);
        } else if (n == "color") {
            if (const auto c = rgb(value(a, "rgb")))
                format_.color = *c;
        }
    }

    ImportContext& ctx_;
    QString text_;
    QList<RichRun> runs_;
    RunFormat format_;
    std::string piece_;
    int phonetic_ = 0;
    bool open_ = false, inRun_ = false, inText_ = false, plainFirst_ = false;
};

// --- styles ------------------------------------------------------------------

ss::border_style_t borderStyle(std::string_view s)
{
    using B = ss::border_style_t;
    static const std::pair<std::string_view, B> styles[] = {
        {"thin", B::thin},
        {"medium", B::medium},
        {"dashed", B::dashed},
        {"dotted", B::dotted},
        {"thick", B::thick},
        {"double", B::double_border},
        {"hair", B::hair},
        {"mediumDashed", B::medium_dashed},
        {"dashDot", B::dash_dot},
        {"mediumDashDot", B::medium_dash_dot},
        {"dashDotDot", B::dash_dot_dot},
        {"mediumDashDotDot", B::medium_dash_dot_dot},
        {"slantDashDot", B::slant_dash_dot},
    };
    for (const auto& [name, style] : styles)
        if (name == s)
            return style;
    return B::none;
}

ss::fill_pattern_t fillPattern(std::string_view s)
{
    using F = ss::fill_pattern_t;
    static const std::pair<std::string_view, F> patterns[] = {
        {"solid", F::solid},
        {"mediumGray", F::medium_gray},
        {"darkGray", F::dark_gray},
        {"lightGray", F::light_gray},
        {"darkHorizontal", F::dark_horizontal},
        {"darkVertical", F::dark_vertical},
        {"darkDown", F::dark_down},
        {"darkUp", F::dark_up},
        {"darkGrid", F::dark_grid},
        {"darkTrellis", F::dark_trellis},
        {"lightHorizontal", F::light_horizontal},
        {"lightVertical", F::light_vertical},
        {"lightDown", F::light_down},
        {"lightUp", F::light_up},
        {"lightGrid", F::light_grid},
        {"lightTrellis", F::light_trellis},
        {"gray125", F::gray_125},
        {"gray0625", F::gray_0625},
    };
    for (const auto& [name, pattern] : patterns)
        if (name == s)
            return pattern;
    return F::none;
}

class StylesReader {
public:
    StylesReader(ImportContext& ctx, ImportStyles& styles) : ctx_(ctx), styles_(styles) {}

    void start(Id ns, std::string_view n, const Attributes& a)
    {
        ctx_.charge();
        if (!isMain(ns))
            return;
        const std::string_view val = value(a, "val");
        if (n == "b") {
            styles_.set_font_bold(val.empty() || isTrue(val));
        } else if (n == "i") {
            styles_.set_font_italic(val.empty() || isTrue(val));
        } else if (n == "strike") {
            styles_.set_strikethrough_style(val.empty() || isTrue(val) ? ss::strikethrough_style_t::solid
                                                                       : ss::strikethrough_style_t::none);
        } else if (n == "u") {
            using U = ss::underline_t;
            styles_.set_font_underline(val == "double"                 ? U::double_line
                                           : val == "singleAccounting" ? U::single_accounting
                                           : val == "doubleAccounting" ? U::double_accounting
                                           : val == "none"             ? U::none
                                                                       : U::single_line);
        } else if (n == "sz") {
            if (const auto size = finite(val))
                styles_.set_font_size(*size);
        } else if (n == "name") {
            styles_.set_font_name(val);
        } else if (n == "color") {
            if (const auto c = rgb(value(a, "rgb"))) {
                if (border_ != ss::border_direction_t::unknown)
                    styles_.set_border_color(border_, 255, qRed(*c), qGreen(*c), qBlue(*c));
                else if (inFont_)
                    styles_.set_font_color(255, qRed(*c), qGreen(*c), qBlue(*c));
            }
        } else if (n == "font") {
            inFont_ = true;
        } else if (n == "patternFill") {
            styles_.set_fill_pattern_type(fillPattern(value(a, "patternType")));
        } else if (n == "fgColor" || n == "bgColor") {
            if (n == "fgColor" && find(a, "theme"))
                ctx_.leftOut.features.insert(kThemeFill);
            if (const auto c = rgb(value(a, "rgb"))) {
                if (n == "fgColor")
                    styles_.set_fill_fg_color(255, qRed(*c), qGreen(*c), qBlue(*c));
                else
                    styles_.set_fill_bg_color(255, qRed(*c), qGreen(*c), qBlue(*c));
            }
        } else if (n == "border") {
            diagonalUp_ = isTrue(value(a, "diagonalUp"));
            diagonalDown_ = isTrue(value(a, "diagonalDown"));
        } else if (n == "left" || n == "right" || n == "top" || n == "bottom" || n == "start" || n == "end") {
            using D = ss::border_direction_t;
            border_ = n == "left" || n == "start" ? D::left
                : n == "right" || n == "end"      ? D::right
                : n == "top"                      ? D::top
                                                  : D::bottom;
            styles_.set_border_style(border_, borderStyle(value(a, "style")));
        } else if (n == "diagonal") {
            using D = ss::border_direction_t;
            border_ = diagonalUp_ ? (diagonalDown_ ? D::diagonal : D::diagonal_bl_tr)
                                  : (diagonalDown_ ? D::diagonal_tl_br : D::unknown);
            if (border_ != D::unknown)
                styles_.set_border_style(border_, borderStyle(value(a, "style")));
        } else if (n == "cellStyleXfs") {
            styleXfs_ = true;
        } else if (n == "cellXfs") {
            styleXfs_ = false;
        } else if (n == "xf") {
            for (const XmlAttribute& at : a) {
                if (at.ns && !isMain(at.ns))
                    continue;
                const size_t index = size_t(std::max<qint64>(0, integer(at.value, 0)));
                if (at.name == "numFmtId")
                    styles_.set_xf_number_format(index);
                else if (at.name == "fontId")
                    styles_.set_xf_font(index);
                else if (at.name == "fillId")
                    styles_.set_xf_fill(index);
                else if (at.name == "borderId")
                    styles_.set_xf_border(index);
                else if (at.name == "xfId")
                    styles_.set_xf_style_xf(index);
            }
        } else if (n == "alignment") {
            alignment(a);
        } else if (n == "numFmt") {
            if (const XmlAttribute* id = find(a, "numFmtId"); id && integer(id->value, -1) >= 0)
                styles_.set_number_format_identifier(size_t(integer(id->value, 0)));
            styles_.set_number_format_code(value(a, "formatCode"));
            styles_.commit_number_format();
        } else if (n == "cellStyle") {
            styles_.commit_cell_style();
        }
    }

    void end(Id ns, std::string_view n)
    {
        if (!isMain(ns))
            return;
        if (n == "font") {
            inFont_ = false;
            styles_.commit_font();
        } else if (n == "fill") {
            styles_.commit_fill();
        } else if (n == "border") {
            styles_.commit_border();
        } else if (n == "left" || n == "right" || n == "top" || n == "bottom" || n == "start" || n == "end"
                   || n == "diagonal") {
            border_ = ss::border_direction_t::unknown;
        } else if (n == "xf") {
            if (styleXfs_)
                styles_.commit_cell_style_xf();
            else
                styles_.commit_cell_xf();
        } else if (n == "dxf") {
            styles_.commit_dxf();
        }
    }

    bool wantsText() const { return false; }
    void text(std::string_view) {}

private:
    void alignment(const Attributes& a)
    {
        using H = ss::hor_alignment_t;
        using V = ss::ver_alignment_t;
        const std::string_view h = value(a, "horizontal"), v = value(a, "vertical");
        styles_.set_xf_horizontal_alignment(h == "center"            ? H::center
                                                : h == "right"       ? H::right
                                                : h == "left"        ? H::left
                                                : h == "justify"     ? H::justified
                                                : h == "distributed" ? H::distributed
                                                : h == "fill"        ? H::filled
                                                                     : H::unknown);
        styles_.set_xf_vertical_alignment(v == "top"               ? V::top
                                              : v == "center"      ? V::middle
                                              : v == "justify"     ? V::justified
                                              : v == "distributed" ? V::distributed
                                                                   : V::bottom);
        for (const char* name : {"wrapText", "shrinkToFit"})
            if (isTrue(value(a, name)))
                ctx_.leftOut.features.insert(kAlignment);
        for (const char* name : {"indent", "textRotation"})
            if (integer(value(a, name), 0) != 0)
                ctx_.leftOut.features.insert(kAlignment);
    }

    ImportContext& ctx_;
    ImportStyles& styles_;
    bool inFont_ = false, styleXfs_ = false, diagonalUp_ = false, diagonalDown_ = false;
    ss::border_direction_t border_ = ss::border_direction_t::unknown;
};

// --- worksheets ----------------------------------------------------------

// One worksheet part: its columns, rows and cells, merged areas, views and
// print settings.
class SheetReader {
public:
    SheetReader(ImportContext& ctx, ImportSheet& sheet) : ctx_(ctx), sheet_(sheet) {}

    qint64 valueCells = 0; // cells that state a value

    void start(Id ns, std::string_view n, const Attributes& a)
    {
        ctx_.charge();
        if (!isMain(ns))
            return;
        if (phonetic_) {
            ++phonetic_;
            return;
        }
        if (cell_.open) {
            cellElement(n, a);
            return;
        }
        if (n == "row") {
            startRow(a);
        } else if (n == "c") {
            startCell(a);
        } else if (n == "col") {
            column(a);
        } else if (n == "mergeCell") {
            sheet_.get_sheet_properties()->set_merge_cell_range(range(value(a, "ref")));
        } else if (n == "sheetView") {
            sheetView(a);
        } else if (n == "pane") {
            pane(a);
        } else if (n == "selection") {
            selection(a);
        } else {
            pageElement(n, a);
        }
    }

    void end(Id ns, std::string_view n)
    {
        if (!isMain(ns))
            return;
        if (phonetic_) {
            --phonetic_;
            return;
        }
        if (cell_.open) {
            if (n == "v") {
                cell_.value = std::move(text_);
                cell_.hasValue = true;
            } else if (n == "f") {
                cell_.formula = std::move(text_);
            } else if (n == "t" && cell_.inlineOpen) {
                cell_.inlineText += text_;
            } else if (n == "is") {
                cell_.inlineOpen = false;
            } else if (n == "c") {
                endCell();
            }
            text_.clear();
            wanted_ = nullptr;
            return;
        }
        if (n == "oddHeader" || n == "oddFooter") {
            QString& to = n == "oddHeader" ? sheet_.sheet().page.header : sheet_.sheet().page.footer;
            to = utf8(text_).left(255); // as much as an .xls header holds
            text_.clear();
            wanted_ = nullptr;
        } else if (n == "rowBreaks" || n == "colBreaks") {
            breaks_ = nullptr;
        } else if (n == "sheetData") {
            commitArrays(std::numeric_limits<int>::max());
        }
    }

    bool wantsText() const { return wanted_ && !phonetic_; }
    void text(std::string_view t)
    {
        if (text_.size() < kMaxCellText)
            text_ += t;
    }

    void finish() { commitArrays(std::numeric_limits<int>::max()); }

private:
    struct OpenCell {
        bool open = false;
        int row = 0, col = 0;
        std::string_view type; // into typeText
        std::string typeText;
        size_t xf = 0;
        bool hasValue = false, hasFormula = false, inlineOpen = false, hasInline = false;
        std::string value, formula, inlineText;
        std::string formulaType;
        std::optional<ss::range_t> ref;
        qint64 sharedIndex = -1;
    };

    // An array formula, whose results its other cells hold.
    struct Array {
        ss::range_t range;
        std::string text;
        std::map<std::pair<int, int>, Cell> results;             // by offset
        std::vector<std::pair<std::pair<int, int>, Cell>> fixes; // set after it: errors, texts, the first cell's result
    };

    void startRow(const Attributes& a)
    {
        commitArrays(row_);
        if (const XmlAttribute* r = find(a, "r")) {
            const qint64 at = integer(r->value, 0);
            if (at == 0)
                throw damaged(QStringLiteral("(行の番号 0)"));
            row_ = int(std::clamp<qint64>(at - 1, -1, kGridRows));
        } else {
            ++row_;
        }
        col_ = -1;
        ss::iface::import_sheet_properties* props = sheet_.get_sheet_properties();
        if (const XmlAttribute* ht = find(a, "ht"))
            if (const auto h = leadingNumber(ht->value))
                props->set_row_height(row_, *h, orcus::length_unit_t::point);
        const std::string_view hidden = value(a, "hidden");
        props->set_row_hidden(row_, hidden == "true" || integer(hidden, 0) != 0);
        if (isTrue(value(a, "customFormat")))
            if (const XmlAttribute* s = find(a, "s"))
                sheet_.set_format(row_, 0, row_, kGridColumns - 1, size_t(std::max<qint64>(0, integer(s->value, 0))));
    }

    void startCell(const Attributes& a)
    {
        cell_.open = true;
        cell_.typeText.clear();
        bool placed = false;
        for (const XmlAttribute& at : a) {
            if (at.ns && !isMain(at.ns))
                continue;
            if (at.name == "r") {
                // a cell placed in another row than its own stands where it says
                const ss::range_t r = range(at.value);
                cell_.row = r.first.row;
                col_ = r.first.column;
                placed = true;
            } else if (at.name == "t") {
                cell_.typeText = at.value;
            } else if (at.name == "s") {
                cell_.xf = size_t(std::max<qint64>(0, integer(at.value, 0)));
            }
        }
        if (!placed) {
            ++col_;
            cell_.row = row_;
        }
        cell_.col = col_;
        cell_.type = cell_.typeText;
    }

    void cellElement(std::string_view n, const Attributes& a)
    {
        if (n == "v") {
            wanted_ = &text_;
            text_.clear();
        } else if (n == "f") {
            wanted_ = &text_;
            text_.clear();
            cell_.hasFormula = true;
            cell_.formulaType = value(a, "t");
            if (const XmlAttribute* ref = find(a, "ref"))
                cell_.ref = range(ref->value);
            if (const XmlAttribute* si = find(a, "si"))
                cell_.sharedIndex = integer(si->value, 0);
            if (cell_.formulaType == "array" && cell_.ref) {
                const ss::range_t& r = *cell_.ref;
                if (qint64(r.last.row - r.first.row + 1) * (r.last.column - r.first.column + 1) > kMaxArrayCells)
                    throw tooLarge(QStringLiteral("配列数式"));
            }
        } else if (n == "is") {
            cell_.inlineOpen = cell_.hasInline = true;
        } else if (n == "t" && cell_.inlineOpen) {
            wanted_ = &text_;
            text_.clear();
        } else if (n == "rPh") {
            phonetic_ = 1; // a reading of the text, not the text itself
        }
    }

    // A cell's value as a value cell holds it; false when it holds none.
    bool setValue()
    {
        const std::string_view v = cell_.value;
        if (v.empty())
            return false;
        const std::string_view t = cell_.type;
        if (t == "s") {
            sheet_.set_string(cell_.row, cell_.col, ss::string_id_t(std::max<qint64>(0, integer(v, 0))));
        } else if (t.empty() || t == "n") {
            if (const auto d = leadingNumber(v))
                sheet_.set_value(cell_.row, cell_.col, *d);
            else
                sheet_.set_value(cell_.row, cell_.col, 0);
        } else if (t == "b") {
            sheet_.set_bool(cell_.row, cell_.col, integer(v, 0) != 0 || trimmed(v) == "true");
        } else if (t == "str") {
            // a formula's text result without its formula: the text stands
            if (Cell* c = sheet_.valueCell(cell_.row, cell_.col)) {
                c->kind = CellKind::Text;
                c->text = ctx_.fitText(v);
            }
        } else {
            return false;
        }
        return true;
    }

    void endCell()
    {
        OpenCell& c = cell_;
        const bool noValue = trimmed(c.value).empty();
        valueCells += !noValue || c.hasInline;
        Array* array = arrayAt(c.row, c.col);
        if (array) {
            const std::pair<int, int> at{c.row - array->range.first.row, c.col - array->range.first.column};
            result(*array, at);
            // error values and texts, which an array's results do not carry
            if (!c.hasFormula && c.hasInline)
                array->fixes.push_back({at, textCell(c.inlineText)});
            else if (!c.hasFormula && c.type == "e" && !noValue)
                array->fixes.push_back({at, errorCell(c.value)});
        } else if (!c.formula.empty()) {
            if (c.formulaType == "shared" && c.sharedIndex >= 0) {
                commitFormula(true);
            } else if (c.formulaType == "array") {
                if (c.ref) {
                    arrays_.push_back({*c.ref, c.formula, {}, {}});
                    Array& a = arrays_.back();
                    result(a, {0, 0});
                    if (noValue)
                        a.fixes.push_back({{0, 0}, Cell()});
                    else if (c.type == "e")
                        a.fixes.push_back({{0, 0}, errorCell(c.value)});
                }
            } else {
                commitFormula(false);
            }
        } else if (c.formulaType == "shared" && c.sharedIndex >= 0) {
            commitFormula(true);
        } else {
            if (c.formulaType == "dataTable")
                sheet_.get_data_table();
            if (!setValue()) {
                if (c.hasInline) {
                    if (Cell* v = sheet_.valueCell(c.row, c.col)) {
                        v->kind = CellKind::Text;
                        v->text = ctx_.fitText(decodeEscapes(utf8(c.inlineText)));
                    }
                } else if (c.type == "e" && !noValue) {
                    if (Cell* v = sheet_.valueCell(c.row, c.col)) {
                        v->kind = CellKind::Error;
                        v->number = errorCode(c.value);
                    }
                }
            }
        }
        if (c.xf)
            sheet_.set_format(c.row, c.col, c.xf);
        cell_ = OpenCell();
    }

    Cell textCell(const std::string& text)
    {
        Cell c;
        c.kind = CellKind::Text;
        c.text = ctx_.fitText(decodeEscapes(utf8(text)));
        return c;
    }

    static Cell errorCell(std::string_view text)
    {
        Cell c;
        c.kind = CellKind::Error;
        c.number = errorCode(text);
        return c;
    }

    // A result that an array formula's cell holds: numbers and truths.
    void result(Array& a, std::pair<int, int> at)
    {
        const std::string_view v = cell_.value;
        if (v.empty())
            return;
        Cell c;
        if (cell_.type.empty() || cell_.type == "n") {
            c.kind = CellKind::Number;
            c.number = leadingNumber(v).value_or(0);
        } else if (cell_.type == "b") {
            c.kind = CellKind::Boolean;
            c.number = integer(v, 0) != 0 || trimmed(v) == "true";
        } else {
            return;
        }
        a.results[at] = c;
    }

    void commitFormula(bool shared)
    {
        const OpenCell& c = cell_;
        ss::iface::import_formula* f = sheet_.get_formula();
        f->set_position(c.row, c.col);
        if (!c.formula.empty())
            f->set_formula(ss::formula_grammar_t::xlsx, c.formula);
        if (shared)
            f->set_shared_formula_index(size_t(c.sharedIndex));
        const std::string_view v = c.value;
        if (c.type.empty() || c.type == "n") {
            if (!trimmed(v).empty())
                f->set_result_value(leadingNumber(v).value_or(0));
        } else if (c.type == "str") {
            f->set_result_string(v);
        }
        f->commit();
        if (c.row < 0 || c.col < 0 || c.row >= kMaxRows || c.col >= kMaxColumns)
            return;
        Cell* cell = sheet_.sheet().cell(c.row, c.col);
        if (!cell || cell->kind != CellKind::Formula)
            return;
        if (trimmed(v).empty()) {
            cell->result = CellKind::Empty; // worked out after loading
            cell->number = 0;
            cell->text.clear();
        } else if (c.type == "e") {
            cell->result = CellKind::Error;
            cell->number = errorCode(v);
        } else if (c.type == "b") {
            cell->result = CellKind::Boolean;
            cell->number = integer(v, 0) != 0 || trimmed(v) == "true";
        }
    }

    Array* arrayAt(int row, int col)
    {
        for (Array& a : arrays_)
            if (row >= a.range.first.row && row <= a.range.last.row && col >= a.range.first.column
                && col <= a.range.last.column)
                return &a;
        return nullptr;
    }

    // Array formulas whose last row lies above `row` are complete.
    void commitArrays(int row)
    {
        for (auto it = arrays_.begin(); it != arrays_.end();) {
            if (it->range.last.row >= row) {
                ++it;
                continue;
            }
            ss::iface::import_array_formula* f = sheet_.get_array_formula();
            f->set_range(it->range);
            f->set_formula(ss::formula_grammar_t::xlsx, it->text);
            for (const auto& [at, c] : it->results) {
                if (c.kind == CellKind::Boolean)
                    f->set_result_bool(at.first, at.second, c.number != 0);
                else
                    f->set_result_value(at.first, at.second, c.number);
            }
            f->commit();
            for (const auto& [at, fix] : it->fixes) {
                const int r = it->range.first.row + at.first, col = it->range.first.column + at.second;
                if (at == std::pair(0, 0)) {
                    // the first cell holds the formula and its result
                    Cell* c = r < kMaxRows && col < kMaxColumns ? sheet_.sheet().cell(r, col) : nullptr;
                    if (c && c->kind == CellKind::Formula) {
                        c->result = fix.kind;
                        c->number = fix.number;
                        c->text.clear();
                    }
                } else if (Cell* v = sheet_.valueCell(r, col)) {
                    const quint16 xf = v->xf;
                    *v = fix;
                    v->xf = xf;
                }
            }
            it = arrays_.erase(it);
        }
    }

    void column(const Attributes& a)
    {
        const qint64 first = integer(value(a, "min"), 1), last = integer(value(a, "max"), first);
        if (first < 1 || last < first || last > kGridColumns)
            throw damaged(QStringLiteral("(列の範囲 %1-%2)").arg(first).arg(last));
        columnSpans_ += last - first + 1;
        if (columnSpans_ > kMaxColumnSpans)
            throw tooLarge(QStringLiteral("列の設定"));
        ss::iface::import_sheet_properties* props = sheet_.get_sheet_properties();
        const auto width = finite(value(a, "width"));
        const std::string_view hidden = value(a, "hidden");
        const bool isHidden = hidden == "true" || integer(hidden, 0) != 0;
        const XmlAttribute* style = find(a, "style");
        for (qint64 col = first - 1; col < std::min<qint64>(last, kMaxColumns); ++col) {
            if (width)
                props->set_column_width(ss::col_t(col), *width, orcus::length_unit_t::xlsx_column_digit);
            props->set_column_hidden(ss::col_t(col), isHidden);
            // one column at a time: a span from the first column is not a row
            if (style)
                sheet_.set_format(0, ss::col_t(col), kGridRows - 1, ss::col_t(col),
                                  size_t(std::max<qint64>(0, integer(style->value, 0))));
        }
    }

    void sheetView(const Attributes& a)
    {
        if (isTrue(value(a, "tabSelected")))
            sheet_.get_sheet_view()->set_sheet_active();
        if (viewRead_)
            return;
        viewRead_ = true; // the first view is the one a window opens with
        SheetView& view = sheet_.sheet().view;
        if (const int zoom = bounded(value(a, "zoomScale"), 10, 400, 0))
            view.zoom = quint16(zoom);
        auto setOption = [&](std::string_view v, quint16 bit) {
            if (!v.empty())
                view.options = isTrue(v) ? view.options | bit : view.options & ~bit;
        };
        setOption(value(a, "showGridLines"), SheetView::kGridlines);
        setOption(value(a, "showRowColHeaders"), SheetView::kHeadings);
        setOption(value(a, "showZeros"), SheetView::kZeros);
    }

    static ss::sheet_pane_t paneOf(std::string_view v)
    {
        using P = ss::sheet_pane_t;
        return v == "bottomLeft" ? P::bottom_left
            : v == "bottomRight" ? P::bottom_right
            : v == "topRight"    ? P::top_right
                                 : P::top_left;
    }

    void pane(const Attributes& a)
    {
        const double x = finite(value(a, "xSplit")).value_or(0), y = finite(value(a, "ySplit")).value_or(0);
        ss::address_t topLeft{0, 0};
        if (const XmlAttribute* cell = find(a, "topLeftCell"))
            topLeft = range(cell->value).first;
        const ss::sheet_pane_t active = paneOf(value(a, "activePane"));
        const std::string_view state = value(a, "state");
        ss::iface::import_sheet_view* view = sheet_.get_sheet_view();
        if (state == "frozen")
            view->set_frozen_pane(ss::col_t(std::clamp(x, -1.0, 1e9)), ss::row_t(std::clamp(y, -1.0, 1e9)), topLeft, active);
        else if (state.empty() || state == "split")
            view->set_split_pane(x, y, topLeft, active);
    }

    void selection(const Attributes& a)
    {
        ss::range_t r{{-1, -1}, {-1, -1}};
        if (const XmlAttribute* ref = find(a, "sqref"))
            r = range(ref->value);
        sheet_.get_sheet_view()->set_selected_range(paneOf(value(a, "pane")), r);
    }

    void pageElement(std::string_view n, const Attributes& a)
    {
        PageSetup& p = sheet_.sheet().page;
        if (n == "pageSetUpPr") {
            p.fitToPage = isTrue(value(a, "fitToPage"));
        } else if (n == "pageMargins") {
            // inches, as in an .xls
            auto margin = [&](std::string_view name) -> std::optional<double> {
                const auto d = finite(value(a, name));
                return d && *d >= 0 && *d < 50 ? d : std::nullopt;
            };
            p.leftMargin = margin("left");
            p.rightMargin = margin("right");
            p.topMargin = margin("top");
            p.bottomMargin = margin("bottom");
            p.headerMargin = margin("header").value_or(p.headerMargin);
            p.footerMargin = margin("footer").value_or(p.footerMargin);
        } else if (n == "pageSetup") {
            p.paperSize = quint16(bounded(value(a, "paperSize"), 0, 255, p.paperSize));
            p.scale = quint16(bounded(value(a, "scale"), 10, 400, p.scale));
            p.fitWidth = quint16(bounded(value(a, "fitToWidth"), 0, 32767, 1));
            p.fitHeight = quint16(bounded(value(a, "fitToHeight"), 0, 32767, 1));
            p.copies = quint16(bounded(value(a, "copies"), 1, 32767, 1));
            p.setLandscape(value(a, "orientation") == "landscape"); // the paper and its way are known now
            if (value(a, "pageOrder") == "overThenDown")
                p.options |= PageSetup::kOverThenDown;
            if (isTrue(value(a, "useFirstPageNumber"))) {
                p.pageStart = qint16(bounded(value(a, "firstPageNumber"), 1, 32767, 1));
                p.options |= PageSetup::kUsePageStart;
            }
        } else if (n == "printOptions") {
            p.hCenter = isTrue(value(a, "horizontalCentered"));
            p.vCenter = isTrue(value(a, "verticalCentered"));
            p.printGridlines = isTrue(value(a, "gridLines"));
            p.printHeadings = isTrue(value(a, "headings"));
        } else if (n == "oddHeader" || n == "oddFooter") {
            wanted_ = &text_;
            text_.clear();
        } else if (n == "evenHeader" || n == "firstHeader" || n == "evenFooter" || n == "firstFooter") {
            ctx_.leftOut.features.insert(kOtherHeaders);
        } else if (n == "rowBreaks" || n == "colBreaks") {
            breaks_ = n == "rowBreaks" ? &p.rowBreaks : &p.columnBreaks;
            breakLimit_ = n == "rowBreaks" ? kMaxRows - 1 : kMaxColumns - 1;
            breaks_->clear();
        } else if (n == "brk" && breaks_) {
            // a break after the row (column) numbered id: the next page starts at index id
            const int id = bounded(value(a, "id"), 0, breakLimit_, 0);
            if (id > 0 && !breaks_->contains(id) && breaks_->size() < 1026)
                *breaks_ << id;
        } else if (n == "hyperlink") {
            ctx_.leftOut.features.insert(kLinks);
        } else if (n == "dataValidation") {
            ctx_.leftOut.features.insert(kValidation);
        } else if (n == "sheetProtection") {
            ctx_.leftOut.features.insert(kProtection);
        } else if (n == "conditionalFormatting") {
            sheet_.get_conditional_format();
        } else if (n == "autoFilter") {
            sheet_.get_auto_filter();
        } else if (n == "tablePart") {
            sheet_.get_table();
        }
    }

    ImportContext& ctx_;
    ImportSheet& sheet_;
    int row_ = -1, col_ = -1;
    OpenCell cell_;
    std::string text_;
    std::string* wanted_ = nullptr;
    int phonetic_ = 0;
    std::vector<Array> arrays_;
    qint64 columnSpans_ = 0;
    bool viewRead_ = false;
    QList<int>* breaks_ = nullptr;
    int breakLimit_ = 0;
};

bool isXmlName(const QByteArray& name)
{
    return name.endsWith(".xml") || name.endsWith(".rels") || name.endsWith(".vml");
}

} // namespace

qint64 readXlsxPackage(const QByteArray& package, const QList<PackageEntry>& entries, ImportContext& ctx,
                       ImportFactory& factory)
{
    QList<QByteArray> list;
    for (const PackageEntry& e : entries)
        list << e.name;
    const PartNames names(list);
    std::set<QByteArray> read; // parts read, by the name the package gives
    qint64 valueCells = 0;
    try {
        const Parts parts(package);
        auto text = [&](const QByteArray& name) {
            QByteArray b = parts.read(name);
            if (!b.isNull())
                b.chop(qsizetype(kPartEnd));
            return b;
        };
        const XlsxLayout layout = xlsxLayout(list, text);
        if (!layout.workbook)
            throw damaged(QStringLiteral("(ブックの部品がありません)"));
        if (layout.macros)
            ctx.leftOut.features.insert(QStringLiteral("マクロ"));

        orcus::xmlns_repository namespaces;
        namespaces.add_predefined_values(kNamespaces);

        // the workbook's relationships lead to its other parts
        const QByteArray bookRelations = names.actual(relationsOf(layout.workbookPart));
        Relationships rels{names, layout.workbookPart, {}, {}};
        readPart(parts, bookRelations, namespaces, rels);
        read.insert(bookRelations);

        WorkbookReader book(ctx, factory);
        readPart(parts, layout.workbookPart, namespaces, book);
        read.insert(layout.workbookPart);

        if (auto it = rels.byKind.find("styles"); it != rels.byKind.end()) {
            StylesReader styles(ctx, *static_cast<ImportStyles*>(factory.get_styles()));
            readPart(parts, it->second, namespaces, styles);
            read.insert(it->second);
        }
        if (auto it = rels.byKind.find("sharedStrings"); it != rels.byKind.end()) {
            StringsReader strings(ctx);
            readPart(parts, it->second, namespaces, strings);
            read.insert(it->second);
        }
        for (const SheetEntry& s : book.sheets) {
            auto it = rels.byId.find(s.relation);
            // the sheet names its part by the relationship's id, whatever
            // the relationship's type says
            if (it == rels.byId.end() || read.count(it->second.part))
                continue;
            SheetReader sheet(ctx, *s.sheet);
            readPart(parts, it->second.part, namespaces, sheet);
            sheet.finish();
            valueCells += sheet.valueCells;
            read.insert(it->second.part);
        }
        factory.finalize();

        // every other XML part is checked as the ones read are
        Unread unread;
        for (const PackageEntry& e : entries)
            if (isXmlName(e.name) && !read.count(e.name) && read.insert(e.name).second)
                readPart(parts, e.name, namespaces, unread, false);
        valueCells += unread.valueCells;
    } catch (const ZipDataError&) {
        throw damaged(QStringLiteral("(ZIP の部品が読めません)"));
    }
    return valueCells;
}

} // namespace tegaro::sheets
