#include "sheets/PackageCheck.h"

#include "sheets/CellReference.h"
#include "sheets/SheetErrors.h"
#include "sheets/ZipWriter.h"

#include <orcus/exception.hpp>
#include <orcus/orcus_ods.hpp>
#include <orcus/orcus_xlsx.hpp>
#include <orcus/sax_parser.hpp>
#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>

#include <QtEndian>

#include <algorithm>
#include <map>
#include <set>
#include <string_view>
#include <vector>

namespace tegaro::sheets {

namespace {

// Limits on the work the reader does for repeat counts and column spans.
constexpr qint64 kMaxRepeatedCells = 256ll << 20;  // cells stepped over in one part
constexpr qint64 kMaxRowsInTable = 1ll << 30;      // rows counted in one table
constexpr qint64 kMaxColumnSpans = 1ll << 20;      // columns named by <col> elements of one part
constexpr qint64 kMaxArrayCells = 1ll << 20;       // cells of one array formula
constexpr qint64 kMaxRowsRepeated = 1ll << 24;     // the largest sheets LibreOffice makes

ECorruptWorkbook damaged(const QString& detail = {})
{
    return ECorruptWorkbook(QStringLiteral("ブックのファイルが壊れています。") + detail);
}

ECorruptWorkbook tooLarge(const QString& what)
{
    return ECorruptWorkbook(QStringLiteral("ブックの%1が大きすぎるため読み込めません。").arg(what));
}

quint32 u32(const QByteArray& b, qsizetype at) { return qFromLittleEndian<quint32>(b.constData() + at); }
quint16 u16(const QByteArray& b, qsizetype at) { return qFromLittleEndian<quint16>(b.constData() + at); }

// The end record of the directory, found the way the package reader finds
// it, so that the entries checked here are the ones it will read: searched
// backwards in blocks of 65,557 bytes, a match restarting on a wrong byte
// and never spanning two blocks, and never at offset 0.
qsizetype findEndRecord(const QByteArray& b)
{
    static const quint8 magic[4] = {0x06, 0x05, 0x4B, 0x50}; // "PK\5\6" read backwards
    constexpr qsizetype block = 22 + 0xFFFF;
    qsizetype end = b.size();
    while (end > 0) {
        const qsizetype begin = end - std::min(block, end);
        int matched = 0;
        for (qsizetype i = end - 1; i >= begin; --i) {
            if (quint8(b[i]) != magic[matched]) {
                matched = 0;
            } else if (++matched == 4) {
                return i;
            }
        }
        end = begin;
    }
    return 0;
}

// A part as the package reader hands it out: it adds one byte after the data.
QByteArray partData(const orcus::zip_archive& archive, const QByteArray& name)
{
    std::vector<unsigned char> buf;
    if (!archive.read_file_entry(std::string_view(name.constData(), size_t(name.size())), buf) || buf.empty())
        return {};
    return QByteArray(reinterpret_cast<const char*>(buf.data()), qsizetype(buf.size() - 1));
}

struct Edit {
    qsizetype at, length;
    QByteArray text;
};

// Watches one part go through the parser: counts what would make the reader
// loop or allocate without bound, and notes the edits that mend the part.
class PartScanner {
public:
    PartScanner(PackageKind kind, const char* base) : kind_(kind), base_(base) {}

    void doctype(const orcus::sax::doctype_declaration&) {}
    void start_declaration(std::string_view) {}
    void end_declaration(std::string_view) {}
    void characters(std::string_view, bool) {}
    void attribute(const orcus::sax::parser_attribute& a) { attrs_.push_back(a); }

    void start_element(const orcus::sax::parser_element& e)
    {
        if (++depth_ > kMaxXmlDepth)
            throw tooLarge(QStringLiteral("入れ子の深さ"));
        if (kind_ == PackageKind::Xlsx)
            xlsxElement(e);
        else
            odsElement(e);
        attrs_.clear();
    }

    void end_element(const orcus::sax::parser_element& e)
    {
        if (cutDepth_ == depth_ && e.name == "rPh") {
            edits.push_back({cutFrom_, e.end_pos - cutFrom_, {}});
            cutDepth_ = -1;
        }
        --depth_;
    }

    std::vector<Edit> edits;

private:
    const orcus::sax::parser_attribute* find(std::string_view name) const
    {
        for (const auto& a : attrs_)
            if (a.name == name)
                return &a;
        return nullptr;
    }

