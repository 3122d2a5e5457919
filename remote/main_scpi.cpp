// qv4816x-scpi: the evaluation board as a programmable instrument, without a
// window. SCPI over TCP and/or standard input and output.
#include "headless.h"
#include "instrument.h"
#include "datafolder.h"
#include "remotelog.h"
#include "server.h"

#include "board/boardlink.h"
#include "board/identity.h"
#include "board/primitives.h"
#include "board/ops.h"
#include "runtime/cmdline.h"
#include "runtime/msgbox.h"
#include "runtime/processstart.h"
#include "runtime/runtimeerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
const cmdline::Program& ScpiProgram()
{
    using V = cmdline::Option::Value;
    static const cmdline::Program program{
        "qv4816x-scpi",
        "[--listen HOST:PORT] [--stdio [--keep-going]] [--idle-timeout SECONDS]\n"
        "                    [--first-version] [--simulate] [--data-dir DIR] [--verbose]",
        "Serves the QV4816X evaluation board as an SCPI instrument.",
        "Commands: man qv4816x-scpi, or /usr/share/doc/qv4816x/remote.md.\n"
        "Exit status: 0 at the end of input; 1 when the board cannot be reached,\n"
        "or with --stdio when a command failed; 2 for a bad option.",
        cmdline::PackageVersion(),
        {
            {"listen", V::Required, "HOST:PORT",
             "SCPI over TCP (default 127.0.0.1:5025 when no\n"
             "transport is named); port 0 picks a free port and\n"
             "prints it. Any address but a loopback one lets\n"
             "everybody who can reach the port control the board."},
            {"stdio", V::None, {},
             "commands on standard input, answers on standard\n"
             "output; each error is reported on standard error as\n"
             "it happens. The program ends when input ends (unless\n"
             "it also listens), with status 1 if a command failed."},
            {"keep-going", V::None, {},
             "with --stdio: report errors but end with status 0"},
            {"idle-timeout", V::Required, "SECONDS",
             "close a TCP connection that sends nothing and takes\n"
             "no answer for this long (default 300; 0 never),\n"
             "unless a sweep or self-test runs or it waits for one"},
            {"first-version", V::None, {}, "bind the first version's interface library EVLINK1"},
            {"simulate", V::None, {},
             "work with the simulated board (without it, only a\n"
             "real board on USB is used; EVLINK_SIM also asks for it)"},
            {"data-dir", V::Required, "DIR",
             "the one folder SWEep:SAVE writes into (default: the\n"
             "folder the server started in)"},
            {"verbose", V::None, {},
             "log every connection, disconnection and refused\n"
             "command on standard error"},
        },
    };
    return program;
}

// A line as the error report shows it: printable ASCII only, at most 200
// characters.
std::string Shown(const std::string& line)
{
    std::string shown;
    for (const char c : line.substr(0, 200))
        shown += c >= ' ' && c <= '~' ? c : '?';
    return line.size() > 200 ? shown + "..." : shown;
}

std::string ConnectQuietly()
{
    try {
        return Board().ConnectQuietly();
    } catch (const RunTimeError& e) {
        return e.text();
    }
}
}  // namespace

