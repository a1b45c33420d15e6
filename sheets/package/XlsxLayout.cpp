#include "sheets/package/XlsxLayout.h"

#include <QHash>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>

namespace tegaro::sheets {

namespace {

const QByteArray kWorkbookPart = "xl/workbook.xml";
const QByteArray kWorkbookType = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";

// Strict Open XML's namespaces and the transitional ones the reader knows.
const std::pair<const char*, const char*> kStrict[] = {
    {"http://purl.oclc.org/ooxml/spreadsheetml/main", "http://schemas.openxmlformats.org/spreadsheetml/2006/main"},
    {"http://purl.oclc.org/ooxml/officeDocument/relationships",
     "http://schemas.openxmlformats.org/officeDocument/2006/relationships"},
    {"http://purl.oclc.org/ooxml/drawingml/main", "http://schemas.openxmlformats.org/drawingml/2006/main"},
    {"http://purl.oclc.org/ooxml/officeDocument/sharedTypes",
     "http://schemas.openxmlformats.org/officeDocument/2006/sharedTypes"},
};

struct Relation {
    QString id, type, target, mode;
};

QList<Relation> relations(const QByteArray& xml)
{
    QList<Relation> list;
    QXmlStreamReader r(xml);
    while (!r.atEnd() && list.size() < 65536) {
        if (r.readNext() != QXmlStreamReader::StartElement || r.name() != u"Relationship")
            continue;
        const QXmlStreamAttributes a = r.attributes();
        list << Relation{a.value(QLatin1String("Id")).toString(), a.value(QLatin1String("Type")).toString(), a.value(QLatin1String("Target")).toString(),
                         a.value(QLatin1String("TargetMode")).toString()};
    }
    return list; // what follows damage is left to the reader's own checks
}

// The folder of a part, "xl/" for "xl/workbook.xml".
QByteArray folderOf(const QByteArray& part)
{
    return part.left(part.lastIndexOf('/') + 1);
}

// A target as a part name: from the top when it starts with "/", else
// beside `folder`, with "." and ".." worked out.
QByteArray resolve(const QByteArray& folder, const QString& target)
{
    const QByteArray t = target.toUtf8();
    QList<QByteArray> path;
    for (const QByteArray& step : (t.startsWith('/') ? t.mid(1) : folder + t).split('/')) {
        if (step == "..") {
            if (!path.isEmpty())
                path.removeLast();
        } else if (!step.isEmpty() && step != ".") {
            path << step;
        }
    }
    return path.join('/');
}

// `part` as a target from a part in `folder`.
QByteArray relative(const QByteArray& folder, const QByteArray& part)
{
    if (part.startsWith(folder))
        return part.mid(folder.size());
    return QByteArray("../").repeated(folder.count('/')) + part;
}

// The relationships part of `part`: "xl/_rels/workbook.xml.rels".
QByteArray relationsOf(const QByteArray& part)
{
    return folderOf(part) + "_rels/" + part.mid(part.lastIndexOf('/') + 1) + ".rels";
}

// The part that a relationships part belongs to, empty for "_rels/.rels".
QByteArray partOfRelations(const QByteArray& rels)
{
    const qsizetype at = rels.lastIndexOf("_rels/");
    return rels.left(at) + rels.mid(at + 6).chopped(5);
}

QByteArray writeRelations(const QList<Relation>& list)
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument();
    w.writeDefaultNamespace(QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships"));
    w.writeStartElement(QStringLiteral("Relationships"));
    for (const Relation& r : list) {
        w.writeStartElement(QStringLiteral("Relationship"));
        w.writeAttribute(QStringLiteral("Id"), r.id);
        w.writeAttribute(QStringLiteral("Type"), r.type);
        w.writeAttribute(QStringLiteral("Target"), r.target);
        if (!r.mode.isEmpty())
            w.writeAttribute(QStringLiteral("TargetMode"), r.mode);
        w.writeEndElement();
    }
    w.writeEndDocument();
    return out;
}

} // namespace

QByteArray transitionalNamespaces(const QByteArray& xml)
{
    if (!xml.contains("http://purl.oclc.org/ooxml/"))
        return xml;
    QByteArray out = xml;
    for (const auto& [strict, transitional] : kStrict)
        out.replace(strict, transitional);
    return out;
}

XlsxLayout xlsxLayout(const QList<QByteArray>& names, const PartText& text)
{
    XlsxLayout layout;
    // part names as the file spells them, found whatever their capitals
    QHash<QByteArray, QByteArray> byLower;
    for (const QByteArray& n : names)
        byLower.insert(n.toLower(), n);
    auto actual = [&](const QByteArray& name) { return byLower.value(name.toLower(), name); };

    const QByteArray rootRelations = actual("_rels/.rels");
    QByteArray workbook;
    for (const Relation& r : relations(transitionalNamespaces(text(rootRelations))))
        if (r.type.endsWith(u"/officeDocument") && r.mode != u"External") {
            workbook = actual(resolve({}, r.target));
            break;
        }
    if (workbook.isEmpty() || !byLower.contains(workbook.toLower()))
        return layout;

    // the content type of the workbook part says what kind of document it is
    const QByteArray typesPart = actual("[Content_Types].xml");
    QString type;
    QList<std::pair<QString, QString>> defaults, overrides;
    {
        QXmlStreamReader r(text(typesPart));
        while (!r.atEnd() && defaults.size() + overrides.size() < 65536) {
            if (r.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QXmlStreamAttributes a = r.attributes();
            if (r.name() == u"Default")
                defaults << std::pair(a.value(QLatin1String("Extension")).toString(), a.value(QLatin1String("ContentType")).toString());
            else if (r.name() == u"Override")
                overrides << std::pair(a.value(QLatin1String("PartName")).toString(), a.value(QLatin1String("ContentType")).toString());
        }
    }
    for (const auto& [name, t] : overrides)
        if (actual(resolve({}, name)) == workbook)
            type = t;
    if (type.isEmpty())
        for (const auto& [extension, t] : defaults)
            if (workbook.toLower().endsWith('.' + extension.toLower().toUtf8()))
                type = t;
    const QString lower = type.toLower();
    if (!lower.contains(u"spreadsheetml.sheet.main") && !lower.contains(u"spreadsheetml.template.main")
        && !lower.contains(u"ms-excel.sheet.macroenabled.main") && !lower.contains(u"ms-excel.template.macroenabled.main"))
        return layout;
    layout.workbook = true;
    layout.macros = lower.contains(u"macroenabled");

    // the workbook and its relationships move to where the reader looks
    auto renamed = [&](const QByteArray& name) {
        if (name == workbook)
            return kWorkbookPart;
        if (name == relationsOf(workbook))
            return relationsOf(kWorkbookPart);
        return name;
    };
    if (workbook != kWorkbookPart) {
        layout.renamed[workbook] = kWorkbookPart;
        if (byLower.contains(relationsOf(workbook).toLower()))
            layout.renamed[actual(relationsOf(workbook))] = relationsOf(kWorkbookPart);
    }

    // every target relative to its part, to the part as it is spelt and named now
    for (const QByteArray& name : names) {
        if (!name.endsWith(".rels"))
            continue;
        const QByteArray from = name == rootRelations ? QByteArray() : actual(partOfRelations(name));
        const QByteArray given = text(name);
        QList<Relation> list = relations(transitionalNamespaces(given));
        const QByteArray folder = folderOf(renamed(from));
        bool changed = given != transitionalNamespaces(given) || renamed(from) != from;
        for (Relation& r : list) {
            if (r.mode == u"External")
                continue;
            const QByteArray to = renamed(actual(resolve(folderOf(from), r.target)));
            const QString target = QString::fromUtf8(relative(folder, to));
            changed = changed || target != r.target;
            r.target = target;
        }
        if (changed)
            layout.replaced[name == rootRelations ? QByteArray("_rels/.rels") : renamed(name)] = writeRelations(list);
    }
    if (!layout.macros && workbook == kWorkbookPart && type == QString::fromUtf8(kWorkbookType)
        && typesPart == "[Content_Types].xml" && rootRelations == "_rels/.rels")
        return layout; // the content types are as the reader wants them

    // and the content types name the parts so, the workbook as a plain one
    QByteArray types;
    QXmlStreamWriter w(&types);
    w.writeStartDocument();
    w.writeDefaultNamespace(QStringLiteral("http://schemas.openxmlformats.org/package/2006/content-types"));
    w.writeStartElement(QStringLiteral("Types"));
    for (const auto& [extension, t] : defaults) {
        w.writeStartElement(QStringLiteral("Default"));
        w.writeAttribute(QStringLiteral("Extension"), extension);
        w.writeAttribute(QStringLiteral("ContentType"), t);
        w.writeEndElement();
    }
    for (const auto& [name, t] : overrides) {
        const QByteArray part = renamed(actual(resolve({}, name)));
        w.writeStartElement(QStringLiteral("Override"));
        w.writeAttribute(QStringLiteral("PartName"), QString::fromUtf8('/' + part));
        w.writeAttribute(QStringLiteral("ContentType"), part == kWorkbookPart ? QString::fromUtf8(kWorkbookType) : t);
        w.writeEndElement();
    }
    if (std::none_of(overrides.begin(), overrides.end(),
                     [&](const auto& o) { return actual(resolve({}, o.first)) == workbook; })) {
        w.writeStartElement(QStringLiteral("Override"));
        w.writeAttribute(QStringLiteral("PartName"), QStringLiteral("/xl/workbook.xml"));
        w.writeAttribute(QStringLiteral("ContentType"), QString::fromUtf8(kWorkbookType));
        w.writeEndElement();
    }
    w.writeEndDocument();
    layout.replaced["[Content_Types].xml"] = types;
    if (typesPart != "[Content_Types].xml")
        layout.renamed[typesPart] = "[Content_Types].xml";
    if (rootRelations != "_rels/.rels")
        layout.renamed[rootRelations] = "_rels/.rels";
    return layout;
}

} // namespace tegaro::sheets
