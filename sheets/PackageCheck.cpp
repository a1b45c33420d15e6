#include "sheets/PackageCheck.h"

#include "sheets/CellReference.h"
#include "sheets/SheetErrors.h"
#include "sheets/ZipWriter.h"

#include <orcus/exception.hpp>
#include <orcus/orcus_ods.hpp>
#include <orcus/orcus_xlsx.hpp>
#include <orcus/sax_ns_parser.hpp>
#include <orcus/xml_namespace.hpp>
#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>

#include <QXmlStreamReader>
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

// A part as the package reader reads it: the data and one NUL byte after it.
std::vector<unsigned char> partBuffer(const orcus::zip_archive& archive, const QByteArray& name)
{
    std::vector<unsigned char> buf;
    if (!archive.read_file_entry(std::string_view(name.constData(), size_t(name.size())), buf))
        buf.clear();
    if (buf.empty())
        buf.push_back(0);
    return buf;
}

QByteArray partData(const orcus::zip_archive& archive, const QByteArray& name)
{
    const std::vector<unsigned char> buf = partBuffer(archive, name);
    return QByteArray(reinterpret_cast<const char*>(buf.data()), qsizetype(buf.size() - 1));
}

struct Edit {
    qsizetype at, length;
    QByteArray text;
};

constexpr std::string_view kSpreadsheetMl = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kOdfTable = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr std::string_view kOdfStyle = "urn:oasis:names:tc:opendocument:xmlns:style:1.0";
constexpr std::string_view kOdfOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";

std::string_view nsOf(orcus::xmlns_id_t ns)
{
    return ns ? std::string_view(ns) : std::string_view();
}

// Watches one part go through the reader's own parser: counts what would
// make the reader loop or allocate without bound, refuses what would make
// it fail an internal check, and notes the edits that mend the part.
class PartScanner {
public:
    PartScanner(PackageKind kind, const char* base) : kind_(kind), base_(base) {}

    void doctype(const orcus::sax::doctype_declaration&) {}
    void start_declaration(std::string_view) {}
    void end_declaration(std::string_view) {}
    void characters(std::string_view, bool) {}
    void attribute(std::string_view, std::string_view) {}
    void attribute(const orcus::sax_ns_parser_attribute& a) { attrs_.push_back(a); }

    void start_element(const orcus::sax_ns_parser_element& e)
    {
        if (kind_ == PackageKind::Xlsx)
            xlsxElement(e);
        else
            odsElement(e);
        attrs_.clear();
        stack_.push_back({nsOf(e.ns), e.name, family_});
    }

    void end_element(const orcus::sax_ns_parser_element& e)
    {
        if (cutDepth_ == qsizetype(stack_.size()) - 1) {
            edits.push_back({cutFrom_, e.end_pos - cutFrom_, {}});
            cutDepth_ = -1;
        }
        if (!stack_.empty())
            stack_.pop_back();
    }

    std::vector<Edit> edits;
    bool date1904 = false;

private:
    struct Open {
        std::string_view ns, name;
        std::string family; // of a style
    };

    const orcus::sax_ns_parser_attribute* find(std::string_view ns, std::string_view name) const
    {
        for (const auto& a : attrs_)
            if (a.name == name && nsOf(a.ns) == ns)
                return &a;
        return nullptr;
    }

    static qint64 number(const orcus::sax_ns_parser_attribute* a, qint64 otherwise)
    {
        if (!a)
            return otherwise;
        bool ok = false;
        const qint64 v = QByteArray(a->value.data(), qsizetype(a->value.size())).trimmed().toLongLong(&ok);
        return ok ? v : otherwise;
    }

    // Replaces an attribute's value where it stands in the part.
    void replaceValue(const orcus::sax_ns_parser_attribute& a, const char* text)
    {
        if (!a.transient)
            edits.push_back({a.value.data() - base_, qsizetype(a.value.size()), text});
    }

    // Leaves out the element that starts here, with all it holds.
    void cut(const orcus::sax_ns_parser_element& e)
    {
        if (cutDepth_ < 0) {
            cutDepth_ = qsizetype(stack_.size());
            cutFrom_ = e.begin_pos;
        }
    }

