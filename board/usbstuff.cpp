#include "usbstuff.h"

#include "boardlink.h"
#include "declare.h"
#include "evlinkbind.h"
#include "platform/msgbox.h"
#include "platform/programend.h"

#include <array>
#include <climits>
#include <unistd.h>

namespace {
constexpr const char* kFirmwareName = "/QV4816.hex";

std::string& directorySlot()
{
    static std::string dir;
    return dir;
}
}  // namespace

std::string ProgramDirectory()
{
    if (directorySlot().empty()) {
        std::array<char, PATH_MAX + 1> buf{};
        const ssize_t n = readlink("/proc/self/exe", buf.data(), PATH_MAX);
        std::string dir = n > 0 ? std::string(buf.data(), static_cast<size_t>(n)) : std::string();
        const size_t slash = dir.rfind('/');
        if (slash == std::string::npos)
            dir.assign(1, '.');
        else
            dir.resize(slash == 0 ? 1 : slash);  // the root keeps its slash
        directorySlot().swap(dir);
    }
    return directorySlot();
}

void SetProgramDirectory(std::string dir) { directorySlot() = std::move(dir); }

bool FirmwarePathToBytes(const std::string& path)
{
    // The buffer holds 512 bytes and the terminator. A longer path is refused
    // whole rather than cut short or written past the end.
    if (path.size() > State.FirmwarePathBytes.size() - 1)
        return false;
    size_t i = 0;
    for (const char c : path)
        State.FirmwarePathBytes[i++] = static_cast<uint8_t>(c);
    State.FirmwarePathBytes[i] = 0;
    return true;
}

bool PrepareFirmwarePath()
{
    State.FirmwarePath = ProgramDirectory() + kFirmwareName;
    return FirmwarePathToBytes(State.FirmwarePath);
}

int16_t ConnectBoard()
{
    std::array<uint8_t, 128> boards{};
    int32_t count = 0;
    Evlink4::Search_For_Boards(kBoardVendorId, kBoardProductId, count, boards[0]);
    Evlink4::Connect(kBoardVendorId, kBoardProductId, boards[0], State.BoardHandle);
    if (!PrepareFirmwarePath())
        return -1;
    return Evlink4::Download_Firmware(State.BoardHandle, State.FirmwarePathBytes[0]);
}

void EnsureBoardConnected()
{
    for (;;) {
        if (ConnectBoard() == 0)
            return;
        const MsgAnswer answer =
            MsgBox("Failed to initialise Demo board.\r\nInsure that the board is connected to a USB port and click Retry",
                   MsgButtons::RetryCancel, MsgIcon::Exclamation, "Failed to initialise Demo board");
        if (answer != MsgAnswer::Retry)
            EndProgram();
    }
}

void LoadFirmwareOrEnd()
{
    const bool fits = PrepareFirmwarePath();
    const int16_t status = fits ? Evlink1::LoadFirmWare(State.FirmwarePathBytes[0]) : int16_t{0};
    if (status < 1) {
        MsgBox("Error Downloading Firmware - Check USB connections", MsgButtons::Ok, MsgIcon::Exclamation,
               ProgramTitle());
        EndProgram();
    }
}
