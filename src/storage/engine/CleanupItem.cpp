#include "storage/engine/CleanupItem.h"

#include <algorithm>
#include <limits>

namespace quorvex {

void sortCleanupItemsBySize(std::vector<CleanupItem>& items) {
    std::stable_sort(items.begin(), items.end(),
                     [](const CleanupItem& a, const CleanupItem& b) { return a.size > b.size; });
}

std::int64_t saturatingSum(std::int64_t a, std::int64_t b) {
    a = std::max<std::int64_t>(a, 0);
    b = std::max<std::int64_t>(b, 0);
    const std::int64_t max = std::numeric_limits<std::int64_t>::max();
    return a > max - b ? max : a + b;
}

} // namespace quorvex