    void xlsxElement(const orcus::sax_ns_parser_element& e)
    {
        if (nsOf(e.ns) != kSpreadsheetMl)
            return;
        if (e.name == "rPh") {
            cut(e); // the reader would take the phonetic reading for the text itself
        } else if (e.name == "workbookPr") {
            // the reader counts every date from 1900; Mac workbooks count from 1904
            if (const auto* system = find({}, "date1904"))
                date1904 = system->value == "1" || system->value == "true";
        } else if (e.name == "col") {
            const qint64 first = number(find({}, "min"), 1), last = number(find({}, "max"), first);
            if (first < 1 || last < first || last > kGridColumns)
                throw damaged(QStringLiteral("(列の範囲 %1-%2)").arg(first).arg(last));
            columnSpans_ += last - first + 1;
            if (columnSpans_ > kMaxColumnSpans)
                throw tooLarge(QStringLiteral("列の設定"));
        } else if (e.name == "f") {
            const auto* type = find({}, "t");
            const auto* ref = find({}, "ref");
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
            if (const auto* hidden = find({}, "hidden")) {
                if (hidden->value == "true")
                    replaceValue(*hidden, "1");
                else if (hidden->value == "false")
                    replaceValue(*hidden, "0");
            }
        }
    }

    void odsElement(const orcus::sax_ns_parser_element& e)
    {
        const std::string_view ns = nsOf(e.ns);
        const Open* parent = stack_.empty() ? nullptr : &stack_.back();
        family_.clear();
        if (ns == kOdfStyle && e.name == "style") {
            if (const auto* family = find(kOdfStyle, "family"))
                family_ = family->value;
            // of two styles of one name, the reader keeps the first
            const auto* name = find(kOdfStyle, "name");
            if (name && parent && parent->ns == kOdfOffice && parent->name == "automatic-styles")
                families_.emplace(std::string(name->value), family_);
        } else if (ns == kOdfTable && e.name == "table-column") {
            // the reader takes a column's width from its style without
            // looking at what kind of style it is
            if (const auto* style = find(kOdfTable, "style-name")) {
                auto it = families_.find(std::string(style->value));
                if (it != families_.end() && it->second != "table-column")
                    throw damaged(QStringLiteral("(列のスタイル)"));
            }
        } else if (ns == kOdfStyle && (e.name == "table-column-properties" || e.name == "table-row-properties")) {
            // the reader keeps these in a place that only a style of the
            // matching family has
            const std::string_view wanted = e.name == "table-column-properties" ? "table-column" : "table-row";
            if (!parent || parent->ns != kOdfStyle || parent->name != "style" || parent->family != wanted)
                throw damaged(QStringLiteral("(スタイルの種類)"));
        } else if (ns == kOdfTable && e.name == "dde-links") {
            cut(e); // cached linked data: the reader fails on the tables inside
        } else if (ns == kOdfTable && e.name == "table") {
            rowsInTable_ = 0;
        } else if (ns == kOdfTable && e.name == "table-row") {
            const qint64 rows = number(find(kOdfTable, "number-rows-repeated"), 1);
            if (rows < 1 || rows > kMaxRowsRepeated)
                throw damaged(QStringLiteral("(行の繰り返し %1)").arg(rows));
            rowsInTable_ += rows;
            if (rowsInTable_ > kMaxRowsInTable)
                throw tooLarge(QStringLiteral("行数"));
        } else if (ns == kOdfTable && (e.name == "table-cell" || e.name == "covered-table-cell")) {
            const qint64 cells = number(find(kOdfTable, "number-columns-repeated"), 1);
            if (cells < 1 || cells > kGridColumns)
                throw damaged(QStringLiteral("(セルの繰り返し %1)").arg(cells));
            repeatedCells_ += cells;
            if (repeatedCells_ > kMaxRepeatedCells)
                throw tooLarge(QStringLiteral("セル数"));
            // the reader keeps the value of number cells only: percentages
            // and amounts of money would lose theirs
            if (const auto* type = find(kOdfOffice, "value-type"); type && (type->value == "percentage" || type->value == "currency"))
                replaceValue(*type, "float");
        }
    }

    PackageKind kind_;
    const char* base_;
    std::vector<orcus::sax_ns_parser_attribute> attrs_;
    std::vector<Open> stack_;
    std::string family_;
    std::map<std::string, std::string> families_;
    qsizetype cutDepth_ = -1;
    qsizetype cutFrom_ = 0;
    qint64 columnSpans_ = 0, repeatedCells_ = 0, rowsInTable_ = 0;
};

