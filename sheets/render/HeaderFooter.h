#pragma once
// Page headers and footers: the codes of a page setup's texts (&L &C &R,
// &P &N &D &T &F &A &Z, fonts, sizes, bold ...) turned into laid-out text.
#include "sheets/model/Workbook.h"

#include <QDateTime>
#include <QFont>
#include <QPainter>
#include <QTextLayout>

namespace tegaro::sheets {

struct PageFacts {
    int page = 1;      // &P
    int pages = 1;     // &N
    QString sheetName; // &A
    QString filePath;  // &F is its name, &Z its folder
    QDateTime now;     // &D, &T
};

// One section of a header or footer: its text and the font of each part.
struct HeaderPart {
    QString text;
    QList<QTextLayout::FormatRange> formats;
    bool isEmpty() const { return text.isEmpty(); }
};

struct HeaderText {
    HeaderPart left, centre, right;
};

// `base` is the font a part starts with (the workbook's standard font).
HeaderText parseHeader(const QString& code, const PageFacts& facts, const QFont& base);

// Paints the three parts in `area`: left, centred and right; `top`
// aligns them to its top edge (headers), else to its bottom (footers).
void paintHeader(QPainter& p, const HeaderText& text, const QRectF& area, bool top);

} // namespace tegaro::sheets
