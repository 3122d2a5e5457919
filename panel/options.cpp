#include "options.h"

#include "board/boardlink.h"
#include "runtime/cmdline.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
std::string ProgramName(const char* argv0)
{
    std::string name = argv0 != nullptr ? argv0 : "qv4816x";
    const size_t slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::string VersionText(const Edition& e)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d.%02d.%04d (package %s)", e.major, e.minor, e.revision,
                  cmdline::PackageVersion());
    return buf;
}
}  // namespace

int ParsePanelOptions(const Edition& edition, int argc, const char* const* argv, PanelOptions& out)
{
    using V = cmdline::Option::Value;
    const cmdline::Program program{
        ProgramName(argc > 0 ? argv[0] : nullptr),
        "[--simulate] [--remote[=HOST:PORT]] [--idle-timeout=SECONDS]",
        std::string("The register panel of the QV4816X evaluation board (") + edition.title + ").",
        "Qt's own options are taken too: -platform NAME, -style NAME,\n"
        "-stylesheet FILE, -display DISPLAY, -geometry G, -reverse.\n"
        "The simulated board and the trace are chosen in the environment\n"
        "(EVLINK_SIM, EVLINK_TRACE): see the man page.",
        VersionText(edition),
        {
            {"remote", V::Optional, "HOST:PORT",
             "serve the SCPI commands of qv4816x-scpi while the\n"
             "panel runs (default 127.0.0.1:5025; port 0 picks a\n"
             "free one, printed on standard error)"},
            {"idle-timeout", V::Required, "SECONDS",
             "with --remote: close a client that sends nothing\n"
             "and takes no answer for this long (default 300;\n"
             "0 never), unless a sweep or self-test runs or it\n"
             "waits for one"},
            {"simulate", V::None, {},
             "work with the simulated board, which behaves like\n"
             "the device (without it, or EVLINK_SIM, only a real\n"
             "board on USB is used)"},

            // Qt's own, read by the application object.
            {"platform", V::Required, "NAME", {}, 0, true},
            {"style", V::Required, "NAME", {}, 0, true},
            {"stylesheet", V::Required, "FILE", {}, 0, true},
            {"display", V::Required, "DISPLAY", {}, 0, true},
            {"geometry", V::Required, "GEOMETRY", {}, 0, true},
            {"qwindowgeometry", V::Required, "GEOMETRY", {}, 0, true},
            {"qwindowtitle", V::Required, "TITLE", {}, 0, true},
            {"reverse", V::None, {}, {}, 0, true},
        },
    };
    cmdline::Parsed parsed;
    if (const int status = cmdline::Parse(program, argc, argv, parsed); status >= 0)
        return status;
    out = PanelOptions{};
    out.simulate = parsed.Has("simulate");
    out.remote = parsed.Has("remote");
    out.remoteAddress = parsed.Value("remote").value_or("");
    if (const auto idle = parsed.Value("idle-timeout")) {
        char* end = nullptr;
        const long seconds = std::strtol(idle->c_str(), &end, 10);
        if (idle->empty() || *end != '\0' || seconds < 0 || seconds > 24L * 3600 * 365)
            return cmdline::Fail(program, "--idle-timeout needs a number of seconds, 0 or more");
        out.idleSeconds = static_cast<int>(seconds);
    }
    return -1;
}
