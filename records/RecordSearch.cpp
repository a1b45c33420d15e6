#include "records/RecordSearch.h"

#include "db/RecordSet.h"

namespace tegaro {

namespace {
constexpr int kEnter = 13;
} // namespace

void RecordSearch::run(const HouseSearch& search)
{
    applySearch(ADOQuery1, search);
    ADOQuery1.open();
}

void RecordSearch::Edit1KeyDown(int key, const QString& text)
{
    if (key == kEnter)
        run(HouseSearch::prefix(PrefixSearch::OwnerName, text));
}

void RecordSearch::Edit2KeyDown(int key, const QString& text)
{
    if (key == kEnter)
        run(HouseSearch::prefix(PrefixSearch::Memo, text));
}

void RecordSearch::DBLookupComboPlus1Change(const QString& text)
{
    run(HouseSearch::prefix(PrefixSearch::District, text));
}

void RecordSearch::DBLookupComboPlus1DblClick()
{
    run(HouseSearch{});
    ADOQuery1.first();
}

void RecordSearch::DateTimePicker2Click(const QDateTime& start, const QDateTime& end)
{
    run(HouseSearch::dates(start, end));
}

} // namespace tegaro
