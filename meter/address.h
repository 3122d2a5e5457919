#pragma once
// Where a bench meter is: "tcp://HOST[:PORT]" (a raw SCPI socket, port 5025
// unless given) or "usbtmc:///dev/usbtmcN" (the Linux USBTMC character device).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace meter {

constexpr uint16_t kDefaultPort = 5025;

struct Address {
    enum class Kind { Tcp, Usbtmc };
    Kind kind = Kind::Tcp;
    std::string host;  // Tcp: a name or a numeric address (IPv6 without its brackets)
    uint16_t port = kDefaultPort;
    std::string path;  // Usbtmc: the device file, absolute

    // Back to the form ParseAddress reads.
    std::string Text() const;
};

// Nothing, with `why`, for a text that names no meter.
std::optional<Address> ParseAddress(std::string_view text, std::string& why);

}  // namespace meter
