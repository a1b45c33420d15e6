#include "sheets/package/XlsxLayout.h"

#include <QXmlStreamReader>

namespace tegaro::sheets {

namespace {

struct Relation {
    QString type, target, mode;
};

QList<Relation> relations(const QByteArray& xml)
{
    QList<Relation> list;
    QXmlStreamReader r(xml);
    while (!r.atEnd() && list.size() < 65536) {
        if (r.readNext() != QXmlStreamReader::StartElement || r.name() != u"Relationship")
            continue;
        const QXmlStreamAttributes a = r.attributes();
        list << Relation{a.value(QLatin1String("Type")).toString(), a.value(QLatin1String("Target")).toString(),
                         a.value(QLatin1String("TargetMode")).toString()};
    }
    return list; // what follows damage is left to the reading pass's own checks
}

// The folder of a part, "xl/" for "xl/workbook.xml".
QByteArray folderOf(const QByteArray& part)
{
    return part.left(part.lastIndexOf('/') + 1);
}

} // namespace

PartNames::PartNames(const QList<QByteArray>& names)
{
    for (const QByteArray& n : names)
        byLower_.insert(n.toLower(), n);
}

QByteArray resolveTarget(const QByteArray& from, const QByteArray& target)
{
    QList<QByteArray> path;
    for (const QByteArray& step : (target.startsWith('/') ? target.mid(1) : folderOf(from) + target).split('/')) {
        if (step == "..") {
            if (!path.isEmpty())
                path.removeLast();
        } else if (!step.isEmpty() && step != ".") {
            path << step;
        }
    }
    return path.join('/');
}

QByteArray relationsOf(const QByteArray& part)
{
    return folderOf(part) + "_rels/" + part.mid(part.lastIndexOf('/') + 1) + ".rels";
}

XlsxLayout xlsxLayout(const QList<QByteArray>& names, const PartText& text)
{
    XlsxLayout layout;
    const PartNames parts(names);
    QByteArray workbook;
    for (const Relation& r : relations(text(parts.actual("_rels/.rels"))))
        if (r.type.endsWith(u"/officeDocument") && r.mode != u"External") {
            workbook = parts.actual(resolveTarget({}, r.target.toUtf8()));
            break;
        }
    if (workbook.isEmpty() || !parts.contains(workbook))
        return layout;

    // the content type of the workbook part says what kind of document it is
    QString type;
    QList<std::pair<QString, QString>> defaults;
    {
        QXmlStreamReader r(text(parts.actual("[Content_Types].xml")));
        int count = 0;
        while (!r.atEnd() && ++count < 65536) {
            if (r.readNext() != QXmlStreamReader::StartElement)
                continue;
            const QXmlStreamAttributes a = r.attributes();
            if (r.name() == u"Default")
                defaults << std::pair(a.value(QLatin1String("Extension")).toString(),
                                      a.value(QLatin1String("ContentType")).toString());
            else if (r.name() == u"Override"
                     && parts.actual(resolveTarget({}, a.value(QLatin1String("PartName")).toUtf8())) == workbook)
                type = a.value(QLatin1String("ContentType")).toString();
        }
    }
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
    layout.workbookPart = workbook;
    return layout;
}

} // namespace tegaro::sheets
