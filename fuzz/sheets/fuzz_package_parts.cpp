// The parts of one .xlsx or .ods package as the input: each part is its
// name, a NUL byte, its text and a NUL byte (XML never holds NUL), and the
// target zips them itself, so that mutations land in the XML and in the
// relationships rather than in the ZIP layer. Parts the input leaves out
// that every package has (.ods "mimetype", .xlsx "[Content_Types].xml") are
// added. Whatever reads is shown, worked out, written as .xls and read back.
#include "Exercise.h"
#include "sheets/container/ZipWriter.h"
#include "sheets/model/SheetErrors.h"
#include "sheets/package/PackageReader.h"

#include <cstddef>
#include <cstdint>

using namespace tegaro::sheets;

namespace {

#ifdef TEGARO_FUZZ_ODS
const QByteArray kAlways = "mimetype";
const QByteArray kAlwaysText = "application/vnd.oasis.opendocument.spreadsheet";
#else
const QByteArray kAlways = "[Content_Types].xml";
const QByteArray kAlwaysText =
    "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/></Types>";
#endif

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> fields =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)).split('\0');
    QList<ZipPart> parts;
    bool always = false;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        if (fields[i].isEmpty())
            continue;
        parts << ZipPart{fields[i], fields[i + 1]};
        always = always || fields[i] == kAlways;
    }
    if (!always)
        parts.prepend(ZipPart{kAlways, kAlwaysText});
    try {
        const Workbook book = readPackage(writeZip(parts, false));
        fuzzing::exercise(book);
    } catch (const tegaro::Exception&) {
        // a clear error is the right answer to bad parts
    }
    return 0;
}