    static qint64 number(const orcus::sax::parser_attribute* a, qint64 otherwise)
    {
        if (!a)
            return otherwise;
        bool ok = false;
        const qint64 v = QByteArray(a->value.data(), qsizetype(a->value.size())).trimmed().toLongLong(&ok);
        return ok ? v : otherwise;
    }

    // Replaces an attribute's value where it stands in the part.
    void replaceValue(const orcus::sax::parser_attribute& a, const char* text)
    {
        if (!a.transient)
            edits.push_back({a.value.data() - base_, qsizetype(a.value.size()), text});
    }

    void xlsxElement(const orcus::sax::parser_element& e)
    {
        if (e.name == "rPh" && cutDepth_ < 0) {
            // the reader would take the phonetic reading for the text itself
            cutDepth_ = depth_;
            cutFrom_ = e.begin_pos;
        } else if (e.name == "col") {
            const qint64 first = number(find("min"), 1), last = number(find("max"), first);
            if (first < 1 || last < first || last > kGridColumns)
                throw damaged(QStringLiteral("(列の範囲 %1-%2)").arg(first).arg(last));
            columnSpans_ += last - first + 1;
            if (columnSpans_ > kMaxColumnSpans)
                throw tooLarge(QStringLiteral("列の設定"));
        } else if (e.name == "f") {
            const auto* type = find("t");
            const auto* ref = find("ref");
            if (type && type->value == "array" && ref) {
                const auto areas = parseAreas(QString::fromUtf8(ref->value.data(), qsizetype(ref->value.size())));
                if (areas && !areas->isEmpty()) {
                    const Range& r = areas->first().range;
                    if (qint64(r.lastRow - r.firstRow + 1) * (r.lastCol - r.firstCol + 1) > kMaxArrayCells)
                        throw tooLarge(QStringLiteral("配列数式"));
                }
            }
        }
        if (e.name == "row" || e.name == "col") {
            // the reader reads "true" as 0: hidden rows and columns written so would show
            if (const auto* hidden = find("hidden")) {
                if (hidden->value == "true")
                    replaceValue(*hidden, "1");
                else if (hidden->value == "false")
                    replaceValue(*hidden, "0");
            }
        }
    }

    void odsElement(const orcus::sax::parser_element& e)
    {
        if (e.name == "table") {
            rowsInTable_ = 0;
        } else if (e.name == "table-row") {
            const qint64 rows = number(find("number-rows-repeated"), 1);
            if (rows < 1 || rows > kMaxRowsRepeated)
                throw damaged(QStringLiteral("(行の繰り返し %1)").arg(rows));
            rowsInTable_ += rows;
            if (rowsInTable_ > kMaxRowsInTable)
                throw tooLarge(QStringLiteral("行数"));
        } else if (e.name == "table-cell" || e.name == "covered-table-cell") {
            const qint64 cells = number(find("number-columns-repeated"), 1);
            if (cells < 1 || cells > kGridColumns)
                throw damaged(QStringLiteral("(セルの繰り返し %1)").arg(cells));
            repeatedCells_ += cells;
            if (repeatedCells_ > kMaxRepeatedCells)
                throw tooLarge(QStringLiteral("セル数"));
            // the reader keeps the value of number cells only: percentages
            // and amounts of money would lose theirs
            if (const auto* type = find("value-type"); type && (type->value == "percentage" || type->value == "currency"))
                replaceValue(*type, "float");
        }
    }

