#pragma once
// 一覧印刷: the list on pages, for the printer, a PDF file or the preview.
// A title line with the search and the date, the heading row on every page,
// one line per house, the totals line after the last, "N / M" at the foot.
// Laid out in points on the device's paper (A4 landscape unless the print
// dialog chose other paper).
#include "records/list/ListRows.h"

#include <QDate>
#include <QPageLayout>

class QPagedPaintDevice;
class QPainter;

namespace tegaro {

class ListPrintLayout {
public:
    ListPrintLayout(const ListRows& rows, QString title, QString totals, QDate printed = QDate::currentDate());

    static QPageLayout defaultPaper(); // A4 landscape, 10 mm margins

    // Lines of houses that fit on one page of this paper.
    static int linesPerPage(const QPageLayout& paper);
    int pageCount(const QPageLayout& paper = defaultPaper()) const;
    // The first row of houses on a page (from 0); the page holds the rows up
    // to the next page's first, the last page the rest and the totals line.
    // The totals never stand alone on the last page: when the houses fill
    // the page before it, its last house moves over to them.
    int firstRow(int page, const QPageLayout& paper = defaultPaper()) const;
    // Pages first..last (from 0) on the device's paper. Throws EInOutError
    // when the device cannot be painted on.
    void print(QPagedPaintDevice& device, int first, int last) const;

private:
    int firstRow(int page, int pages, int perPage) const;
    void paintPage(QPainter& p, const QRectF& area, int page, int pages, int perPage) const;

    const ListRows& rows_;
    QList<int> columns_;
    QString title_;
    QString totals_;
    QDate printed_;
};

} // namespace tegaro
