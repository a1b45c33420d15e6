#include "sheets/model/MergeIndex.h"

#include <algorithm>

namespace tegaro::sheets {

MergeIndex::MergeIndex(const QList<Range>& merged)
{
    for (const Range& r : merged)
        if (r.firstRow <= r.lastRow && r.firstCol <= r.lastCol && (r.firstRow < r.lastRow || r.firstCol < r.lastCol))
            areas_.push_back(r);
    std::sort(areas_.begin(), areas_.end(), [](const Range& a, const Range& b) {
        return a.firstRow != b.firstRow ? a.firstRow < b.firstRow : a.firstCol < b.firstCol;
    });
    int reach = -1;
    for (const Range& r : areas_) {
        reach = std::max(reach, r.lastRow);
        reachBefore_.push_back(reach);
    }
}

QList<Range> MergeIndex::within(const Range& block) const
{
    QList<Range> out;
    // areas starting below the block cannot meet it; walk back from there
    // while some earlier area still reaches the block's first row
    auto end = std::upper_bound(areas_.begin(), areas_.end(), block.lastRow,
                                [](int row, const Range& r) { return row < r.firstRow; });
    for (auto i = int(end - areas_.begin()) - 1; i >= 0 && reachBefore_[i] >= block.firstRow; --i) {
        const Range& r = areas_[i];
        if (r.lastRow >= block.firstRow && r.lastCol >= block.firstCol && r.firstCol <= block.lastCol)
            out.prepend(r);
    }
    return out;
}

const Range* MergeIndex::at(int row, int col) const
{
    auto end = std::upper_bound(areas_.begin(), areas_.end(), row,
                                [](int r, const Range& a) { return r < a.firstRow; });
    for (auto i = int(end - areas_.begin()) - 1; i >= 0 && reachBefore_[i] >= row; --i)
        if (areas_[i].contains(row, col))
            return &areas_[i];
    return nullptr;
}

} // namespace tegaro::sheets
