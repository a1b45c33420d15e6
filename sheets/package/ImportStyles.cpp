#include "sheets/package/ImportStyles.h"

#include "sheets/numfmt/NumberFormat.h"

#include <cmath>

namespace tegaro::sheets {

namespace {

constexpr int kMaxFonts = 510; // font records an .xls workbook may have

QRgb argb(ss::color_elem_t, ss::color_elem_t r, ss::color_elem_t g, ss::color_elem_t b)
{
    return qRgb(r, g, b);
}

// Border lines as the .xls cell format numbers them.
quint8 borderStyle(ss::border_style_t s)
{
    using B = ss::border_style_t;
    switch (s) {
    case B::thin:
    case B::solid: return 1;
    case B::medium: return 2;
    case B::dashed:
    case B::fine_dashed: return 3;
    case B::dotted: return 4;
    case B::thick: return 5;
    case B::double_border:
    case B::double_thin: return 6;
    case B::hair: return 7;
    case B::medium_dashed: return 8;
    case B::dash_dot: return 9;
    case B::medium_dash_dot: return 10;
    case B::dash_dot_dot: return 11;
    case B::medium_dash_dot_dot: return 12;
    case B::slant_dash_dot: return 13;
    default: return 0;
    }
}

quint8 fillPattern(ss::fill_pattern_t p)
{
    using F = ss::fill_pattern_t;
    switch (p) {
    case F::solid: return 1;
    case F::medium_gray: return 2;
    case F::dark_gray: return 3;
    case F::light_gray: return 4;
    case F::dark_horizontal: return 5;
    case F::dark_vertical: return 6;
    case F::dark_down: return 7;
    case F::dark_up: return 8;
    case F::dark_grid: return 9;
    case F::dark_trellis: return 10;
    case F::light_horizontal: return 11;
    case F::light_vertical: return 12;
    case F::light_down: return 13;
    case F::light_up: return 14;
    case F::light_grid: return 15;
    case F::light_trellis: return 16;
    case F::gray_125: return 17;
    case F::gray_0625: return 18;
    default: return 0;
    }
}

QByteArray fontKey(const Font& f)
{
    return f.name.toUtf8() + '\0' + QByteArray::number(f.height) + ',' + QByteArray::number(f.options) + ','
        + QByteArray::number(f.color) + ',' + QByteArray::number(f.weight) + ',' + QByteArray::number(f.underline);
}

QByteArray formatKey(const CellFormat& f)
{
    QByteArray k;
    for (int v : {int(f.font), int(f.numberFormat), int(f.hAlign), int(f.vAlign), int(f.left.style), int(f.left.color),
                  int(f.right.style), int(f.right.color), int(f.top.style), int(f.top.color), int(f.bottom.style),
                  int(f.bottom.color), int(f.diagonal.style), int(f.diagonal.color), int(f.diagonalLines),
                  int(f.pattern), int(f.patternColor), int(f.backgroundColor)})
        k += QByteArray::number(v) + ',';
    return k;
}

int distance(QRgb a, QRgb b)
{
    const int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
    return dr * dr + dg * dg + db * db;
}

} // namespace

double toPoints(double value, orcus::length_unit_t unit)
{
    switch (unit) {
    case orcus::length_unit_t::inch: return value * 72;
    case orcus::length_unit_t::centimeter: return value * 72 / 2.54;
    case orcus::length_unit_t::millimeter: return value * 72 / 25.4;
    case orcus::length_unit_t::twip: return value / 20;
    case orcus::length_unit_t::pixel: return value * 0.75;
    default: return value;
    }
}

void ImportStyles::set_font_name(std::string_view s)
{
    font_.name = QString::fromUtf8(s.data(), qsizetype(s.size()));
}

void ImportStyles::set_font_underline(ss::underline_t e)
{
    using U = ss::underline_t;
    switch (e) {
    case U::none: font_.underline = 0; break;
    case U::double_line: font_.underline = Font::kDouble; break;
    case U::single_accounting: font_.underline = Font::kSingleAccounting; break;
    case U::double_accounting: font_.underline = Font::kDoubleAccounting; break;
    default: font_.underline = Font::kSingle; break;
    }
}

void ImportStyles::set_font_underline_type(ss::underline_type_t e)
{
    if (e == ss::underline_type_t::double_type && font_.underline)
        font_.underline = Font::kDouble;
}

void ImportStyles::set_font_color(ss::color_elem_t a, ss::color_elem_t r, ss::color_elem_t g, ss::color_elem_t b)
{
    font_.color = argb(a, r, g, b);
}

void ImportStyles::set_strikethrough_style(ss::strikethrough_style_t s)
{
    font_.strike = s != ss::strikethrough_style_t::none;
}

void ImportStyles::set_strikethrough_type(ss::strikethrough_type_t s)
{
    if (s == ss::strikethrough_type_t::none)
        font_.strike = false;
    else if (s != ss::strikethrough_type_t::unknown)
        font_.strike = true;
}

size_t ImportStyles::commit_font()
{
    ctx_.charge();
    fonts_.push_back(font_);
    font_ = FontSpec();
    return fonts_.size() - 1;
}

void ImportStyles::set_fill_pattern_type(ss::fill_pattern_t fp)
{
    fill_.pattern = fillPattern(fp);
}

void ImportStyles::set_fill_fg_color(ss::color_elem_t a, ss::color_elem_t r, ss::color_elem_t g, ss::color_elem_t b)
{
    fill_.foreground = argb(a, r, g, b);
}

void ImportStyles::set_fill_bg_color(ss::color_elem_t a, ss::color_elem_t r, ss::color_elem_t g, ss::color_elem_t b)
{
    fill_.background = argb(a, r, g, b);
}

size_t ImportStyles::commit_fill()
{
    ctx_.charge();
    if (fill_.pattern == 0 && fill_.foreground)
        fill_.pattern = 1; // a colour alone fills the cell
    fills_.push_back(fill_);
    fill_ = FillSpec();
    return fills_.size() - 1;
}

void ImportStyles::setBorderLine(ss::border_direction_t dir, const std::function<void(BorderSpec::Line&)>& set)
{
    using D = ss::border_direction_t;
    switch (dir) {
    case D::top: set(border_.top); break;
    case D::bottom: set(border_.bottom); break;
    case D::left: set(border_.left); break;
    case D::right: set(border_.right); break;
    case D::diagonal:
        set(border_.diagonal);
        border_.diagonalLines |= 3;
        break;
    case D::diagonal_tl_br:
        set(border_.diagonal);
        border_.diagonalLines |= 1;
        break;
    case D::diagonal_bl_tr:
        set(border_.diagonal);
        border_.diagonalLines |= 2;
        break;
    default: break;
    }
}

void ImportStyles::set_border_style(ss::border_direction_t dir, ss::border_style_t style)
{
    setBorderLine(dir, [&](BorderSpec::Line& l) { l.style = borderStyle(style); });
}

void ImportStyles::set_border_color(ss::border_direction_t dir, ss::color_elem_t a, ss::color_elem_t r,
                                    ss::color_elem_t g, ss::color_elem_t b)
{
    setBorderLine(dir, [&](BorderSpec::Line& l) { l.color = argb(a, r, g, b); });
}

void ImportStyles::set_border_width(ss::border_direction_t dir, double width, orcus::length_unit_t unit)
{
    // OpenDocument draws plain lines of a width; Excel has three weights
    const double points = toPoints(width, unit);
    setBorderLine(dir, [&](BorderSpec::Line& l) {
        if (l.style == 1 && points > 2.0)
            l.style = 5;
        else if (l.style == 1 && points > 1.0)
            l.style = 2;
    });
}

size_t ImportStyles::commit_border()
{
    ctx_.charge();
    borders_.push_back(border_);
    border_ = BorderSpec();
    return borders_.size() - 1;
}

void ImportStyles::set_number_format_code(std::string_view s)
{
    numberFormat_.code = QString::fromUtf8(s.data(), qsizetype(s.size()));
}

size_t ImportStyles::commit_number_format()
{
    ctx_.charge();
    numberFormats_.push_back(numberFormat_);
    if (numberFormat_.id)
        codesById_.try_emplace(*numberFormat_.id, numberFormat_.code);
    numberFormat_ = NumberFormatSpec();
    return numberFormats_.size() - 1;
}

void ImportStyles::set_xf_horizontal_alignment(ss::hor_alignment_t align)
{
    using H = ss::hor_alignment_t;
    switch (align) {
    case H::left: xf_.hAlign = 1; break;
    case H::center: xf_.hAlign = 2; break;
    case H::right: xf_.hAlign = 3; break;
    case H::filled: xf_.hAlign = 4; break;
    case H::justified: xf_.hAlign = 5; break;
    case H::distributed: xf_.hAlign = 7; break;
    default: xf_.hAlign = 0; break;
    }
}

void ImportStyles::set_xf_vertical_alignment(ss::ver_alignment_t align)
{
    using V = ss::ver_alignment_t;
    switch (align) {
    case V::top: xf_.vAlign = 0; break;
    case V::middle: xf_.vAlign = 1; break;
    case V::justified: xf_.vAlign = 3; break;
    case V::distributed: xf_.vAlign = 4; break;
    default: xf_.vAlign = 2; break;
    }
}

size_t ImportStyles::commit_cell_xf()
{
    ctx_.charge();
    cellXfs_.push_back(xf_);
    xf_ = XfSpec();
    return cellXfs_.size() - 1;
}

size_t ImportStyles::commit_cell_style_xf()
{
    ctx_.charge();
    xf_ = XfSpec();
    return styleXfs_++;
}

size_t ImportStyles::commit_dxf()
{
    ctx_.charge();
    xf_ = XfSpec();
    font_ = FontSpec();
    fill_ = FillSpec();
    border_ = BorderSpec();
    return dxfs_++;
}

Font ImportStyles::fontOf(const FontSpec& spec) const
{
    Font f = ctx_.book.fonts.isEmpty() ? Font() : ctx_.book.fonts.first();
    if (spec.name && !spec.name->isEmpty())
        f.name = spec.name->left(31);
    if (spec.size && *spec.size > 0)
        f.height = quint16(std::clamp(std::lround(*spec.size * 20), 20l, 8191l));
    f.weight = spec.bold ? Font::kBold : Font::kNormal;
    f.options = quint16((spec.italic ? Font::kItalic : 0) | (spec.strike ? Font::kStrike : 0));
    f.underline = spec.underline;
    f.color = spec.color ? colour(spec.color, 0) : Font::kAutomatic;
    return f;
}

quint16 ImportStyles::modelFont(const Font& font)
{
    QList<Font>& fonts = ctx_.book.fonts;
    if (font == fonts.first())
        return 0;
    const QByteArray key = fontKey(font);
    if (auto it = fontIndex_.find(key); it != fontIndex_.end())
        return it->second;
    if (fonts.size() >= kMaxFonts) {
        ++ctx_.leftOut.fonts;
        return 0;
    }
    fonts << font;
    return fontIndex_[key] = quint16(fonts.size() - 1);
}

quint8 ImportStyles::colour(const std::optional<QRgb>& rgb, quint8 automatic) const
{
    if (!rgb)
        return automatic;
    auto it = paletteIndex_.find(*rgb & 0xFFFFFF);
    return it == paletteIndex_.end() ? automatic : it->second;
}

quint16 ImportStyles::numberFormatOf(size_t index)
{
    QString code;
    if (ctx_.kind == PackageKind::Xlsx) {
        // cells name formats by number: the file's own codes from 164,
        // Excel's built-in ones below
        auto it = codesById_.find(index);
        if (it == codesById_.end())
            return index < 59 ? quint16(index) : 0;
        if (index < 164 && builtInFormat(int(index)) == it->second)
            return quint16(index);
        code = it->second;
    } else if (index < numberFormats_.size()) {
        code = numberFormats_[index].code;
    }
    return customNumberFormat(code);
}

quint16 ImportStyles::customNumberFormat(const QString& code)
{
    // A code the file spells out is kept as its own format even when it
    // reads like a built-in one: built-in numbers show differently in
    // other languages' Excel and LibreOffice.
    if (code.isEmpty() || code.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
        return 0;
    QMap<int, QString>& formats = ctx_.book.numberFormats;
    for (auto it = formats.begin(); it != formats.end(); ++it)
        if (it.key() >= 164 && *it == code)
            return quint16(it.key());
    const int next = formats.isEmpty() ? 164 : std::max(164, formats.lastKey() + 1);
    if (next > 0xFFFF)
        return 0;
    formats.insert(next, code);
    return quint16(next);
}

void ImportStyles::collectColours(const std::set<size_t>& usedXfs)
{
    std::vector<QRgb> wanted;
    std::set<QRgb> seen;
    auto want = [&](const std::optional<QRgb>& c) {
        if (c && seen.insert(*c & 0xFFFFFF).second)
            wanted.push_back(*c & 0xFFFFFF);
    };
    if (!fonts_.empty())
        want(fonts_.front().color);
    for (size_t x : usedXfs) {
        if (x >= cellXfs_.size())
            continue;
        const XfSpec& xf = cellXfs_[x];
        if (xf.font < fonts_.size())
            want(fonts_[xf.font].color);
        if (xf.fill < fills_.size()) {
            want(fills_[xf.fill].foreground);
            want(fills_[xf.fill].background);
        }
        if (xf.border < borders_.size())
            for (const auto* l : {&borders_[xf.border].left, &borders_[xf.border].right, &borders_[xf.border].top,
                                  &borders_[xf.border].bottom, &borders_[xf.border].diagonal})
                want(l->color);
    }
    for (const RunFormat& r : ctx_.runFormats) {
        want(r.color);
        if (r.font && *r.font < fonts_.size())
            want(fonts_[*r.font].color);
    }

    // Colours of the standard palette keep their place; the others take
    // the places of standard colours nobody uses, from the end; what does
    // not fit shows in the nearest colour.
    QList<QRgb> palette;
    for (int i = kFirstPaletteColor; i < kFirstPaletteColor + kPaletteColors; ++i)
        palette << (defaultPaletteColor(i) & 0xFFFFFF);
    std::vector<bool> taken(kPaletteColors, false);
    std::vector<QRgb> others;
    for (QRgb c : wanted) {
        const qsizetype i = palette.indexOf(c);
        if (i >= 0) {
            taken[size_t(i)] = true;
            paletteIndex_[c] = quint8(kFirstPaletteColor + i);
        } else {
            others.push_back(c);
        }
    }
    int slot = kPaletteColors - 1;
    std::vector<QRgb> nearest;
    for (QRgb c : others) {
        while (slot >= 0 && taken[size_t(slot)])
            --slot;
        if (slot < 0) {
            nearest.push_back(c);
            continue;
        }
        palette[slot] = c;
        taken[size_t(slot)] = true;
        paletteIndex_[c] = quint8(kFirstPaletteColor + slot);
    }
    for (QRgb c : nearest) {
        int best = 0;
        for (int i = 1; i < kPaletteColors; ++i)
            if (distance(palette[i], c) < distance(palette[best], c))
                best = i;
        paletteIndex_[c] = quint8(kFirstPaletteColor + best);
        ++ctx_.leftOut.colours;
    }
    if (!others.empty()) {
        ctx_.book.palette.clear();
        for (QRgb c : palette)
            ctx_.book.palette << (0xFF000000 | c);
    }
}

void ImportStyles::build(const std::set<size_t>& usedXfs)
{
    collectColours(usedXfs);
    // the first font is the workbook's standard font, the four first records
    Workbook& book = ctx_.book;
    if (!fonts_.empty()) {
        const Font standard = fontOf(fonts_.front());
        book.fonts = {standard, standard, standard, standard};
    }
    for (size_t x : usedXfs) {
        if (x >= cellXfs_.size())
            continue;
        const XfSpec& spec = cellXfs_[x];
        CellFormat f;
        if (spec.font < fonts_.size())
            f.font = modelFont(fontOf(fonts_[spec.font]));
        f.numberFormat = numberFormatOf(spec.numberFormat);
        f.hAlign = spec.hAlign;
        f.vAlign = spec.vAlign;
        if (spec.fill < fills_.size()) {
            const FillSpec& fill = fills_[spec.fill];
            f.pattern = fill.pattern;
            if (fill.pattern != 0) {
                f.patternColor = colour(fill.foreground, kAutomaticColor);
                f.backgroundColor = colour(fill.background, kBackgroundColor);
            }
        }
        if (spec.border < borders_.size()) {
            const BorderSpec& b = borders_[spec.border];
            const std::pair<Border*, const BorderSpec::Line*> lines[] = {
                {&f.left, &b.left}, {&f.right, &b.right}, {&f.top, &b.top}, {&f.bottom, &b.bottom}, {&f.diagonal, &b.diagonal}};
            for (const auto& [to, from] : lines)
                *to = Border{from->style, from->style ? colour(from->color, kAutomaticColor) : kAutomaticColor};
            f.diagonalLines = b.diagonal.style ? b.diagonalLines : 0;
        }
        if (f == CellFormat()) {
            cellFormats_[x] = kDefaultFormat;
            continue;
        }
        f.usedAttributes = CellFormat::kAllUsed;
        const QByteArray key = formatKey(f);
        if (auto it = formatIndex_.find(key); it != formatIndex_.end()) {
            cellFormats_[x] = it->second;
        } else if (book.formats.size() >= kMaxImportFormats) {
            ++ctx_.leftOut.formats;
            cellFormats_[x] = kDefaultFormat;
        } else {
            book.formats << f;
            cellFormats_[x] = formatIndex_[key] = quint16(book.formats.size() - 1);
        }
    }
    // the fonts of rich text runs
    for (const RunFormat& r : ctx_.runFormats) {
        Font f = r.font && *r.font < fonts_.size() ? fontOf(fonts_[*r.font]) : book.fonts.first();
        if (r.name)
            f.name = r.name->left(31);
        if (r.size && *r.size > 0)
            f.height = quint16(std::clamp(std::lround(*r.size * 20), 20l, 8191l));
        if (r.bold)
            f.weight = *r.bold ? Font::kBold : Font::kNormal;
        if (r.italic)
            f.options = quint16(*r.italic ? (f.options | Font::kItalic) : (f.options & ~Font::kItalic));
        if (r.color)
            f.color = colour(r.color, 0);
        runFonts_.push_back(modelFont(f));
    }
}

quint16 ImportStyles::cellFormat(size_t xf) const
{
    auto it = cellFormats_.find(xf);
    return it == cellFormats_.end() ? kDefaultFormat : it->second;
}

quint16 ImportStyles::fontOfRun(quint16 runFormat) const
{
    return runFormat < runFonts_.size() ? runFonts_[runFormat] : 0;
}

quint16 ImportStyles::withDateFormat(quint16 format, const QString& code)
{
    Workbook& book = ctx_.book;
    CellFormat f = book.format(format);
    if (isDateFormat(book.formatCode(f.numberFormat)))
        return format;
    auto [it, added] = dateFormats_.try_emplace({format, code}, 0);
    if (!added)
        return it->second;
    f.numberFormat = customNumberFormat(code);
    f.usedAttributes = CellFormat::kAllUsed;
    const QByteArray key = formatKey(f);
    if (auto known = formatIndex_.find(key); known != formatIndex_.end())
        return it->second = known->second;
    if (book.formats.size() >= kMaxImportFormats)
        return it->second = format;
    book.formats << f;
    return it->second = formatIndex_[key] = quint16(book.formats.size() - 1);
}

} // namespace tegaro::sheets
