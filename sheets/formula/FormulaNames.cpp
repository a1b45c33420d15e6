#include "sheets/formula/FormulaNames.h"

#include "sheets/biff/BiffFormat.h"
#include "sheets/biff/BiffRecords.h"
#include "sheets/biff/ByteWriter.h"
#include "sheets/formula/FormulaValue.h"
#include "sheets/model/SheetErrors.h"

namespace tegaro::sheets {

namespace {

const char* const kBuiltInNames[] = {
    "Consolidate_Area",
    "Auto_Open",
    "Auto_Close",
    "Extract",
    "Database",
    "Criteria",
    "Print_Area",
    "Print_Titles",
    "Recorder",
    "Data_Form",
    "Auto_Activate",
    "Auto_Deactivate",
    "Sheet_Title",
    "_FilterDatabase",
};

// Strings of a SUPBOOK record: the workbook's path, then its sheet names.
QStringList supBookStrings(const QByteArray& record)
{
    QStringList out;
    BiffRecord r;
    r.data = record;
    Cursor c(r);
    try {
        const int sheets = c.u16();
        if (c.left() < 3)
            return out;
        out << c.unicodeString(2).text;
        for (int i = 0; i < sheets && c.left() >= 3; ++i)
            out << c.unicodeString(2).text;
    } catch (const ECorruptWorkbook&) {
        // what was read is what we show
    }
    return out;
}

// The file name in an encoded path: control characters separate its parts.
QString bookFileName(const QString& path)
{
    QString name;
    for (QChar c : path) {
        if (c.unicode() < 0x20)
            name.clear();
        else
            name += c;
    }
    return name.section(u'/', -1).section(u'\\', -1);
}

} // namespace

QString definedNameText(const DefinedName& n)
{
    if (n.builtIn() && n.name.size() == 1 && n.name[0].unicode() < std::size(kBuiltInNames))
        return QString::fromLatin1(kBuiltInNames[n.name[0].unicode()]);
    return n.name;
}

int findDefinedName(const Workbook& book, const QString& name, int sheet)
{
    int global = 0;
    for (int i = 0; i < book.names.size(); ++i) {
        const DefinedName& n = book.names[i];
        if (definedNameText(n).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (n.sheet == sheet + 1)
            return i + 1;
        if (n.sheet == 0 && global == 0)
            global = i + 1;
    }
    return global;
}

QString externSheetPrefix(const Workbook& book, int ixti)
{
    if (ixti < 0 || ixti >= book.links.refs.size())
        return {};
    const LinkTable::Ref& ref = book.links.refs[ixti];
    if (ref.book >= book.links.books.size())
        return {};
    const QStringList parts = supBookStrings(book.links.books[ref.book].record);
    if (parts.isEmpty())
        return {};
    const QString sheet = ref.first >= 0 && ref.first + 1 < parts.size() ? parts[ref.first + 1] : QString();
    return quotedSheetName(u'[' + bookFileName(parts[0]) + u']' + sheet) + u'!';
}

QString externNameText(const Workbook& book, int ixti, int nameIndex)
{
    if (ixti < 0 || ixti >= book.links.refs.size())
        return QStringLiteral("#REF!");
    const LinkTable::Ref& ref = book.links.refs[ixti];
    if (ref.book >= book.links.books.size())
        return QStringLiteral("#REF!");
    const QList<QByteArray>& names = book.links.books[ref.book].externNames;
    if (nameIndex < 1 || nameIndex > names.size())
        return QStringLiteral("#REF!");
    BiffRecord r;
    r.data = names[nameIndex - 1];
    Cursor c(r);
    try {
        c.skip(6); // options and the sheet the name belongs to
        return c.unicodeString(1).text;
    } catch (const ECorruptWorkbook&) {
        return QStringLiteral("#REF!");
    }
}

int sheetRefIndex(Workbook& book, int first, int last)
{
    LinkTable& links = book.links;
    int self = -1;
    for (int i = 0; i < links.books.size(); ++i)
        if (links.books[i].self)
            self = i;
    if (self < 0) {
        // the writer fills in the sheet count
        links.books.append({QByteArray::fromHex("00000104"), {}, true});
        self = int(links.books.size() - 1);
    }
    for (int i = 0; i < links.refs.size(); ++i) {
        const LinkTable::Ref& r = links.refs[i];
        if (r.book == self && r.first == first && r.last == last)
            return i;
    }
    links.refs.append({quint16(self), qint16(first), qint16(last)});
    return int(links.refs.size() - 1);
}

int newerFunctionName(Workbook& book, const QString& function)
{
    const QString hidden = QStringLiteral("_xlfn.") + function.toUpper();
    for (int i = 0; i < book.names.size(); ++i)
        if (book.names[i].name.compare(hidden, Qt::CaseInsensitive) == 0)
            return i + 1;
    DefinedName n;
    n.name = hidden;
    // as other programs store these
    n.options = DefinedName::kHidden | DefinedName::kFunction | DefinedName::kProcedure;
    n.tokens = ByteWriter().u8(ptg::Err).u8(err::Name).data; // for programs that do not know it
    book.names << n;
    return int(book.names.size());
}

} // namespace tegaro::sheets
