#pragma once
// Sorting the list by one of its columns. The order is the list's own: the
// record set and its navigator keep the query's order.
#include "records/list/ListRows.h"

#include <Qt>

#include <vector>

namespace tegaro {

// The rows of `rows` (0 to count-1) ordered by the column: numbers by value,
// dates by time, text by its characters, marks before none. Empty cells go
// last either way; equal cells keep the order they had.
std::vector<int> sortedOrder(const ListRows& rows, int column, Qt::SortOrder order);

} // namespace tegaro
