#include "identity.h"

#include "boardlink.h"

#include <cstdio>
#include <cstdlib>

BoardIdentity CurrentBoardIdentity()
{
    BoardIdentity id;
    id.text = Board().IdentityText();
    if (id.text.empty())
        id.text = "USB,unknown,0";
    id.simulated = id.text.rfind("SIMULATED", 0) == 0;
    if (id.simulated) {
        id.serial = "SIMULATED";
    } else {
        const std::size_t comma = id.text.rfind(',');
        id.serial = comma == std::string::npos || comma + 1 == id.text.size() ? "0" : id.text.substr(comma + 1);
    }
    return id;
}

std::string SimulatedBoardMark() { return CurrentBoardIdentity().simulated ? " (simulated board)" : ""; }

void AskForSimulatedBoard()
{
    // The library reads its options at its first search; "only" leaves the
    // real boards out, so that the board asked for is the one used.
    setenv("EVLINK_SIM", "only", 0);
}

void AnnounceSimulatedBoard(const std::string& program)
{
    const BoardIdentity id = CurrentBoardIdentity();
    if (id.simulated)
        std::fprintf(stderr, "%s: working with the simulated board (%s), not a real one\n", program.c_str(),
                     id.text.c_str());
}
