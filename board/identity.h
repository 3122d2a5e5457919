#pragma once
// Which board the program works with: a real one on USB or the simulated
// board. Every surface that says so (titles, About, *IDN?, SYSTem:BOARD?, the
// data file's companion) asks here.
#include <string>

struct BoardIdentity {
    bool simulated = false;
    // "USB,<bus>-<ports>,<serial>" or "SIMULATED,<its options>"; a library
    // that cannot tell gives "USB,unknown,0".
    std::string text;
    // "SIMULATED", or the real board's serial number ("0" when it has none).
    std::string serial;
};

// The board opened now, as the interface library describes it.
BoardIdentity CurrentBoardIdentity();

// " (simulated board)" while the simulated board is in use, otherwise empty:
// what the windows' titles end in.
std::string SimulatedBoardMark();

// Asks for the simulated board before the library's first search (the
// programs' --simulate). Options already given in EVLINK_SIM are kept.
void AskForSimulatedBoard();

// True when `arguments` hold --simulate; asks for the simulated board then.
template <class List>
bool SimulateIfAsked(const List& arguments)
{
    for (const auto& a : arguments)
        if (a == "--simulate") {
            AskForSimulatedBoard();
            return true;
        }
    return false;
}

// One line on standard error when the simulated board is in use.
void AnnounceSimulatedBoard(const std::string& program);
