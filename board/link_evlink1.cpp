#include "boardlink.h"
#include "primitives.h"
#include "dynlib.h"
#include "evlinkbind.h"
#include "connection.h"

#include <memory>

namespace Evlink1 {
namespace {
using LoadFn = int16_t (*)(const uint8_t*);
using RequestFn = int16_t (*)(int16_t, int32_t, int32_t, int16_t, int16_t, uint8_t*);
using IdentityFn = int16_t (*)(uint8_t*, int32_t);

struct Slots {
    LoadFn load = nullptr;
    RequestFn request = nullptr;
    IdentityFn identity = nullptr;
    bool identityLooked = false;
};

// Found through the program's run path, next to the executable; never
// through the current directory, which the file writer changes.
LazyLibrary<Slots>& library()
{
    static LazyLibrary<Slots> lib("libEVLINK1.so");
    return lib;
}

LazyLibrary<Slots>::Bound& binding() { return library().Get(); }
}  // namespace

const std::string& LibraryName() { return library().Name(); }
void SetLibraryName(std::string name) { library().Rename(std::move(name)); }

int16_t LoadFirmWare(uint8_t& firstOfPath)
{
    auto& b = binding();
    return Bind(b.lib, b.load, "LoadFirmWare")(&firstOfPath);
}

std::string BoardIdentity()
{
    auto& b = binding();
    return IdentityText(b.lib, b.identity, b.identityLooked, "BoardIdentity",
                        [&](uint8_t* text, int32_t size) { return b.identity(text, size); });
}

int16_t VendorIORequest(int16_t request, int32_t value, int32_t index, int16_t direction, int16_t length,
                        uint8_t& firstOfBuffer)
{
    auto& b = binding();
    return Bind(b.lib, b.request, "VendorIORequest")(request, value, index, direction, length, &firstOfBuffer);
}
}  // namespace Evlink1

namespace {
class FirstGenerationLink final : public BoardLink {
public:
    void ConnectStep() override { LoadFirmwareOrEnd(); }
    std::string ConnectQuietly() override
    {
        if (!PrepareFirmwarePath())
            return "the program's directory name is too long for the firmware path";
        if (Evlink1::LoadFirmWare(State.FirmwarePathBytes[0]) >= 1)
            return {};
        return "no evaluation board could be found, or the firmware " + State.FirmwarePath +
               " could not be loaded into it";
    }
    int16_t VendorRequest(uint8_t code, int32_t value, int32_t index, uint8_t direction, uint16_t length,
                          uint8_t* buffer) override
    {
        return Evlink1::VendorIORequest(code, value, index, direction, static_cast<int16_t>(length), *buffer);
    }
    std::string IdentityText() override { return Evlink1::BoardIdentity(); }
    bool ClearsVerdictBeforeTest() const override { return true; }
};
}  // namespace

const Edition& FirstEdition()
{
    static const Edition e{"QV4816X", 1, 1, 1, [] { return std::unique_ptr<BoardLink>(new FirstGenerationLink); }};
    return e;
}
