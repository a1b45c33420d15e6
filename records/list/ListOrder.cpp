#include "records/list/ListOrder.h"

#include <algorithm>
#include <limits>

namespace tegaro {

namespace {
// The part of a cell that orders it, read once per row.
struct Key {
    int row;
    int rank; // 0 a value, 1 empty
    double number;
    QString text;
};

int compareKeys(const Key& a, const Key& b, ListKind kind)
{
    if (kind == ListKind::Text)
        return a.text.compare(b.text);
    if (a.number != b.number)
        return a.number < b.number ? -1 : 1;
    // a number column can hold text: after the numbers, by its characters
    return a.text.compare(b.text);
}
} // namespace

std::vector<int> sortedOrder(const ListRows& rows, int column, Qt::SortOrder order)
{
    const ListKind kind = houseListColumns()[column].kind;
    const int n = rows.count();
    std::vector<Key> keys;
    keys.reserve(size_t(n));
    for (int r = 0; r < n; ++r) {
        const ListCell c = rows.cell(r, column);
        Key k{r, c.isEmpty() ? 1 : 0, 0, {}};
        switch (c.type) {
        case ListCell::Number: k.number = c.number; break;
        case ListCell::Date: k.number = double(c.date.toMSecsSinceEpoch()); break;
        case ListCell::Mark: k.number = -1; break;
        case ListCell::Text:
            k.text = c.text;
            // text in a number or date column comes after the values
            if (kind != ListKind::Text)
                k.number = std::numeric_limits<double>::infinity();
            break;
        case ListCell::Empty: break;
        }
        keys.push_back(std::move(k));
    }
    const bool descending = order == Qt::DescendingOrder;
    std::stable_sort(keys.begin(), keys.end(), [kind, descending](const Key& a, const Key& b) {
        if (a.rank != b.rank)
            return a.rank < b.rank;
        const int c = compareKeys(a, b, kind);
        return descending ? c > 0 : c < 0;
    });
    std::vector<int> result;
    result.reserve(keys.size());
    for (const Key& k : keys)
        result.push_back(k.row);
    return result;
}

} // namespace tegaro
