#include "PackageSamples.h"

#include "sheets/container/ZipWriter.h"

namespace tegaro::sheets::testing {

namespace {

const QByteArray kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const QByteArray kRelationship = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

QByteArray relationship(int id, const char* type, const char* target)
{
    return "<Relationship Id=\"rId" + QByteArray::number(id) + "\" Type=\"" + kRelationship + type + "\" Target=\""
        + target + "\"/>";
}

} // namespace

QByteArray workbookPart(const QStringList& sheets, const QByteArray& inside)
{
    QByteArray list;
    for (int i = 0; i < sheets.size(); ++i)
        list += "<sheet name=\"" + sheets[i].toUtf8() + "\" sheetId=\"" + QByteArray::number(i + 1) + "\" r:id=\"rId"
            + QByteArray::number(i + 1) + "\"/>";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook xmlns=\"" + kMain
        + "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">" + inside
        + "<sheets>" + list + "</sheets></workbook>";
}

QByteArray worksheetPart(const QByteArray& inside)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet xmlns=\"" + kMain + "\">" + inside + "</worksheet>";
}

QByteArray sharedStringsPart(const QByteArray& inside)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><sst xmlns=\"" + kMain + "\">" + inside + "</sst>";
}

QByteArray stylesPart(const QByteArray& inside)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><styleSheet xmlns=\"" + kMain + "\">" + inside + "</styleSheet>";
}

QByteArray xlsxPackage(const QList<QByteArray>& parts, bool compress)
{
    static const char* const names[] = {"xl/workbook.xml", "xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml",
                                        "xl/sharedStrings.xml", "xl/styles.xml"};
    QList<ZipPart> zip = {
        {"[Content_Types].xml",
         "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
         "<Override PartName=\"/xl/workbook.xml\" "
         "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/></Types>"},
        {"_rels/.rels",
         "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
             + relationship(1, "officeDocument", "xl/workbook.xml") + "</Relationships>"},
        {"xl/_rels/workbook.xml.rels",
         "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
             + relationship(1, "worksheet", "worksheets/sheet1.xml") + relationship(2, "worksheet", "worksheets/sheet2.xml")
             + relationship(3, "sharedStrings", "sharedStrings.xml") + relationship(4, "styles", "styles.xml")
             + "</Relationships>"},
    };
    for (int i = 0; i < parts.size() && i < 5; ++i)
        if (!parts[i].isEmpty())
            zip << ZipPart{names[i], parts[i]};
    return writeZip(zip, compress);
}

namespace {

const QByteArray kOdsNamespaces =
    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
    "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
    "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
    "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
    "xmlns:number=\"urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0\" "
    "xmlns:of=\"urn:oasis:names:tc:opendocument:xmlns:of:1.2\" "
    "xmlns:calcext=\"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0\" office:version=\"1.3\"";

} // namespace

QByteArray odsStyles(const QByteArray& inside)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-styles " + kOdsNamespaces + ">" + inside
        + "</office:document-styles>";
}

QByteArray odsContent(const QByteArray& body, const QByteArray& automaticStyles)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content " + kOdsNamespaces + ">"
                                                                                                    "<office:automatic-styles>"
        + automaticStyles + "</office:automatic-styles>"
                            "<office:body><office:spreadsheet>"
        + body + "</office:spreadsheet></office:body></office:document-content>";
}

QByteArray odsPackage(const QByteArray& content, const QByteArray& styles, bool compress, const QByteArray& settings)
{
    QList<ZipPart> zip = {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", content}};
    if (!styles.isEmpty())
        zip << ZipPart{"styles.xml", styles};
    if (!settings.isEmpty())
        zip << ZipPart{"settings.xml", settings};
    return writeZip(zip, compress);
}

QByteArray simpleXlsx(const QByteArray& sheetInside, bool compress)
{
    return xlsxPackage({workbookPart({QStringLiteral("S")}), worksheetPart(sheetInside)}, compress);
}

QByteArray simpleOds(const QByteArray& tableInside, const QByteArray& styles)
{
    return odsPackage(odsContent("<table:table table:name=\"S\">" + tableInside + "</table:table>", styles));
}

} // namespace tegaro::sheets::testing