    PackageKind kind_;
    const char* base_;
    std::vector<orcus::sax::parser_attribute> attrs_;
    int depth_ = 0;
    int cutDepth_ = -1;
    qsizetype cutFrom_ = 0;
    qint64 columnSpans_ = 0, repeatedCells_ = 0, rowsInTable_ = 0;
};

// The part with the edits made, or nothing when no edit was needed.
QByteArray scanPart(const QByteArray& data, PackageKind kind)
{
    if (!data.trimmed().startsWith('<'))
        return {}; // pictures and such: no XML, the reader fails on them at once if it ever tries
    PartScanner scanner(kind, data.constData());
    try {
        orcus::sax_parser<PartScanner> parser(data.constData(), size_t(data.size()), scanner);
        parser.parse();
    } catch (const orcus::general_error&) {
        // malformed XML: the reader stops at the same place with an error of its own
    }
    if (scanner.edits.empty())
        return {};
    std::sort(scanner.edits.begin(), scanner.edits.end(), [](const Edit& a, const Edit& b) { return a.at < b.at; });
    QByteArray out;
    qsizetype from = 0;
    for (const Edit& e : scanner.edits) {
        if (e.at < from)
            continue; // inside a part already cut
        out += QByteArrayView(data).sliced(from, e.at - from);
        out += e.text;
        from = e.at + e.length;
    }
    out += QByteArrayView(data).sliced(std::min(from, data.size()));
    return out;
}

} // namespace

bool looksLikeZip(const QByteArray& bytes)
{
    return bytes.startsWith("PK\x03\x04") || bytes.startsWith("PK\x05\x06");
}

QList<PackageEntry> checkPackageDirectory(const QByteArray& b)
{
    const qsizetype end = findEndRecord(b);
    if (end <= 0 || end + 22 > b.size())
        throw damaged(QStringLiteral("(ZIP の目次がありません)"));
    qsizetype at = u32(b, end + 16);
    QList<PackageEntry> entries;
    qint64 total = 0;
    while (at >= 0 && at + 4 <= b.size() && u32(b, at) == 0x02014B50) {
        if (at + 46 > b.size())
            throw damaged(QStringLiteral("(ZIP の目次が途中で切れています)"));
        if (entries.size() >= kMaxParts)
            throw tooLarge(QStringLiteral("部品の数"));
        const quint16 method = u16(b, at + 10);
        PackageEntry e;
        e.packed = u32(b, at + 20);
        e.size = method == 0 ? e.packed : qint64(u32(b, at + 24));
        const qsizetype nameLength = u16(b, at + 28);
        const qsizetype next = at + 46 + nameLength + u16(b, at + 30) + u16(b, at + 32);
        if (next > b.size())
            throw damaged(QStringLiteral("(ZIP の目次が途中で切れています)"));
        e.name = b.mid(at + 46, nameLength);
        // the reader sets aside the packed size before it looks further
        if (e.packed > b.size())
            throw damaged(QStringLiteral("(部品「%1」の大きさ)").arg(QString::fromUtf8(e.name)));
        if (method == 0 || method == 8) {
            if (e.size > kMaxPartSize)
                throw tooLarge(QStringLiteral("部品「%1」").arg(QString::fromUtf8(e.name)));
            total += e.size;
            if (total > kMaxPackageSize)
                throw tooLarge(QStringLiteral("展開後の大きさ"));
        }
        entries << e;
        at = next;
    }
    if (entries.isEmpty())
        throw damaged(QStringLiteral("(ZIP の目次が空です)"));
    return entries;
}

PackageKind packageKind(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    try {
        if (orcus::orcus_xlsx::detect(data, size_t(bytes.size())))
            return PackageKind::Xlsx;
        if (orcus::orcus_ods::detect(data, size_t(bytes.size())))
            return PackageKind::Ods;
    } catch (const std::exception&) {
        throw damaged(QStringLiteral("(内容の一覧が読めません)"));
    }
    throw ENotAWorkbook(QStringLiteral("Excel (.xls, .xlsx) や OpenDocument (.ods) のブックではありません。"));
}

QByteArray preparePackage(const QByteArray& bytes, const QList<PackageEntry>& entries, PackageKind kind)
{
    orcus::zip_archive_stream_blob stream(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    orcus::zip_archive archive(&stream);
    std::map<QByteArray, QByteArray> mended;
    QList<QByteArray> names;
    try {
        archive.load();
        std::set<QByteArray> seen; // the reader takes the first of two equal names
        for (const PackageEntry& e : entries) {
            if (!seen.insert(e.name).second || e.name.endsWith('/'))
                continue;
            names << e.name;
            // one part in memory at a time
            QByteArray fixed = scanPart(partData(archive, e.name), kind);
            if (!fixed.isNull())
                mended.emplace(e.name, std::move(fixed));
        }
        if (mended.empty())
            return bytes;
        QList<ZipPart> parts;
        for (const QByteArray& name : names) {
            auto it = mended.find(name);
            parts << ZipPart{name, it != mended.end() ? it->second : partData(archive, name)};
        }
        // OpenDocument wants its "mimetype" first
        std::stable_partition(parts.begin(), parts.end(), [](const ZipPart& p) { return p.name == "mimetype"; });
        return writeZip(parts, false);
    } catch (const orcus::zip_error&) {
        throw damaged(QStringLiteral("(ZIP の部品が読めません)"));
    }
}

} // namespace tegaro::sheets
