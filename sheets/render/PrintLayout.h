#pragma once
// Printed pages of a workbook, laid out once from each sheet's page setup:
// paper and orientation, margins, scale or fit to pages, print area,
// manual breaks, page order, centring, repeated titles, gridlines and
// headings, headers and footers. The same pages go to a printer, a PDF
// file or a preview: anything Qt paints pages on.
#include "sheets/model/Workbook.h"

#include <QDateTime>
#include <QPageLayout>
#include <QPagedPaintDevice>

#include <optional>

namespace tegaro::sheets {

struct PrintedPage {
    int sheet = 0;
    Range cells;                                  // the part of a print area on this page
    std::optional<std::pair<int, int>> titleRows; // repeated above it
    std::optional<std::pair<int, int>> titleCols; // repeated left of it
    int number = 1;                               // as &P prints it
    QPageLayout paper;                            // size and orientation, no margins
    double scale = 1;                             // of the cells; 1 is 100%
    QPointF origin;                               // top-left of what is printed, in points
};

// The paper of an Excel paper size number (A4 for ones we do not know).
QPageSize paperSize(int excelPaper);

class PrintLayout {
public:
    // The pages of the given sheets (counted from 0), or of every visible
    // sheet when none are given. `filePath` is what &F and &Z print.
    explicit PrintLayout(const Workbook& book, const QList<int>& sheets = {}, const QString& filePath = {});
    // The layout keeps a reference to the workbook, which must outlive it.
    PrintLayout(Workbook&&, const QList<int>& = {}, const QString& = {}) = delete;

    const QList<PrintedPage>& pages() const { return pages_; }
    int pageCount() const { return int(pages_.size()); }

    // Paints pages first..last (counted from 0) onto the device, each on
    // its own paper. ESheetError when there is nothing to print or the
    // device cannot be painted on.
    void print(QPagedPaintDevice& device, int first, int last, const QDateTime& now = QDateTime::currentDateTime()) const;
    void print(QPagedPaintDevice& device) const { print(device, 0, pageCount() - 1); }

private:
    void layOut(int sheet, int& number);

    const Workbook& book_;
    QString filePath_;
    QList<PrintedPage> pages_;
};

// The pages as a PDF file, text kept as text; written whole or not at all.
void printToPdf(const Workbook& book, const QList<int>& sheets, const QString& pdfPath, const QString& sourcePath = {});

} // namespace tegaro::sheets
