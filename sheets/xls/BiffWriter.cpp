#include "sheets/xls/BiffWriter.h"

#include "sheets/xls/BiffWriteContext.h"

namespace tegaro::sheets {

namespace {

void writeBof(RecordWriter& w, quint16 kind)
{
    ByteWriter b;
    b.u16(0x0600).u16(kind).u16(0x0DBB).u16(0x07CC).u32(0x000100C1).u32(0x00000406);
    w.add(0x0809, b);
}

void writeFont(RecordWriter& w, const Font& f)
{
    ByteWriter b;
    b.u16(f.height).u16(f.options).u16(f.color).u16(f.weight).u16(f.escapement);
    b.u8(f.underline).u8(f.family).u8(f.charset).u8(0);
    b.string(f.name, 1);
    w.add(0x0031, b);
}

void writeXf(RecordWriter& w, const CellFormat& f)
{
    ByteWriter b;
    b.u16(WriteContext::storedFont(f.font)).u16(f.numberFormat);
    b.u16(quint16((f.locked ? 0x01 : 0) | (f.hidden ? 0x02 : 0) | (f.isStyle ? 0x04 : 0)
                  | (f.prefix123 ? 0x08 : 0) | (f.parent << 4)));
    b.u8(quint8((f.hAlign & 0x07) | (f.wrap ? 0x08 : 0) | ((f.vAlign & 0x07) << 4) | (f.justLast ? 0x80 : 0)));
    b.u8(f.rotation);
    b.u8(quint8((f.indent & 0x0F) | (f.shrink ? 0x10 : 0) | ((f.readOrder & 0x03) << 6)));
    b.u8(quint8((f.usedAttributes & 0x3F) << 2));
    b.u32(quint32(f.left.style & 0x0F) | quint32(f.right.style & 0x0F) << 4 | quint32(f.top.style & 0x0F) << 8
          | quint32(f.bottom.style & 0x0F) << 12 | quint32(f.left.color & 0x7F) << 16
          | quint32(f.right.color & 0x7F) << 23 | quint32(f.diagonalLines & 0x03) << 30);
    b.u32(quint32(f.top.color & 0x7F) | quint32(f.bottom.color & 0x7F) << 7 | quint32(f.diagonal.color & 0x7F) << 14
          | quint32(f.diagonal.style & 0x0F) << 21 | quint32(f.pattern & 0x3F) << 26);
    b.u16(quint16((f.patternColor & 0x7F) | (f.backgroundColor & 0x7F) << 7));
    w.add(0x00E0, b);
}

// Print area tokens: one area in its sheet, or a union of several.
QByteArray printAreaTokens(const QList<Range>& areas, quint16 ref)
{
    ByteWriter areaBytes;
    for (int i = 0; i < areas.size(); ++i) {
        const Range& a = areas[i];
        areaBytes.u8(0x3B).u16(ref).u16(quint16(a.firstRow)).u16(quint16(a.lastRow));
        areaBytes.u16(quint16(a.firstCol)).u16(quint16(a.lastCol));
        if (i > 0)
            areaBytes.u8(0x10);
    }
    if (areas.size() == 1)
        return areaBytes.data;
    ByteWriter b;
    b.u8(0x29).u16(quint16(areaBytes.data.size())).bytes(areaBytes.data);
    return b.data;
}

void writeName(RecordWriter& w, const DefinedName& n)
{
    ByteWriter b;
    b.u16(n.options).u8(0).u8(quint8(std::min<qsizetype>(n.name.size(), 255)));
    b.u16(quint16(n.tokens.size())).u16(0).u16(quint16(n.sheet)).u32(0);
    const QString name = n.name.left(255);
    const bool wide = ByteWriter::needsWide(name);
    b.u8(wide ? 1 : 0).chars(name, wide).bytes(n.tokens);
    w.add(0x0018, b);
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
                n.tokens = QByteArray::fromHex("1c17"); // #REF!: the area is gone
        } else if (n.biff != 8 || (n.tokens.isEmpty() && !n.source.isEmpty())) {
            // #NAME?: Excel 95 tokens that did not carry over, or text that did not compile
            n.tokens = QByteArray::fromHex("1c1d");
        }
        names << n;
        areaFilled << filled;
    }
    for (int i = 0; i < book.sheets.size(); ++i) {
        if (hasArea[i] || book.sheets[i].page.printArea.isEmpty())
            continue;
        DefinedName n;
        n.name = QStringLiteral("\x06");
        n.options = 0x20;
        n.sheet = i + 1;
        names << n;
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
        b.u16(quint16(book.sheets.size())).u8(0x01).u8(0x04);
        links.books[self].record = b.data;
    }
    for (const LinkTable::Book& b : links.books) {
        w.add(0x01AE, b.record);
        for (const QByteArray& e : b.externNames)
            w.add(0x0023, e);
    }
    if (!links.books.isEmpty()) {
        ByteWriter b;
        const int count = int(std::min<qsizetype>(links.refs.size(), 1370)); // one record's worth
        b.u16(quint16(count));
        for (int i = 0; i < count; ++i)
            b.u16(links.refs[i].book).u16(quint16(links.refs[i].first)).u16(quint16(links.refs[i].last));
        w.add(0x0017, b);
    }
    for (const DefinedName& n : names)
        writeName(w, n);
}

} // namespace

