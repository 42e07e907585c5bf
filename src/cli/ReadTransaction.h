#pragma once

#include "driver/ErrorCodes.h"

#include <cstdint>

namespace kelvra::cli {

// A reader that went away without closing its read transaction (a download killed, or one whose
// abort the link no longer carried) leaves it part-way: a commit would then mark read the
// records that reader fetched but never wrote. So every download aborts first, to fetch from
// the first unread record; a terminal with no transaction open may refuse that as not
// applicable, which leaves none open all the same.
constexpr bool AbortLeftNoReadOpen(std::int32_t errCode) {
    return errCode == KV_SUCCESS || errCode == KV_ERR_COMMAND_NOT_APPLICABLE;
}

} // namespace kelvra::cli
