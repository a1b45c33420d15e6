#pragma once
// Copies owner, areas and score from the shown detail sheet into the record
// form, and a house area into its registry box on a double click. Only the
// shown texts change: they reach the record when it is posted.
#include <QString>

#include <functional>

namespace tegaro {

class RecordForm;

// The text a cell of the shown detail sheet shows; sheet, row and column
// count from 1.
using CellTextSource = std::function<QString(int sheet, int row, int col)>;

class SheetTransfer {
public:
    SheetTransfer(RecordForm& form, CellTextSource cellText);

    void FlatButton1Click();
    void DBEdit19DblClick() { copyShown("DBEdit1", "DBEdit19"); }
    void DBEdit20DblClick() { copyShown("DBEdit2", "DBEdit20"); }
    void DBEdit22DblClick() { copyShown("DBEdit26", "DBEdit22"); }

private:
    void setShown(const char* box, const QString& text);
    void copyShown(const char* from, const char* to);

    RecordForm& form_;
    CellTextSource CellText;
};

} // namespace tegaro