int main(int argc, char* argv[])
{
    PrepareProcess();
    std::signal(SIGPIPE, SIG_IGN);  // a client gone while answered
    cmdline::Parsed args;
    if (const int status = cmdline::Parse(ScpiProgram(), argc, argv, args); status >= 0)
        return status;
    QString listen = QString::fromStdString(args.Value("listen").value_or(""));
    const bool stdio = args.Has("stdio");
    const bool first = args.Has("first-version");
    if (args.Has("keep-going") && !stdio)
        return cmdline::Fail(ScpiProgram(), "--keep-going goes with --stdio");
    int idleSeconds = remote::kDefaultIdleSeconds;
    if (const auto idle = args.Value("idle-timeout")) {
        char* end = nullptr;
        const long seconds = std::strtol(idle->c_str(), &end, 10);
        if (idle->empty() || *end != '\0' || seconds < 0 || seconds > 24L * 3600 * 365)
            return cmdline::Fail(ScpiProgram(), "--idle-timeout needs a number of seconds, 0 or more");
        idleSeconds = static_cast<int>(seconds);
    }
    QCoreApplication app(argc, argv);
    QString dataDir = QString::fromStdString(args.Value("data-dir").value_or(QDir::currentPath().toStdString()));
    if (args.Has("simulate"))
        AskForSimulatedBoard();
    if (args.Has("verbose"))
        remote::LogVerbosely();
    if (!QFileInfo(dataDir).isDir())
        return cmdline::Fail(ScpiProgram(), "the data folder " + dataDir.toStdString() + " does not exist");
    remote::SetDataFolder(QFileInfo(dataDir).absoluteFilePath().toStdString());
    if (listen.isEmpty() && !stdio)
        listen = "127.0.0.1:5025";
    QHostAddress address;
    quint16 port = 0;
    if (!listen.isEmpty() && !remote::ParseHostPort(listen, address, port)) {
        return cmdline::Fail(ScpiProgram(), "not an address and port: " + listen.toStdString() +
                                                " (for example 127.0.0.1:5025)");
    }

    UseEdition(first ? FirstEdition() : SecondEdition());
    // Nothing here may show a dialog: what a message box would say goes to
    // standard error, and the answer is the one that gives up.
    SetMsgBoxHandler([](const MsgBoxRequest& r) {
        std::fprintf(stderr, "qv4816x-scpi: %s\n", r.text.c_str());
        return r.buttons == MsgButtons::RetryCancel ? MsgAnswer::Cancel : MsgAnswer::Ok;
    });
    SetStartValues();
    HeadlessPanel panel;
    AttachPanel(&panel, nullptr);

    // The address first: when it cannot be bound, the board is not touched.
    Instrument instrument(panel);
    remote::Server server(instrument);
    server.SetIdleSeconds(idleSeconds);
    if (!listen.isEmpty()) {
        QString error;
        if (!server.Listen(listen, error)) {
            std::fprintf(stderr, "qv4816x-scpi: %s\n", qPrintable(error));
            return 1;
        }
    }

    const std::string why = ConnectQuietly();
    if (!why.empty()) {
        std::fprintf(stderr, "no board found: %s\n", why.c_str());
        return 1;
    }
    AnnounceSimulatedBoard("qv4816x-scpi");
    instrument.connect = ConnectQuietly;
    // The start-up traffic of the panel: pin word, pulse LDAC, read-all, ADC set-up.
    panel.ShowPulseLdac(true);
    try {
        ops::StartUpTraffic();
    } catch (const RunTimeError& e) {
        std::fprintf(stderr, "qv4816x-scpi: %s\n", e.text().c_str());
        return 1;
    }

    // With --stdio every error is told on standard error as it is queued, and
    // the program's status says whether any command failed.
    bool failed = false;
    instrument.stdioErrors = [&failed](const Session& s, int code, const std::string& info) {
        failed = true;
        const std::string error = scpi::ErrorLine(code, info);
        if (s.line.empty())
            std::fprintf(stderr, "qv4816x-scpi: %s\n", error.c_str());
        else
            std::fprintf(stderr, "qv4816x-scpi: %s in line %lld: %s\n", error.c_str(), s.lineNumber, Shown(s.line).c_str());
        std::fflush(stderr);
    };
    const bool keepGoing = args.Has("keep-going");

    if (server.Listening()) {
        std::FILE* note = stdio ? stderr : stdout;
        std::fprintf(note, "listening on %s:%u\n", qPrintable(server.Address().toString()), server.Port());
        std::fflush(note);
    }
    if (stdio)
        server.StartStdio([&server, &failed, keepGoing] {
            if (!server.Listening())
                QCoreApplication::exit(failed && !keepGoing ? 1 : 0);
        });
    return app.exec();
}
