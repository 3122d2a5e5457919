#include "front.h"

#include "options.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <limits>

namespace evlink {
namespace {

constexpr std::size_t kBoardListBytes = 128;
constexpr int16_t kFailed = -1;
constexpr int16_t kFirstGenerationLoaded = 1;
constexpr int16_t kFirstGenerationFailed = 0;
const char* const kInvalidParam = "INVALID_PARAM";

std::string Format(const char* fmt, auto... args)
{
    std::array<char, 160> text{};
    const int n = std::snprintf(text.data(), text.size(), fmt, args...);
    return std::string(text.data(), n < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(n), text.size() - 1));
}

// The zero-terminated path, or an empty optional when there is none.
std::optional<std::string> PathOf(const uint8_t* path, std::string& why)
{
    if (path == nullptr) {
        why = "no path given";
        return std::nullopt;
    }
    const auto* text = reinterpret_cast<const char*>(path);
    const std::size_t n = strnlen(text, kMaxPathBytes + 1);
    if (n > kMaxPathBytes) {
        why = "the path has no terminator within " + std::to_string(kMaxPathBytes) + " bytes";
        return std::nullopt;
    }
    return std::string(text, n);
}

std::string WithWhy(std::string line, const std::string& why)
{
    if (!why.empty())
        line += " why=" + Printable(why);
    return line;
}

int16_t StatusCode(const Status& s)
{
    if (s.ok())
        return 0;
    if (s.code < std::numeric_limits<int16_t>::min() || s.code > std::numeric_limits<int16_t>::max() || s.code == 0)
        return kFailed;
    return static_cast<int16_t>(s.code);
}

}  // namespace

Front::Front(std::vector<Driver*> drivers, Trace* trace) : drivers_(std::move(drivers)), trace_(trace) {}

void Front::TraceLine(const std::string& line)
{
    if (trace_ != nullptr)
        trace_->Line(line);
}

int Front::ScanAll()
{
    counts_.clear();
    int total = 0;
    for (Driver* d : drivers_) {
        const int n = std::max(0, d->scan());
        counts_.push_back(n);
        total += n;
    }
    scanned_ = true;
    return total;
}

Front::Opened Front::OpenNumber(int number, std::string& why)
{
    if (!scanned_)
        ScanAll();
    int first = 1;
    for (std::size_t i = 0; i < drivers_.size(); ++i) {
        if (number >= first && number < first + counts_[i]) {
            Opened o{drivers_[i], number - first, nullptr};
            for (Opened* earlier : ByBoard(o.driver, o.index))
                earlier->board.reset();
            o.board = o.driver->open(o.index, why);
            if (o.board == nullptr && why.empty())
                why = std::string(o.driver->name()) + " cannot be opened";
            return o;
        }
        first += counts_[i];
    }
    why = "no board " + std::to_string(number);
    return {};
}

std::vector<Front::Opened*> Front::ByBoard(Driver* driver, int index)
{
    std::vector<Opened*> found;
    for (Opened& o : boards_)
        if (o.driver == driver && o.index == index)
            found.push_back(&o);
    if (firstGeneration_.driver == driver && firstGeneration_.index == index)
        found.push_back(&firstGeneration_);
    return found;
}

Board* Front::ByHandle(int32_t handle)
{
    if (handle < 1 || static_cast<std::size_t>(handle) > boards_.size())
        return nullptr;
    return boards_[static_cast<std::size_t>(handle) - 1].board.get();
}

int16_t Front::Search(uint16_t vendorId, uint16_t productId, int32_t* boardCount, uint8_t* boardList)
{
    std::lock_guard lock(mutex_);
    const int total = ScanAll();
    if (boardCount != nullptr)
        *boardCount = total;
    if (boardList != nullptr)
        for (std::size_t i = 0; i < kBoardListBytes; ++i)
            boardList[i] = static_cast<int>(i) < total ? static_cast<uint8_t>(i + 1) : 0;
    TraceLine(Format("search vid=0x%04X pid=0x%04X -> board=%d", vendorId, productId, total > 0 ? 1 : 0));
    return total > 0 ? 0 : kFailed;
}

int16_t Front::Connect(uint16_t vendorId, uint16_t productId, uint8_t board, int32_t* handle)
{
    std::lock_guard lock(mutex_);
    std::string why;
    int32_t opened = 0;
    if (handle == nullptr) {
        why = "no handle variable given";
    } else if (Opened o = OpenNumber(board, why); o.board != nullptr) {
        boards_.push_back(std::move(o));
        opened = static_cast<int32_t>(boards_.size());
    }
    if (handle != nullptr)
        *handle = opened;
    TraceLine(WithWhy(Format("connect vid=0x%04X pid=0x%04X board=%d -> handle=%d", vendorId, productId, board, opened),
                      why));
    return opened != 0 ? 0 : kFailed;
}

int16_t Front::Download(int32_t handle, const uint8_t* path)
{
    std::lock_guard lock(mutex_);
    std::string why;
    const auto file = PathOf(path, why);
    bool loaded = false;
    if (file) {
        if (Board* b = ByHandle(handle))
            loaded = b->loadFirmware(*file, why);
        else
            why = "no board is open with handle " + std::to_string(handle);
    }
    const int16_t status = loaded ? 0 : kFailed;
    TraceLine(WithWhy("download path=" + Printable(file.value_or("")) + Format(" -> status=%d", status), why));
    return status;
}

