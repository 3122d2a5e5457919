#include "boardlink.h"

#include "runtime/msgbox.h"

namespace {
const Edition* current = nullptr;
std::unique_ptr<BoardLink>& linkSlot()
{
    static std::unique_ptr<BoardLink> link;
    return link;
}
}  // namespace

void UseEdition(const Edition& edition)
{
    current = &edition;
    linkSlot() = edition.makeLink();
    SetProgramTitle(edition.title);
}

const Edition& CurrentEdition() { return current != nullptr ? *current : SecondEdition(); }

BoardLink& Board()
{
    if (!linkSlot())
        UseEdition(CurrentEdition());
    return *linkSlot();
}
