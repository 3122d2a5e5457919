#pragma once
// The USB identifiers of the board's microcontroller: one pair while it runs
// without firmware, another once our firmware runs. EVLINK_USB_IDS overrides
// them: "vvvv:pppp" (the same pair before and after) or
// "vvvv:pppp,vvvv:pppp" (before, after), hexadecimal.
#include <cstdint>
#include <optional>
#include <string_view>

namespace evlink::usb {

struct UsbId {
    uint16_t vendor = 0;
    uint16_t product = 0;
    bool operator==(const UsbId&) const = default;
};

struct UsbIds {
    UsbId bare;    // no firmware yet
    UsbId loaded;  // firmware running
    bool operator==(const UsbIds&) const = default;
};

inline constexpr UsbId kBareBoardId{0x5E7A, 0x0816};
inline constexpr UsbId kLoadedBoardId{0x5E7A, 0x4816};
inline constexpr const char* kUsbIdsVariable = "EVLINK_USB_IDS";

std::optional<UsbIds> ParseUsbIds(std::string_view text);

// The identifiers in force: EVLINK_USB_IDS when it is set and well formed,
// the built-in pairs otherwise (a malformed value is reported on stderr).
UsbIds ConfiguredUsbIds();

}  // namespace evlink::usb
