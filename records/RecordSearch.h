#pragma once
// Narrowing the house record query: by owner name, district, survey date
// range or memo, and the full list again. Each search replaces the query's
// SQL text and opens it; nothing is caught here.
#include "records/list/HouseSearch.h"

namespace tegaro {

class RecordSet;

class RecordSearch {
public:
    explicit RecordSearch(RecordSet& query) : ADOQuery1(query) {}

    // Enter (key 13) in the name or memo box runs the search; other keys don't.
    void Edit1KeyDown(int key, const QString& text);
    void Edit2KeyDown(int key, const QString& text);
    void DBLookupComboPlus1Change(const QString& text);
    void DBLookupComboPlus1DblClick();
    void DateTimePicker2Click(const QDateTime& start, const QDateTime& end);

private:
    void run(const HouseSearch& search);
    RecordSet& ADOQuery1;
};

} // namespace tegaro
