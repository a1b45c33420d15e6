// A workbook read from any bytes is painted as the control and the printer
// paint it: its first screen of each sheet, and its first printed pages.
// Run with LSAN_OPTIONS=suppressions=fuzz/sheets/lsan-fonts.supp: font
// lookups keep what they find for the life of the process.
#include "sheets/model/SheetErrors.h"
#include "sheets/xls/XlsFile.h"
#include "sheets/render/PrintLayout.h"
#include "sheets/render/SheetImage.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPdfWriter>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tegaro::sheets;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const Workbook book = readXls(bytes);
        for (int s = 0; s < std::min<qsizetype>(book.sheets.size(), 3); ++s) {
            RenderRequest r;
            r.sheet = s;
            const Range used = usedRange(book.sheets[s]);
            r.cells = Range{0, std::min(used.lastRow, 40), 0, std::min(used.lastCol, 12)};
            r.headings = true;
            (void)renderSheet(book, r);
        }
        const PrintLayout layout(book);
        if (layout.pageCount() > 0) {
            QBuffer out;
            out.open(QIODevice::WriteOnly);
            QPdfWriter pdf(&out);
            pdf.setResolution(300);
            layout.print(pdf, 0, std::min(layout.pageCount() - 1, 2));
        }
    } catch (const tegaro::Exception&) {
        // a clear error is the right answer to bad bytes and too large pictures
    }
    return 0;
}
