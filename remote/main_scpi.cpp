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
#include "runtime/msgbox.h"
#include "runtime/processstart.h"
#include "runtime/runtimeerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

namespace {
const char* const kUsage =
    "Usage: qv4816x-scpi [--listen HOST:PORT] [--stdio] [--idle-timeout SECONDS]\n"
    "                    [--first-version] [--simulate] [--data-dir DIR] [--verbose]\n"
    "Serves the QV4816X evaluation board as an SCPI instrument.\n"
    "\n"
    "  --listen HOST:PORT  SCPI over TCP (default 127.0.0.1:5025 when no\n"
    "                      transport is named); port 0 picks a free port and\n"
    "                      prints it. Any address but a loopback one lets\n"
    "                      everybody who can reach the port control the board.\n"
    "  --stdio             commands on standard input, answers on standard\n"
    "                      output; the program ends when input ends (unless it\n"
    "                      also listens)\n"
    "  --idle-timeout SECONDS  close a TCP connection that sends nothing and\n"
    "                      takes no answer for this long (default 300; 0 never),\n"
    "                      unless a sweep or self-test runs or it waits for one\n"
    "  --first-version     bind the first version's interface library EVLINK1\n"
    "  --simulate          work with the simulated board (without it, only a\n"
    "                      real board on USB is used; EVLINK_SIM also asks for it)\n"
    "  --data-dir DIR      the one folder SWEep:SAVE writes into (default: the\n"
    "                      folder the server started in)\n"
    "  --verbose           log every connection, disconnection and refused\n"
    "                      command on standard error\n"
    "  --help              this text\n"
    "\n"
    "Commands: see docs/remote.md or man qv4816x-scpi.\n";

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
    QCoreApplication app(argc, argv);
    QString listen;
    bool stdio = false;
    bool first = false;
    int idleSeconds = remote::kDefaultIdleSeconds;
    QString dataDir = QDir::currentPath();
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--stdio") {
            stdio = true;
        } else if (a == "--first-version") {
            first = true;
        } else if (a == "--simulate") {
            AskForSimulatedBoard();
        } else if (a == "--verbose") {
            remote::LogVerbosely();
        } else if (a == "--data-dir" && i + 1 < args.size()) {
            dataDir = args[++i];
        } else if (a.startsWith("--data-dir=")) {
            dataDir = a.mid(11);
        } else if (a == "--listen" && i + 1 < args.size()) {
            listen = args[++i];
        } else if (a.startsWith("--listen=")) {
            listen = a.mid(9);
        } else if (a == "--idle-timeout" || a.startsWith("--idle-timeout=")) {
            bool ok = false;
            const QString value = a.contains('=') ? a.section('=', 1) : i + 1 < args.size() ? args[++i] : QString();
            idleSeconds = value.toInt(&ok);
            if (!ok || idleSeconds < 0) {
                std::fprintf(stderr, "qv4816x-scpi: --idle-timeout needs a number of seconds, 0 or more\n");
                return 2;
            }
        } else {
            std::fprintf(stderr, "qv4816x-scpi: unknown option '%s' (see --help)\n", qPrintable(a));
            return 2;
        }
    }
    if (!QFileInfo(dataDir).isDir()) {
        std::fprintf(stderr, "qv4816x-scpi: the data folder %s does not exist\n", qPrintable(dataDir));
        return 2;
    }
    remote::SetDataFolder(QFileInfo(dataDir).absoluteFilePath().toStdString());
    if (listen.isEmpty() && !stdio)
        listen = "127.0.0.1:5025";
    QHostAddress address;
    quint16 port = 0;
    if (!listen.isEmpty() && !remote::ParseHostPort(listen, address, port)) {
        std::fprintf(stderr, "qv4816x-scpi: not an address and port: %s (for example 127.0.0.1:5025)\n",
                     qPrintable(listen));
        return 2;
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
    if (server.Listening()) {
        std::FILE* note = stdio ? stderr : stdout;
        std::fprintf(note, "listening on %s:%u\n", qPrintable(server.Address().toString()), server.Port());
        std::fflush(note);
    }
    if (stdio)
        server.StartStdio([&server] {
            if (!server.Listening())
                QCoreApplication::exit(0);
        });
    return app.exec();
}
