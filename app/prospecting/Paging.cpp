// Bounded paging arithmetic (see Paging.h).
#include "app/prospecting/Paging.h"

#include <algorithm>
#include <limits>

namespace prospecting {

namespace {

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

} // namespace

std::int64_t boundedTotal(std::int64_t total) { return std::clamp<std::int64_t>(total, 0, kInt32Max); }

std::int64_t boundedPageSize(std::int64_t size) { return std::clamp(size, kInt32Min, kInt32Max); }

PageCount pageCount(std::int64_t total, std::int64_t size)
{
    std::int64_t c = boundedTotal(total);
    std::int64_t s = boundedPageSize(size);
    PageCount count;
    count.quotient = s == 0 ? 0 : c / s;
    std::int64_t remainder = c - count.quotient * s;
    count.pages = remainder != 0 ? count.quotient + 1 : count.quotient;
    return count;
}

std::int32_t boundedPage(std::int64_t page) { return static_cast<std::int32_t>(std::clamp(page, kInt32Min, kInt32Max)); }

std::int32_t steppedPage(std::int32_t page, int step) { return boundedPage(static_cast<std::int64_t>(page) + step); }

} // namespace prospecting