QByteArray writeBiffStream(const Workbook& book)
{
    WriteContext ctx{book, {}};
    // The sheets first: they fill the shared strings the globals carry.
    QList<QByteArray> sheetStreams;
    for (int i = 0; i < book.sheets.size(); ++i)
        sheetStreams << writeSheetStream(ctx, book.sheets[i], i == book.activeSheet);

    RecordWriter w;
    writeBof(w, 0x0005);
    w.add(0x0042, ByteWriter().u16(1200));
    w.out += book.protection;
    {
        ByteWriter b;
        b.u16(0x0168).u16(0x001E).u16(0x3A5C).u16(0x2328).u16(book.windowOptions);
        b.u16(quint16(std::clamp<int>(book.activeSheet, 0, int(book.sheets.size()) - 1)));
        b.u16(quint16(std::clamp<int>(book.firstVisibleTab, 0, int(book.sheets.size()) - 1)));
        b.u16(1).u16(book.tabRatio);
        w.add(0x003D, b);
    }
    w.add(0x0040, ByteWriter().u16(0));
    w.add(0x0022, ByteWriter().u16(book.date1904 ? 1 : 0));
    w.add(0x000E, ByteWriter().u16(1));
    for (const Font& f : book.fonts)
        writeFont(w, f);
    for (auto it = book.numberFormats.begin(); it != book.numberFormats.end(); ++it) {
        ByteWriter b;
        b.u16(quint16(it.key())).string(*it, 2);
        w.add(0x041E, b);
    }
    for (const CellFormat& f : book.formats)
        writeXf(w, f);
    for (const CellStyle& s : book.styles) {
        ByteWriter b;
        b.u16(quint16((s.xf & 0x0FFF) | (s.builtIn ? 0x8000 : 0)));
        if (s.builtIn)
            b.u8(s.builtInId).u8(s.level);
        else
            b.string(s.name, 2);
        w.add(0x0293, b);
    }
    if (!book.palette.isEmpty()) {
        ByteWriter b;
        b.u16(56);
        for (int i = 8; i < 64; ++i) {
            const QRgb c = book.color(i);
            b.u8(quint8(qRed(c))).u8(quint8(qGreen(c))).u8(quint8(qBlue(c))).u8(0);
        }
        w.add(0x0092, b);
    }
    QList<qsizetype> positions;
    for (const Sheet& s : book.sheets) {
        positions << w.size() + 4;
        ByteWriter b;
        b.u32(0).u8(s.visibility).u8(0).string(s.name.left(31), 1);
        w.add(0x0085, b);
    }
    w.add(0x008C, ByteWriter().u16(81).u16(81)); // Japan
    writeLinksAndNames(w, book);
    ctx.strings.write(w);
    w.add(0x000A, QByteArray());

    for (int i = 0; i < sheetStreams.size(); ++i) {
        const quint32 at = quint32(w.out.size());
        qToLittleEndian<quint32>(at, w.out.data() + positions[i]);
        w.out += sheetStreams[i];
    }
    return w.out;
}

} // namespace tegaro::sheets
