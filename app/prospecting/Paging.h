// Paging of the lead import screens over a total that the server sends and a page size that the
// user types. Both are bounded before any arithmetic, so that no reply and no typed text can
// overflow it: the total to 0 .. INT32_MAX (the page counter's range), the size to the 32-bit
// range. Page steps saturate at the counter's ends instead of wrapping.
#pragma once

#include <cstdint>

namespace prospecting {

// A total of numbers as the paging keeps it.
std::int64_t boundedTotal(std::int64_t total);
// A page size as the paging uses it.
std::int64_t boundedPageSize(std::int64_t size);

struct PageCount {
    std::int64_t quotient = 0; // total / size, truncated toward zero; 0 when size is 0
    std::int64_t pages = 0;    // quotient, plus one when something remains
};
PageCount pageCount(std::int64_t total, std::int64_t size);

// `page` moved by `step` (±1), held inside the 32-bit range.
std::int32_t steppedPage(std::int32_t page, int step);
// A page number held inside the 32-bit range.
std::int32_t boundedPage(std::int64_t page);

} // namespace prospecting
