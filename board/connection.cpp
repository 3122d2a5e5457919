#include "connection.h"

#include "boardlink.h"
#include "primitives.h"
#include "evlinkbind.h"
#include "runtime/msgbox.h"
#include "runtime/programend.h"

#include <array>
#include <climits>
#include <optional>
#include <unistd.h>

namespace {
constexpr const char* kFirmwareName = "/QV4816.hex";

// Unset until first asked; empty when the directory is unknown.
std::optional<std::string>& directorySlot()
{
    static std::optional<std::string> dir;
    return dir;
}
}  // namespace

std::string LinkedDirectory(const char* link)
{
    // A path the system cannot give whole (longer than its limit) leaves the
    // directory unknown: never the current folder in its place.
    std::array<char, PATH_MAX + 1> buf{};
    const ssize_t n = readlink(link, buf.data(), buf.size());
    if (n <= 0 || n >= static_cast<ssize_t>(buf.size()))
        return {};
    const std::string path(buf.data(), static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return path.substr(0, slash == 0 ? 1 : slash);  // the root keeps its slash
}

std::string ProgramDirectory()
{
    if (!directorySlot())
        directorySlot() = LinkedDirectory("/proc/self/exe");
    return *directorySlot();
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
    const std::string dir = ProgramDirectory();
    if (dir.empty())
        return false;
    State.FirmwarePath = dir + kFirmwareName;
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
