#pragma once
// Builds small Excel 95 workbooks record by record, the way Excel 95 lays
// them out, for tests of the reader's older dialect.
#include "sheets/biff/ByteWriter.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace tegaro::sheets::testing {

class Biff5Builder {
public:
    Biff5Builder(); // globals: code page 932, fonts, formats, styles
    void addFormat(int index, const QString& code);
    void labelBytes(int row, int col, const QByteArray& bytes); // text in the file's own code page
    void setCodePage(quint16 codePage) { codePage_ = codePage; }
    int addCellXf(int numberFormat); // index of the new cell format
    void beginSheet(const QString& name);
    void label(int row, int col, const QString& text, int xf = 15);
    void number(int row, int col, double value, int xf = 15);
    void formula(int row, int col, const QByteArray& tokens, double cached, int xf = 15);
    void header(const QString& text);
    void sheetRecord(quint16 type, const QByteArray& body);   // any record, in the current sheet
    void name(const QString& name, const QByteArray& tokens); // a defined name of the workbook
    QByteArray stream() const;                                // the "Book" stream
    QByteArray file() const;                                  // a compound file holding it

private:
    void record(RecordWriter& w, quint16 type, const ByteWriter& b) const { w.add(type, b); }
    QByteArray cp932(const QString& s) const;
    quint16 codePage_ = 932;
    QList<QString> sheetNames_;
    QList<RecordWriter> sheets_;
    QList<QByteArray> formats_, xfs_, names_;
};

} // namespace tegaro::sheets::testing