enum class PartText { NotXml, Utf8, Other };

// What the reader would make of a part: XML in UTF-8, XML in another
// encoding (it converts UTF-16), or no XML at all (pictures and such).
PartText partText(const QByteArray& data)
{
    if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF"))
        return PartText::Other;
    QByteArrayView rest(data);
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3);
    rest = rest.trimmed();
    return rest.startsWith('<') ? PartText::Utf8 : PartText::NotXml;
}

// The reader's parser checks its own state with assertions that end the
// program on some malformed XML, so a part goes to it only when Qt's
// parser finds it well-formed and not nested too deep.
void checkWellFormed(const QByteArray& data, const QByteArray& name)
{
    QXmlStreamReader xml(data);
    xml.setNamespaceProcessing(false); // the reader's own parser checks those
    int depth = 0;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement && ++depth > kMaxXmlDepth)
            throw tooLarge(QStringLiteral("入れ子の深さ"));
        if (token == QXmlStreamReader::EndElement)
            --depth;
    }
    if (xml.hasError())
        throw damaged(QStringLiteral("(部品「%1」%2 行 %3 桁: %4)")
                          .arg(QString::fromUtf8(name))
                          .arg(xml.lineNumber())
                          .arg(xml.columnNumber())
                          .arg(xml.errorString()));
}

struct ScannedPart {
    QByteArray mended; // null when no edit was needed
    bool date1904 = false;
};

// `buffer` holds the part and the NUL byte the reader parses after it.
ScannedPart scanPart(const std::vector<unsigned char>& buffer, const QByteArray& name, PackageKind kind)
{
    const char* begin = reinterpret_cast<const char*>(buffer.data());
    const QByteArray data = QByteArray::fromRawData(begin, qsizetype(buffer.size() - 1));
    const PartText text = partText(data);
    if (text == PartText::NotXml)
        return {}; // the reader fails on it at once if it ever tries
    checkWellFormed(data, name);
    if (text != PartText::Utf8)
        return {};
    const QByteArray terminated = QByteArray::fromRawData(begin, qsizetype(buffer.size()));
    PartScanner scanner(kind, terminated.constData());
    orcus::xmlns_repository namespaces;
    orcus::xmlns_context context = namespaces.create_context();
    try {
        orcus::sax_ns_parser<PartScanner> parser(terminated.constData(), size_t(terminated.size()), context, scanner);
        parser.parse();
    } catch (const orcus::general_error&) {
        // what Qt's parser accepts and this one does not, the reader refuses with an error of its own
    }
    if (scanner.edits.empty())
        return {{}, scanner.date1904};
    std::sort(scanner.edits.begin(), scanner.edits.end(), [](const Edit& a, const Edit& b) { return a.at < b.at; });
    QByteArray out;
    qsizetype from = 0;
    for (const Edit& e : scanner.edits) {
        if (e.at < from || e.at > data.size())
            continue; // inside a part already cut
        out += QByteArrayView(data).sliced(from, e.at - from);
        out += e.text;
        from = std::min(e.at + e.length, data.size());
    }
    out += QByteArrayView(data).sliced(from);
    return {out, scanner.date1904};
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

PreparedPackage preparePackage(const QByteArray& bytes, const QList<PackageEntry>& entries, PackageKind kind)
{
    orcus::zip_archive_stream_blob stream(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    orcus::zip_archive archive(&stream);
    PreparedPackage prepared{bytes};
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
            ScannedPart part = scanPart(partBuffer(archive, e.name), e.name, kind);
            prepared.date1904 = prepared.date1904 || part.date1904;
            if (!part.mended.isNull())
                mended.emplace(e.name, std::move(part.mended));
        }
        if (mended.empty())
            return prepared;
        QList<ZipPart> parts;
        for (const QByteArray& name : names) {
            auto it = mended.find(name);
            parts << ZipPart{name, it != mended.end() ? it->second : partData(archive, name)};
        }
        // OpenDocument wants its "mimetype" first
        std::stable_partition(parts.begin(), parts.end(), [](const ZipPart& p) { return p.name == "mimetype"; });
        prepared.bytes = writeZip(parts, false);
        return prepared;
    } catch (const orcus::zip_error&) {
        throw damaged(QStringLiteral("(ZIP の部品が読めません)"));
    }
}

} // namespace tegaro::sheets
