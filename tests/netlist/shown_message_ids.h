#pragma once
// The message ids of the error and warning boxes shown so far, read from their captions
// ("Error 11900"), in order.
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/message_box.h"

namespace kq5::testing {

inline std::vector<int> ShownMessageIds()
{
    std::vector<int> ids;
    for (const win::MessageBoxEntry& entry : win::MessageBoxLog()) {
        const std::size_t blank = entry.caption.rfind(' ');
        if (blank != std::string::npos) ids.push_back(std::atoi(entry.caption.c_str() + blank + 1));
    }
    return ids;
}

inline int LastShownMessageId()
{
    const std::vector<int> ids = ShownMessageIds();
    return ids.empty() ? 0 : ids.back();
}

}  // namespace kq5::testing
