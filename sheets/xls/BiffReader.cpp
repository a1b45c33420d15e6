#include "sheets/xls/BiffReader.h"

#include "sheets/xls/BiffReadContext.h"
#include "sheets/formula/Formulas.h"
#include "sheets/model/SheetErrors.h"
#include "core/Cp932.h"

#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <memory>
#include <vector>

namespace tegaro::sheets {

namespace {

// Excel keeps at most a few thousand formats; a count far beyond that is
// a damaged file, and capping keeps memory bounded.
constexpr int kMaxFormats = 65536;

ByteDecoder decoderFor(quint16 codePage)
{
    if (codePage == 932)
        return [](QByteArrayView b) { return fromCp932(b); };
    if (codePage == Workbook::kUnicodeCodePage || codePage == 367 || codePage == 0)
        return [](QByteArrayView b) { return QString::fromLatin1(b.data(), b.size()); };
    const QByteArray name = (codePage == 0x8000 || codePage == 10000)
        ? QByteArray("macintosh")
        : "windows-" + QByteArray::number(codePage == 0x8001 ? 1252 : codePage);
    // one decoder for all the workbook's strings; each string stands alone
    auto decoder = std::make_shared<QStringDecoder>(name.constData(), QStringConverter::Flag::Stateless);
    return [decoder](QByteArrayView b) {
        return decoder->isValid() ? QString(decoder->decode(b)) : QString::fromLatin1(b.data(), b.size());
    };
}

// The part both dialects share: font, number format, protection, alignment.
CellFormat readXfHead(Cursor& c, int biff)
{
    using namespace xf;
    CellFormat f;
    f.font = fontIndexOf(c.u16());
    f.numberFormat = c.u16();
    const quint16 prot = c.u16();
    f.locked = prot & Locked;
    f.hidden = prot & Hidden;
    f.isStyle = prot & Style;
    f.prefix123 = prot & Prefix123;
    f.parent = quint16(Parent.get(prot));
    const quint16 align = biff == 8 ? c.u8() : c.u16();
    f.hAlign = quint8(HAlign.get(align));
    f.wrap = align & Wrap;
    f.vAlign = quint8(VAlign.get(align));
    f.justLast = align & JustifyLast;
    if (biff != 8) {
        static const quint8 rotations[] = {0, 255, 90, 180};
        f.rotation = rotations[Orientation5.get(align)];
        f.usedAttributes = quint8(UsedAttributes5.get(align));
    }
    return f;
}

CellFormat readXf8(Cursor& c)
{
    using namespace xf;
    CellFormat f = readXfHead(c, 8);
    f.rotation = c.u8();
    const quint8 indent = c.u8();
    f.indent = quint8(Indent.get(indent));
    f.shrink = indent & Shrink;
    f.readOrder = quint8(ReadOrder.get(indent));
    f.usedAttributes = quint8(UsedAttributes.get(c.u8()));
    const quint32 b1 = c.u32();
    f.left.style = quint8(LeftStyle.get(b1));
    f.right.style = quint8(RightStyle.get(b1));
    f.top.style = quint8(TopStyle.get(b1));
    f.bottom.style = quint8(BottomStyle.get(b1));
    f.left.color = quint8(LeftColor.get(b1));
    f.right.color = quint8(RightColor.get(b1));
    f.diagonalLines = quint8(DiagonalLines.get(b1));
    const quint32 b2 = c.u32();
    f.top.color = quint8(TopColor.get(b2));
    f.bottom.color = quint8(BottomColor.get(b2));
    f.diagonal.color = quint8(DiagonalColor.get(b2));
    f.diagonal.style = quint8(DiagonalStyle.get(b2));
    f.pattern = quint8(Pattern.get(b2));
    const quint16 fill = c.u16();
    f.patternColor = quint8(PatternColor.get(fill));
    f.backgroundColor = quint8(BackgroundColor.get(fill));
    return f;
}

CellFormat readXf5(Cursor& c)
{
    using namespace xf;
    CellFormat f = readXfHead(c, 5);
    const quint32 a = c.u32();
    f.patternColor = quint8(PatternColor5.get(a));
    f.backgroundColor = quint8(BackgroundColor5.get(a));
    f.pattern = quint8(Pattern5.get(a));
    f.bottom.style = quint8(BottomStyle5.get(a));
    f.bottom.color = quint8(BottomColor5.get(a));
    const quint32 b = c.u32();
    f.top.style = quint8(TopStyle5.get(b));
    f.left.style = quint8(LeftStyle5.get(b));
    f.right.style = quint8(RightStyle5.get(b));
    f.top.color = quint8(TopColor5.get(b));
    f.left.color = quint8(LeftColor5.get(b));
    f.right.color = quint8(RightColor5.get(b));
    return f;
}

struct PendingName {
    DefinedName name;
    bool printArea = false;
};

struct Bound {
    quint32 pos;
    quint8 state;
    quint8 kind;
    QString name;
};

// The records of the workbook globals, up to their EOF: one handler a record type.
class GlobalsReader {
public:
    explicit GlobalsReader(ReadContext& ctx) : ctx_(ctx), book_(ctx.book) {}
    // Returns true at the globals' EOF.
    bool record(const BiffRecord& r);

