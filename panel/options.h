#pragma once
// The command line of both panel programs: one option table for the two,
// read before the application object exists, so that --help, --version and a
// bad option never need a display.
#include <string>

struct Edition;

struct PanelOptions {
    bool remote = false;        // --remote[=HOST:PORT]
    std::string remoteAddress;  // empty: 127.0.0.1:5025
    bool simulate = false;      // --simulate (board/identity.h reads it too)
    int idleSeconds = -1;       // --idle-timeout=SECONDS; -1: the server's default
};

// Parses argv for the program of `edition`; -1 to go on, otherwise the status
// to end with (after --help, --version or a complaint on standard error).
int ParsePanelOptions(const Edition& edition, int argc, const char* const* argv, PanelOptions& out);