int16_t Front::LoadFirmware(const uint8_t* path)
{
    std::lock_guard lock(mutex_);
    std::string why;
    const auto file = PathOf(path, why);
    firstGeneration_ = {};
    if (file) {
        if (ScanAll() == 0) {
            why = "no board found";
        } else if (Opened o = OpenNumber(1, why); o.board != nullptr && o.board->loadFirmware(*file, why)) {
            firstGeneration_ = std::move(o);
        }
    }
    const int16_t status = firstGeneration_.board ? kFirstGenerationLoaded : kFirstGenerationFailed;
    TraceLine(WithWhy("loadfirmware path=" + Printable(file.value_or("")) + Format(" -> status=%d", status), why));
    return status;
}

int16_t Front::Request(int32_t handle, int request, int32_t value, int32_t index, int direction, int length,
                       uint8_t* buffer)
{
    std::lock_guard lock(mutex_);
    return StatusCode(Carry(ByHandle(handle), request, value, index, direction, length, buffer, "INVALID_HANDLE"));
}

int16_t Front::RequestFirst(int request, int32_t value, int32_t index, int direction, int length, uint8_t* buffer)
{
    std::lock_guard lock(mutex_);
    return StatusCode(Carry(firstGeneration_.board.get(), request, value, index, direction, length, buffer, "NOT_OPEN"));
}

int16_t Front::CopyIdentity(const Board* board, uint8_t* text, int size)
{
    if (board == nullptr || text == nullptr || size < 1)
        return kFailed;
    const std::string id = board->identity();
    const std::size_t n = std::min(id.size(), static_cast<std::size_t>(size) - 1);
    std::memcpy(text, id.data(), n);
    text[n] = 0;
    return 0;
}

// Not traced: the identity is the program's own business, not the board's.
int16_t Front::Identity(int32_t handle, uint8_t* text, int size)
{
    std::lock_guard lock(mutex_);
    return CopyIdentity(ByHandle(handle), text, size);
}

int16_t Front::IdentityFirst(uint8_t* text, int size)
{
    std::lock_guard lock(mutex_);
    return CopyIdentity(firstGeneration_.board.get(), text, size);
}

Status Front::Carry(Board* board, int request, int32_t value, int32_t index, int direction, int length,
                    uint8_t* buffer, const char* noBoard)
{
    Status status;
    if (request < 0 || request > 0xFF || (direction != 0 && direction != 1) || length < 0 || length > 0xFFFF ||
        (length > 0 && buffer == nullptr)) {
        status = Status{kFailed, kInvalidParam};
    } else if (board == nullptr) {
        status = Status{kFailed, noBoard};
    } else if (direction == 1 && length > 0) {
        // Read into a scratch buffer and hand it over only on success, so that
        // a failed read leaves the caller's buffer exactly as it was.
        std::array<uint8_t, 64> small{};
        std::vector<uint8_t> large;
        uint8_t* scratch = small.data();
        if (static_cast<std::size_t>(length) > small.size()) {
            large.resize(static_cast<std::size_t>(length));
            scratch = large.data();
        }
        std::memcpy(scratch, buffer, static_cast<std::size_t>(length));
        status = board->vendorRequest(static_cast<uint8_t>(request), static_cast<uint16_t>(value),
                                      static_cast<uint16_t>(index), 1, static_cast<uint16_t>(length), scratch);
        if (status.ok())
            std::memcpy(buffer, scratch, static_cast<std::size_t>(length));
    } else {
        status = board->vendorRequest(static_cast<uint8_t>(request), static_cast<uint16_t>(value),
                                      static_cast<uint16_t>(index), static_cast<uint8_t>(direction),
                                      static_cast<uint16_t>(length), buffer);
    }
    if (!status.ok() && status.error.empty())
        status.error = "FAILED";
    if (trace_ != nullptr)
        TraceRequest(request, value, index, direction, length, buffer, status);
    return status;
}

void Front::TraceRequest(int request, int32_t value, int32_t index, int direction, int length, const uint8_t* buffer,
                         const Status& status)
{
    std::string line = Format("request code=%d dir=%d value=0x%04X index=0x%04X length=%d", request, direction,
                              static_cast<unsigned>(value) & 0xFFFF, static_cast<unsigned>(index) & 0xFFFF, length);
    if (!status.ok()) {
        line += " -> error=" + Printable(status.error);
    } else if (direction == 1 && length > 0) {
        line += " ->";
        for (int i = 0; i < length; ++i)
            line += Format(" %02X", buffer[i]);
    }
    TraceLine(line);
}

std::vector<Driver*> ArrangeDrivers(const Options& options, Driver* usb, Driver* sim)
{
    std::vector<Driver*> list;
    if (usb != nullptr && !options.only)
        list.push_back(usb);
    if (sim != nullptr && !options.absent)
        list.push_back(sim);
    return list;
}

}  // namespace evlink