    QList<Bound> bounds;
    QList<PendingName> names;

    static const RecordHandler<GlobalsReader> kHandlers[];

private:
    bool b8() const { return ctx_.biff == 8; }
    void filePass(Cursor&, const BiffRecord&);
    void codePage(Cursor& c, const BiffRecord&);
    void dateMode(Cursor& c, const BiffRecord&) { book_.date1904 = c.u16() != 0; }
    void window1(Cursor& c, const BiffRecord&);
    void font(Cursor& c, const BiffRecord&);
    void format(Cursor& c, const BiffRecord&);
    void xf(Cursor& c, const BiffRecord&);
    void style(Cursor& c, const BiffRecord&);
    void palette(Cursor& c, const BiffRecord&);
    void boundSheet(Cursor& c, const BiffRecord&);
    void sst(Cursor& c, const BiffRecord&);
    void supBook(Cursor&, const BiffRecord& r);
    void externName(Cursor&, const BiffRecord& r);
    void externSheet(Cursor& c, const BiffRecord&);
    void name(Cursor& c, const BiffRecord&);
    void protection(Cursor&, const BiffRecord& r) { book_.protection += rawRecord(r); }

    ReadContext& ctx_;
    Workbook& book_;
};

constexpr RecordHandler<GlobalsReader> GlobalsReader::kHandlers[] = {
    {rec::Protect, &GlobalsReader::protection},
    {rec::Password, &GlobalsReader::protection},
    {rec::ExternSheet, &GlobalsReader::externSheet},
    {rec::Name, &GlobalsReader::name},
    {rec::WindowProtect, &GlobalsReader::protection},
    {rec::DateMode, &GlobalsReader::dateMode},
    {rec::ExternName, &GlobalsReader::externName},
    {rec::FilePass, &GlobalsReader::filePass},
    {rec::Font, &GlobalsReader::font},
    {rec::Window1, &GlobalsReader::window1},
    {rec::CodePage, &GlobalsReader::codePage},
    {rec::ObjProtect, &GlobalsReader::protection},
    {rec::BoundSheet, &GlobalsReader::boundSheet},
    {rec::Palette, &GlobalsReader::palette},
    {rec::ScenProtect, &GlobalsReader::protection},
    {rec::Xf, &GlobalsReader::xf},
    {rec::Sst, &GlobalsReader::sst},
    {rec::SupBook, &GlobalsReader::supBook},
    {rec::Style, &GlobalsReader::style},
    {rec::Format, &GlobalsReader::format},
};
static_assert(sortedByType(GlobalsReader::kHandlers));

bool GlobalsReader::record(const BiffRecord& r)
{
    if (r.type == rec::Eof)
        return true;
    dispatchRecord(*this, kHandlers, r);
    return false;
}

void GlobalsReader::filePass(Cursor&, const BiffRecord&)
{
    throw EEncryptedWorkbook(QStringLiteral("パスワードで保護されたブックは読めません。"));
}

void GlobalsReader::codePage(Cursor& c, const BiffRecord&)
{
    book_.codePage = c.u16();
    if (!b8())
        ctx_.decode = decoderFor(book_.codePage);
}

void GlobalsReader::window1(Cursor& c, const BiffRecord&)
{
    c.skip(8);
    book_.windowOptions = c.u16();
    book_.activeSheet = c.u16();
    book_.firstVisibleTab = c.u16();
    c.u16();
    book_.tabRatio = c.u16();
}

void GlobalsReader::font(Cursor& c, const BiffRecord&)
{
    if (book_.fonts.size() >= kMaxFormats)
        return;
    Font f;
    f.height = c.u16();
    f.options = c.u16();
    f.color = c.u16();
    f.weight = c.u16();
    f.escapement = c.u16();
    f.underline = c.u8();
    f.family = c.u8();
    f.charset = c.u8();
    c.u8();
    f.name = ctx_.shortString(c);
    book_.fonts << f;
}

void GlobalsReader::format(Cursor& c, const BiffRecord&)
{
    const quint16 index = c.u16();
    book_.numberFormats.insert(index, b8() ? c.unicodeString(2).text : c.byteString(1, ctx_.decode));
}

void GlobalsReader::xf(Cursor& c, const BiffRecord&)
{
    if (book_.formats.size() < kMaxFormats)
        book_.formats << (b8() ? readXf8(c) : readXf5(c));
}

void GlobalsReader::style(Cursor& c, const BiffRecord&)
{
    if (book_.styles.size() >= kMaxFormats)
        return;
    CellStyle s;
    const quint16 x = c.u16();
    s.xf = x & style::XfBits;
    s.builtIn = x & style::BuiltIn;
    if (s.builtIn) {
        s.builtInId = c.u8();
        s.level = c.u8();
    } else {
        s.name = b8() ? c.unicodeString(2).text : c.byteString(1, ctx_.decode);
    }
    book_.styles << s;
}

void GlobalsReader::palette(Cursor& c, const BiffRecord&)
{
    const int count = std::min<int>(c.u16(), kPaletteColors);
    book_.palette.clear();
    for (int i = 0; i < count; ++i) {
        const quint32 v = c.u32();
        book_.palette << qRgb(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
    }
}

void GlobalsReader::boundSheet(Cursor& c, const BiffRecord&)
{
    Bound b;
    b.pos = c.u32();
    b.state = c.u8();
    b.kind = c.u8();
    b.name = ctx_.shortString(c);
    bounds << b;
}

void GlobalsReader::sst(Cursor& c, const BiffRecord&)
{
    c.u32();
    const quint32 unique = c.u32();
    // each string takes at least three bytes, so the count cannot ask for more room than that
    const qsizetype room = std::min<qsizetype>(unique, c.left() / 3);
    ctx_.sst.reserve(room);
    ctx_.sstRuns.reserve(room);
    for (quint32 i = 0; i < unique && c.left() > 0; ++i) {
        Cursor::Rich s = c.unicodeString(2, true);
        ctx_.sst << s.text;
        QList<RichRun> runs;
        runs.reserve(s.runs.size());
        for (const auto& [first, font] : s.runs)
            runs << RichRun{first, fontIndexOf(font)};
        ctx_.sstRuns << runs;
    }
}

void GlobalsReader::supBook(Cursor&, const BiffRecord& r)
{
    LinkTable::Book b;
    b.record = r.data;
    b.self = r.data.size() == 4 && qFromLittleEndian<quint16>(r.data.constData() + 2) == supbook::Self;
    book_.links.books << b;
}

void GlobalsReader::externName(Cursor&, const BiffRecord& r)
{
    if (!book_.links.books.isEmpty())
        book_.links.books.last().externNames << r.data;
}

void GlobalsReader::externSheet(Cursor& c, const BiffRecord&)
{
    if (!b8())
        return;
    const int count = c.u16();
    for (int i = 0; i < count && c.left() >= 6; ++i) {
        LinkTable::Ref ref;
        ref.book = c.u16();
        ref.first = qint16(c.u16());
        ref.last = qint16(c.u16());
        book_.links.refs << ref;
    }
}

void GlobalsReader::name(Cursor& c, const BiffRecord&)
{
    PendingName p;
    p.name.options = c.u16();
    c.u8();
    const quint8 length = c.u8();
    const quint16 size = c.u16();
    c.u16();
    p.name.sheet = c.u16();
    c.skip(4);
    if (b8())
        p.name.name = c.unicodeChars(length, c.u8());
    else
        p.name.name = ctx_.decode(c.bytes(length));
    p.name.tokens = c.bytes(size);
    p.name.biff = ctx_.biff;
    p.printArea = p.name.isPrintArea();
    names << p;
}

} // namespace

QString ReadContext::shortString(Cursor& c) const
{
    return biff == 8 ? c.unicodeString(1).text : c.byteString(1, decode);
}

QString ReadContext::longString(Cursor& c) const
{
    return biff == 8 ? c.unicodeString(2).text : c.byteString(2, decode);
}

namespace {

// The whole book, or with `only` set the globals and that worksheet's cells
// handed to the sink.
Workbook readStream(const QByteArray& stream, int only, const CellSink* sink)
{
    RecordStream records(stream);
    if (records.atEnd())
        throw ENotAWorkbook(QStringLiteral("Excel のブックではありません。"));
    const quint16 firstType = records.peekType();
    if (firstType == rec::Bof2 || firstType == rec::Bof3 || firstType == rec::Bof4)
        throw ENotAWorkbook(QStringLiteral("Excel 4.0 以前の形式のブックは読めません。"));
    if (firstType != rec::Bof)
        throw ENotAWorkbook(QStringLiteral("Excel のブックではありません。"));
    BiffRecord bof = records.next();
    Cursor bc(bof);
    const quint16 version = bc.u16();
    const quint16 kind = bc.u16();
    if (kind != bof::Globals)
        throw ENotAWorkbook(QStringLiteral("ブックの全体情報がありません。"));

    Workbook book;
    book.sheets.clear();
    book.fonts.clear();
    book.formats.clear();
    book.styles.clear();
    ReadContext ctx{book, version >= bof::Biff8 ? 8 : 5, decoderFor(1252), {}, {}, {}};
    book.biffVersion = ctx.biff;
    book.codePage = ctx.biff == 8 ? Workbook::kUnicodeCodePage : 1252;

    GlobalsReader globals(ctx);
    bool ended = false;
    while (!records.atEnd() && !ended)
        ended = globals.record(records.next());
    if (!ended)
        throw ECorruptWorkbook(QStringLiteral("ブックが途中で切れています。"));

    // Sheets are read in stream order, each after the end of the one before,
    // so that damaged positions cannot make us read the same bytes twice.
    const QList<Bound>& bounds = globals.bounds;
    QList<int> order;
    for (int i = 0; i < bounds.size(); ++i) {
        ctx.sheetOfTab << -1; // charts and macro sheets are not kept
        if (bounds[i].kind == boundsheet::Worksheet)
            order << i;
    }
    if (order.size() > 4096)
        throw ECorruptWorkbook(QStringLiteral("ブックのシートが多すぎます。"));
    if (only >= order.size())
        throw ESheetError(QStringLiteral("ブックにシート %1 はありません。").arg(only + 1));
    if (only >= 0)
        order = {order[only]};
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return bounds[a].pos < bounds[b].pos; });
    std::vector<Sheet> read(bounds.size());
    qsizetype end = records.position();
    for (int i : order) {
        const Bound& b = bounds[i];
        if (b.pos >= quint32(stream.size()) || qsizetype(b.pos) < end)
            throw ECorruptWorkbook(QStringLiteral("シート「%1」の位置が壊れています。").arg(b.name));
        read[i].name = b.name;
        read[i].visibility = b.state & boundsheet::StateBits;
        records.seek(b.pos);
        ctx.sink = sink;
        readSheetStream(ctx, records, read[i]);
        ctx.sink = nullptr;
        end = records.position();
    }
    for (int i = 0; i < bounds.size(); ++i) {
        if (bounds[i].kind != boundsheet::Worksheet)
            continue;
        ctx.sheetOfTab[i] = int(book.sheets.size());
        book.sheets << std::move(read[i]);
    }
    if (book.sheets.isEmpty())
        throw ENotAWorkbook(QStringLiteral("ブックにワークシートがありません。"));

