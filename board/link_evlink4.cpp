#include "boardlink.h"
#include "declare.h"
#include "dynlib.h"
#include "evlinkbind.h"
#include "usbstuff.h"

#include <memory>

namespace Evlink4 {
namespace {
using SearchFn = int16_t (*)(uint16_t, uint16_t, int32_t*, uint8_t*);
using ConnectFn = int16_t (*)(uint16_t, uint16_t, uint8_t, int32_t*);
using DownloadFn = int16_t (*)(int32_t, const uint8_t*);
using RequestFn = int16_t (*)(int32_t, uint8_t, int32_t, int32_t, uint8_t, uint16_t, uint8_t*);

struct Slots {
    SearchFn search = nullptr;
    ConnectFn connect = nullptr;
    DownloadFn download = nullptr;
    RequestFn request = nullptr;
};

LazyLibrary<Slots>& library()
{
    static LazyLibrary<Slots> lib(QV_EVLINK4_PATH);
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
};
}  // namespace

const Edition& SecondEdition()
{
    static const Edition e{"QV4816X", 1, 1, 6, [] { return std::unique_ptr<BoardLink>(new SecondGenerationLink); }};
    return e;
}
