#include "boardidentity.h"

#include <cstdlib>
#include <string_view>

std::optional<analysis::BoardIdentity> SweptBoardIdentity()
{
    const char* options = std::getenv("EVLINK_SIM");
    if (options == nullptr)
        return std::nullopt;
    // "only" as one of the comma-separated items.
    const std::string_view text = options;
    for (size_t start = 0; start <= text.size();) {
        const size_t comma = std::min(text.find(',', start), text.size());
        if (text.substr(start, comma - start) == "only")
            return analysis::BoardIdentity{true, std::string(text)};
        start = comma + 1;
    }
    return std::nullopt;
}
