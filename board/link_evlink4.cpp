#include "boardlink.h"
#include "primitives.h"
#include "dynlib.h"
#include "evlinkbind.h"
#include "connection.h"

#include <memory>

// The absolute path the library is bound by. The build writes the build tree's
// library here; `cmake --install` rewrites the installed program's copy in place
// with the installed library's path (cmake/bind-evlink4-path.sh finds the slot
// by its tag), much as it rewrites a program's run path. Not const, so that the
// compiler keeps the text in the program as written.
#define QV_EVLINK4_PATH_TAG "EVLINK4 library path:"
static_assert(sizeof(QV_EVLINK4_PATH_TAG QV_EVLINK4_PATH) <= 4096, "EVLINK4 library path too long");
extern "C" {
__attribute__((used)) char qv_evlink4_path_slot[4096] = QV_EVLINK4_PATH_TAG QV_EVLINK4_PATH;
}

namespace Evlink4 {
namespace {
using SearchFn = int16_t (*)(uint16_t, uint16_t, int32_t*, uint8_t*);
using ConnectFn = int16_t (*)(uint16_t, uint16_t, uint8_t, int32_t*);
using DownloadFn = int16_t (*)(int32_t, const uint8_t*);
using RequestFn = int16_t (*)(int32_t, uint8_t, int32_t, int32_t, uint8_t, uint16_t, uint8_t*);
using IdentityFn = int16_t (*)(int32_t, uint8_t*, int32_t);

struct Slots {
    SearchFn search = nullptr;
    ConnectFn connect = nullptr;
    DownloadFn download = nullptr;
    RequestFn request = nullptr;
    IdentityFn identity = nullptr;
    bool identityLooked = false;
};

LazyLibrary<Slots>& library()
{
    static LazyLibrary<Slots> lib(qv_evlink4_path_slot + sizeof(QV_EVLINK4_PATH_TAG) - 1);
    return lib;
}

LazyLibrary<Slots>::Bound& binding() { return library().Get(); }
}  // namespace

const std::string& LibraryPath() { return library().Name(); }
void SetLibraryPath(std::string path) { library().Rename(std::move(path)); }

int16_t Search_For_Boards(uint16_t vendorId, uint16_t productId, int32_t& count, uint8_t& firstOfList)
{
    auto& b = binding();
    return Bind(b.lib, b.search, "Search_For_Boards")(vendorId, productId, &count, &firstOfList);
}

int16_t Connect(uint16_t vendorId, uint16_t productId, uint8_t board, int32_t& handle)
{
    auto& b = binding();
    return Bind(b.lib, b.connect, "Connect")(vendorId, productId, board, &handle);
}

int16_t Download_Firmware(int32_t handle, uint8_t& firstOfPath)
{
    auto& b = binding();
    return Bind(b.lib, b.download, "Download_Firmware")(handle, &firstOfPath);
}

std::string Board_Identity(int32_t handle)
{
    auto& b = binding();
    return IdentityText(b.lib, b.identity, b.identityLooked, "Board_Identity", [&](uint8_t* text, int32_t size) {
        return b.identity(handle, text, size);
    });
}

int16_t Vendor_Request(int32_t handle, uint8_t request, int32_t value, int32_t index, uint8_t direction,
                       uint16_t length, uint8_t& firstOfBuffer)
{
    auto& b = binding();
    return Bind(b.lib, b.request, "Vendor_Request")(handle, request, value, index, direction, length,
                                                    &firstOfBuffer);
}
}  // namespace Evlink4

namespace {
class SecondGenerationLink final : public BoardLink {
public:
    void ConnectStep() override { EnsureBoardConnected(); }
    std::string ConnectQuietly() override
    {
        if (ConnectBoard() == 0)
            return {};
        if (State.BoardHandle == 0)
            return "no evaluation board could be found or opened";
        return "the firmware " + State.FirmwarePath + " could not be loaded into the board";
    }
    int16_t VendorRequest(uint8_t code, int32_t value, int32_t index, uint8_t direction, uint16_t length,
                          uint8_t* buffer) override
    {
        return Evlink4::Vendor_Request(State.BoardHandle, code, value, index, direction, length, *buffer);
    }
    bool ClearsVerdictBeforeTest() const override { return false; }
    std::string IdentityText() override { return Evlink4::Board_Identity(State.BoardHandle); }
};
}  // namespace

const Edition& SecondEdition()
{
    // The project's version, from the top CMakeLists.txt.
    static const Edition e{"QV4816X", QV_VERSION_MAJOR, QV_VERSION_MINOR, QV_VERSION_PATCH,
                           [] { return std::unique_ptr<BoardLink>(new SecondGenerationLink); }};
    return e;
}
