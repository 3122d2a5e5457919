#include "usbids.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace evlink::usb {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::optional<uint16_t> ParseHex16(std::string_view s) {
    s = Trim(s);
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
    if (s.empty() || s.size() > 4) return std::nullopt;
    unsigned v = 0;
    for (char c : s) {
        int d = (c >= '0' && c <= '9') ? c - '0'
              : (c >= 'a' && c <= 'f') ? c - 'a' + 10
              : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                       : -1;
        if (d < 0) return std::nullopt;
        v = v * 16 + unsigned(d);
    }
    return uint16_t(v);
}

std::optional<UsbId> ParsePair(std::string_view s) {
    auto colon = s.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    auto vendor = ParseHex16(s.substr(0, colon));
    auto product = ParseHex16(s.substr(colon + 1));
    if (!vendor || !product) return std::nullopt;
    return UsbId{*vendor, *product};
}

}  // namespace

std::optional<UsbIds> ParseUsbIds(std::string_view text) {
    auto comma = text.find(',');
    auto bare = ParsePair(text.substr(0, comma));
    if (!bare) return std::nullopt;
    if (comma == std::string_view::npos) return UsbIds{*bare, *bare};
    auto loaded = ParsePair(text.substr(comma + 1));
    if (!loaded) return std::nullopt;
    return UsbIds{*bare, *loaded};
}

UsbIds ConfiguredUsbIds() {
    const UsbIds builtIn{kBareBoardId, kLoadedBoardId};
    const char* text = std::getenv(kUsbIdsVariable);
    if (!text || Trim(text).empty()) return builtIn;
    if (auto ids = ParseUsbIds(text)) return *ids;
    // Said once per value, not at every search.
    static std::mutex mutex;
    static std::string reported;
    std::lock_guard lock(mutex);
    if (reported != text) {
        reported = text;
        std::fprintf(stderr,
                     "%s=\"%s\" is not vvvv:pppp or vvvv:pppp,vvvv:pppp (hexadecimal); "
                     "using %04X:%04X,%04X:%04X\n",
                     kUsbIdsVariable, text, builtIn.bare.vendor, builtIn.bare.product, builtIn.loaded.vendor,
                     builtIn.loaded.product);
    }
    return builtIn;
}

}  // namespace evlink::usb
