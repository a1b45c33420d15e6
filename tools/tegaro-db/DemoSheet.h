#pragma once
// Demo detail sheets laid out like an assessor's calculation sheet.
#include <QByteArray>
#include <QDate>
#include <QString>

class QRandomGenerator;

namespace tegaro::demo {

struct SheetFacts {
    QString owner;
    QString address;
    double floor1 = 0, floor2 = 0; // ㎡
    double targetScore = 0;        // what the sheet's items are chosen to come to
    QDate surveyed;
    bool mixedUse = false; // G6 marked: the areas start one column left
};

struct DemoSheet {
    QByteArray bytes; // an .xls workbook
    double score = 0; // the score the sheet shows in E6
};

// Owner in D4, score in E6, the use mark in G6 and the areas in I6:K6
// (marked) or J6:L6; a table of the parts' scores below, more sheets behind.
DemoSheet makeDemoSheet(const SheetFacts& facts, QRandomGenerator& random);

} // namespace tegaro::demo
