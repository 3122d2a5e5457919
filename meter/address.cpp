#include "address.h"

#include <charconv>

namespace meter {
namespace {

constexpr std::string_view kTcp = "tcp://";
constexpr std::string_view kUsbtmc = "usbtmc://";
constexpr size_t kMaxHost = 253;
constexpr size_t kMaxPath = 4096;

bool HostChar(char c, bool bracketed)
{
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    return alnum || c == '.' || c == '-' || c == '_' || (bracketed && (c == ':' || c == '%'));
}

std::optional<Address> Tcp(std::string_view rest, std::string& why)
{
    Address a;
    std::string_view host;
    std::string_view port;
    bool bracketed = false;
    if (!rest.empty() && rest.front() == '[') {
        const size_t close = rest.find(']');
        if (close == std::string_view::npos) {
            why = "'[' without ']' around the host";
            return std::nullopt;
        }
        host = rest.substr(1, close - 1);
        rest.remove_prefix(close + 1);
        bracketed = true;
        if (!rest.empty() && rest.front() != ':') {
            why = "expected ':' and a port after ']'";
            return std::nullopt;
        }
        port = rest.empty() ? rest : rest.substr(1);
        if (!rest.empty() && port.empty()) {
            why = "no port after ':'";
            return std::nullopt;
        }
    } else {
        const size_t colon = rest.find(':');
        host = rest.substr(0, colon);
        if (colon != std::string_view::npos) {
            port = rest.substr(colon + 1);
            if (port.empty()) {
                why = "no port after ':'";
                return std::nullopt;
            }
        }
    }
    if (host.empty() || host.size() > kMaxHost) {
        why = host.empty() ? "no host" : "the host name is longer than 253 characters";
        return std::nullopt;
    }
    for (char c : host)
        if (!HostChar(c, bracketed)) {
            why = "the host holds a character a host name cannot hold";
            return std::nullopt;
        }
    if (!port.empty()) {
        unsigned v = 0;
        const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), v);
        if (ec != std::errc() || end != port.data() + port.size() || v == 0 || v > 65535) {
            why = "the port is not a number from 1 to 65535";
            return std::nullopt;
        }
        a.port = static_cast<uint16_t>(v);
    }
    a.kind = Address::Kind::Tcp;
    a.host = std::string(host);
    return a;
}

std::optional<Address> Usbtmc(std::string_view path, std::string& why)
{
    if (path.empty() || path.front() != '/') {
        why = "the device file must be an absolute path (usbtmc:///dev/usbtmc0)";
        return std::nullopt;
    }
    if (path.size() > kMaxPath) {
        why = "the device path is too long";
        return std::nullopt;
    }
    for (char c : path)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            why = "the device path holds a control character";
            return std::nullopt;
        }
    Address a;
    a.kind = Address::Kind::Usbtmc;
    a.path = std::string(path);
    return a;
}

}  // namespace

std::string Address::Text() const
{
    if (kind == Kind::Usbtmc)
        return std::string(kUsbtmc) + path;
    const bool v6 = host.find(':') != std::string::npos;
    return std::string(kTcp) + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<Address> ParseAddress(std::string_view text, std::string& why)
{
    if (text.substr(0, kTcp.size()) == kTcp)
        return Tcp(text.substr(kTcp.size()), why);
    if (text.substr(0, kUsbtmc.size()) == kUsbtmc)
        return Usbtmc(text.substr(kUsbtmc.size()), why);
    why = "a meter is named tcp://HOST[:PORT] or usbtmc:///dev/usbtmcN";
    return std::nullopt;
}

}  // namespace meter