    // Names stay in their order, print areas too: formula tokens count them.
    for (PendingName& p : globals.names) {
        const int tab = p.name.sheet;
        p.name.sheet = tab >= 1 && tab <= ctx.sheetOfTab.size() && ctx.sheetOfTab[tab - 1] >= 0
            ? ctx.sheetOfTab[tab - 1] + 1
            : 0;
        if (p.printArea) {
            int tokenTab = -1; // 0-based sheet in Excel 95 tokens
            const QList<Range> areas = nameAreas(p.name.tokens, ctx.biff, &tokenTab);
            int index = p.name.sheet - 1;
            if (index < 0 && tokenTab >= 0 && tokenTab < ctx.sheetOfTab.size())
                index = ctx.sheetOfTab[tokenTab];
            if (index >= 0) {
                p.name.sheet = index + 1;
                book.sheets[index].page.printArea = areas;
            }
        }
        book.names << p.name; // every name, so that formulas' name numbers stay right
    }
    if (book.fonts.isEmpty())
        book.fonts << Font();
    if (book.formats.isEmpty())
        book.formats = Workbook().formats;
    // Active tab counted among all sheets; keep it within the worksheets we hold.
    if (book.activeSheet >= 0 && book.activeSheet < ctx.sheetOfTab.size() && ctx.sheetOfTab[book.activeSheet] >= 0)
        book.activeSheet = ctx.sheetOfTab[book.activeSheet];
    else
        book.activeSheet = 0;
    if (book.firstVisibleTab >= book.sheets.size())
        book.firstVisibleTab = 0;
    if (!sink)
        prepareFormulas(ctx);
    return book;
}

} // namespace

Workbook readBiffStream(const QByteArray& stream)
{
    return readStream(stream, -1, nullptr);
}

Workbook readBiffCells(const QByteArray& stream, int sheet, const CellSink& sink)
{
    return readStream(stream, std::max(sheet, 0), &sink);
}

} // namespace tegaro::sheets
