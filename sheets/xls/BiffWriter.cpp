#include "sheets/xls/BiffWriter.h"

#include "sheets/xls/BiffWriteContext.h"
#include "sheets/formula/FormulaValue.h"

namespace tegaro::sheets {

namespace {

// Where the workbook's window opens and how large it is, in twips.
constexpr quint16 kWindowLeft = 0x0168, kWindowTop = 0x001E, kWindowWidth = 0x3A5C, kWindowHeight = 0x2328;
constexpr quint16 kCountryJapan = 81;
// As many sheet references as one EXTERNSHEET record holds.
constexpr int kRefsPerRecord = 1370;

void writeFont(RecordWriter& w, const Font& f)
{
    ByteWriter b;
    b.u16(f.height).u16(f.options).u16(f.color).u16(f.weight).u16(f.escapement);
    b.u8(f.underline).u8(f.family).u8(f.charset).u8(0);
    b.string(f.name, 1);
    w.add(rec::Font, b);
}

void writeXf(RecordWriter& w, const CellFormat& f)
{
    using namespace xf;
    ByteWriter b;
    b.u16(storedFontIndex(f.font)).u16(f.numberFormat);
    b.u16(quint16((f.locked ? Locked : 0) | (f.hidden ? Hidden : 0) | (f.isStyle ? Style : 0)
                  | (f.prefix123 ? Prefix123 : 0) | Parent.put(f.parent)));
    b.u8(quint8(HAlign.put(f.hAlign) | (f.wrap ? Wrap : 0) | VAlign.put(f.vAlign) | (f.justLast ? JustifyLast : 0)));
    b.u8(f.rotation);
    b.u8(quint8(Indent.put(f.indent) | (f.shrink ? Shrink : 0) | ReadOrder.put(f.readOrder)));
    b.u8(quint8(UsedAttributes.put(f.usedAttributes)));
    b.u32(LeftStyle.put(f.left.style) | RightStyle.put(f.right.style) | TopStyle.put(f.top.style)
          | BottomStyle.put(f.bottom.style) | LeftColor.put(f.left.color) | RightColor.put(f.right.color)
          | DiagonalLines.put(f.diagonalLines));
    b.u32(TopColor.put(f.top.color) | BottomColor.put(f.bottom.color) | DiagonalColor.put(f.diagonal.color)
          | DiagonalStyle.put(f.diagonal.style) | Pattern.put(f.pattern));
    b.u16(quint16(PatternColor.put(f.patternColor) | BackgroundColor.put(f.backgroundColor)));
    w.add(rec::Xf, b);
}

// Print area tokens: one area in its sheet, or a union of several.
QByteArray printAreaTokens(const QList<Range>& areas, quint16 ref)
{
    ByteWriter areaBytes;
    for (int i = 0; i < areas.size(); ++i) {
        const Range& a = areas[i];
        areaBytes.u8(ptg::Area3d).u16(ref).u16(quint16(a.firstRow)).u16(quint16(a.lastRow));
        areaBytes.u16(quint16(a.firstCol)).u16(quint16(a.lastCol));
        if (i > 0)
            areaBytes.u8(ptg::Union);
    }
    if (areas.size() == 1)
        return areaBytes.data;
    ByteWriter b;
    b.u8(ptg::MemFunc).u16(quint16(areaBytes.data.size())).bytes(areaBytes.data);
    return b.data;
}

// A name whose value is an error.
QByteArray errorTokens(int code)
{
    return ByteWriter().u8(ptg::Err).u8(quint8(code)).data;
}

void writeName(RecordWriter& w, const DefinedName& n)
{
    ByteWriter b;
    b.u16(n.options).u8(0).u8(quint8(std::min<qsizetype>(n.name.size(), 255)));
    b.u16(quint16(n.tokens.size())).u16(0).u16(quint16(n.sheet)).u32(0);
    const QString name = n.name.left(255);
    const bool wide = ByteWriter::needsWide(name);
    b.u8(wide ? str::Wide : 0).chars(name, wide).bytes(n.tokens);
    w.add(rec::Name, b);
}

// References and defined names: the stored ones unchanged, so formula
// tokens keep pointing where they did, and print areas made up afresh.
void writeLinksAndNames(RecordWriter& w, const Workbook& book)
{
    LinkTable links = book.links;
    // Every name keeps its place: formulas call names by number.
    QList<DefinedName> names;
    QList<bool> hasArea(book.sheets.size(), false);
    QList<bool> areaFilled;
    for (DefinedName n : book.names) {
        bool filled = false;
        if (n.isPrintArea()) {
            filled = n.sheet >= 1 && n.sheet <= book.sheets.size() && !hasArea[n.sheet - 1]
                && !book.sheets[n.sheet - 1].page.printArea.isEmpty();
            if (filled)
                hasArea[n.sheet - 1] = true;
            else
                n.tokens = errorTokens(err::Ref); // the area is gone
        } else if (n.biff != 8 || (n.tokens.isEmpty() && !n.source.isEmpty())) {
            // Excel 95 tokens that did not carry over, or text that did not compile
            n.tokens = errorTokens(err::Name);
        }
        names << n;
        areaFilled << filled;
    }
    for (int i = 0; i < book.sheets.size(); ++i) {
        if (hasArea[i] || book.sheets[i].page.printArea.isEmpty())
            continue;
        names << DefinedName::printArea(i + 1);
        areaFilled << true;
    }
    int self = -1;
    for (int i = 0; i < links.books.size(); ++i)
        if (links.books[i].self)
            self = i;
    auto refFor = [&](int sheet) {
        if (self < 0) {
            links.books.append({QByteArray(4, 0), {}, true});
            self = int(links.books.size() - 1);
        }
        for (int i = 0; i < links.refs.size(); ++i) {
            const LinkTable::Ref& r = links.refs[i];
            if (r.book == self && r.first == sheet && r.last == sheet)
                return quint16(i);
        }
        links.refs.append({quint16(self), qint16(sheet), qint16(sheet)});
        return quint16(links.refs.size() - 1);
    };
    for (int i = 0; i < names.size(); ++i)
        if (names[i].isPrintArea() && areaFilled[i])
            names[i].tokens = printAreaTokens(book.sheets[names[i].sheet - 1].page.printArea, refFor(names[i].sheet - 1));
    if (self >= 0) {
        ByteWriter b;
        b.u16(quint16(book.sheets.size())).u16(supbook::Self);
        links.books[self].record = b.data;
    }
    for (const LinkTable::Book& b : links.books) {
        w.add(rec::SupBook, b.record);
        for (const QByteArray& e : b.externNames)
            w.add(rec::ExternName, e);
    }
    if (!links.books.isEmpty()) {
        ByteWriter b;
        const int count = int(std::min<qsizetype>(links.refs.size(), kRefsPerRecord));
        b.u16(quint16(count));
        for (int i = 0; i < count; ++i)
            b.u16(links.refs[i].book).u16(quint16(links.refs[i].first)).u16(quint16(links.refs[i].last));
        w.add(rec::ExternSheet, b);
    }
    for (const DefinedName& n : names)
        writeName(w, n);
}

} // namespace

void writeBof(RecordWriter& w, quint16 kind)
{
    ByteWriter b;
    b.u16(bof::Biff8).u16(kind).u16(bof::Build).u16(bof::Year).u32(bof::History).u32(bof::LowestVersion);
    w.add(rec::Bof, b);
}

QByteArray writeBiffStream(const Workbook& book)
{
    WriteContext ctx{book, {}};
    // The sheets first: they fill the shared strings the globals carry.
    QList<QByteArray> sheetStreams;
    for (int i = 0; i < book.sheets.size(); ++i)
        sheetStreams << writeSheetStream(ctx, book.sheets[i], i == book.activeSheet);

    RecordWriter w;
    writeBof(w, bof::Globals);
    w.add(rec::CodePage, ByteWriter().u16(Workbook::kUnicodeCodePage));
    w.out += book.protection;
    {
        ByteWriter b;
        b.u16(kWindowLeft).u16(kWindowTop).u16(kWindowWidth).u16(kWindowHeight).u16(book.windowOptions);
        b.u16(quint16(std::clamp<int>(book.activeSheet, 0, int(book.sheets.size()) - 1)));
        b.u16(quint16(std::clamp<int>(book.firstVisibleTab, 0, int(book.sheets.size()) - 1)));
        b.u16(1).u16(book.tabRatio); // one sheet selected
        w.add(rec::Window1, b);
    }
    w.add(rec::Backup, ByteWriter().u16(0));
    w.add(rec::DateMode, ByteWriter().u16(book.date1904 ? 1 : 0));
    w.add(rec::Precision, ByteWriter().u16(1)); // full precision, not as shown
    for (const Font& f : book.fonts)
        writeFont(w, f);
    for (auto it = book.numberFormats.begin(); it != book.numberFormats.end(); ++it) {
        ByteWriter b;
        b.u16(quint16(it.key())).string(*it, 2);
        w.add(rec::Format, b);
    }
    for (const CellFormat& f : book.formats)
        writeXf(w, f);
    for (const CellStyle& s : book.styles) {
        ByteWriter b;
        b.u16(quint16((s.xf & style::XfBits) | (s.builtIn ? style::BuiltIn : 0)));
        if (s.builtIn)
            b.u8(s.builtInId).u8(s.level);
        else
            b.string(s.name, 2);
        w.add(rec::Style, b);
    }
    if (!book.palette.isEmpty()) {
        ByteWriter b;
        b.u16(kPaletteColors);
        for (int i = kFirstPaletteColor; i < kFirstPaletteColor + kPaletteColors; ++i) {
            const QRgb c = book.color(i);
            b.u8(quint8(qRed(c))).u8(quint8(qGreen(c))).u8(quint8(qBlue(c))).u8(0);
        }
        w.add(rec::Palette, b);
    }
    QList<qsizetype> positions;
    for (const Sheet& s : book.sheets) {
        positions << w.size() + 4;
        ByteWriter b;
        b.u32(0).u8(s.visibility).u8(boundsheet::Worksheet).string(s.name.left(31), 1);
        w.add(rec::BoundSheet, b);
    }
    w.add(rec::Country, ByteWriter().u16(kCountryJapan).u16(kCountryJapan));
    writeLinksAndNames(w, book);
    ctx.strings.write(w);
    w.add(rec::Eof, QByteArray());

    for (int i = 0; i < sheetStreams.size(); ++i) {
        const quint32 at = quint32(w.out.size());
        qToLittleEndian<quint32>(at, w.out.data() + positions[i]);
        w.out += sheetStreams[i];
    }
    return w.out;
}

} // namespace tegaro::sheets
