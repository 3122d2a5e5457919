#include "probe.h"

#include <atomic>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace evlink::sim {
namespace {

constexpr char kMagic[8] = {'Q', 'V', 'P', 'R', 'O', 'B', 'E', '1'};
constexpr size_t kSequenceAt = 8;
constexpr size_t kVoltsAt = 16;
constexpr int kReadAttempts = 10000;

std::atomic_ref<uint64_t> Word(const unsigned char* map, size_t offset)
{
    // The mapping is page aligned and every word sits at a multiple of 8.
    return std::atomic_ref<uint64_t>(*reinterpret_cast<uint64_t*>(const_cast<unsigned char*>(map) + offset));
}

bool AllZero(const unsigned char* bytes, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (bytes[i] != 0)
            return false;
    return true;
}

}  // namespace

ProbeWriter::ProbeWriter(const std::string& path, std::string& why)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0) {
        why = std::strerror(errno);
        return;
    }
    struct stat st{};
    unsigned char head[kProbeBytes] = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = "not a regular file";
    } else if (st.st_size != 0 && st.st_size != static_cast<off_t>(kProbeBytes)) {
        why = "the file holds something else (" + std::to_string(st.st_size) + " bytes); it is left alone";
    } else if (st.st_size != 0 && (::pread(fd, head, sizeof head, 0) != static_cast<ssize_t>(sizeof head) ||
                                    (std::memcmp(head, kMagic, sizeof kMagic) != 0 && !AllZero(head, sizeof head)))) {
        why = "the file holds something else; it is left alone";
    } else if (::ftruncate(fd, kProbeBytes) != 0) {
        why = std::strerror(errno);
    } else {
        void* map = ::mmap(nullptr, kProbeBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (map == MAP_FAILED)
            why = std::strerror(errno);
        else
            map_ = static_cast<unsigned char*>(map);
    }
    ::close(fd);
    if (map_ != nullptr) {
        std::memcpy(map_, kMagic, sizeof kMagic);
        Publish({0, 0, 0, 0});
    }
}

ProbeWriter::~ProbeWriter()
{
    if (map_ == nullptr)
        return;
    Publish({0, 0, 0, 0});
    ::munmap(map_, kProbeBytes);
}

void ProbeWriter::Publish(const std::array<double, 4>& volts)
{
    if (map_ == nullptr)
        return;
    auto sequence = Word(map_, kSequenceAt);
    const uint64_t s = sequence.load(std::memory_order_relaxed) | 1;  // odd: being written
    sequence.store(s, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    for (size_t i = 0; i < 4; ++i)
        Word(map_, kVoltsAt + 8 * i).store(std::bit_cast<uint64_t>(volts[i]), std::memory_order_relaxed);
    sequence.store(s + 1, std::memory_order_release);
}

ProbeReader::~ProbeReader()
{
    if (map_ != nullptr)
        ::munmap(const_cast<unsigned char*>(map_), kProbeBytes);
}

bool ProbeReader::Map()
{
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st{};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == static_cast<off_t>(kProbeBytes)) {
        void* map = ::mmap(nullptr, kProbeBytes, PROT_READ, MAP_SHARED, fd, 0);
        if (map != MAP_FAILED)
            map_ = static_cast<const unsigned char*>(map);
    }
    ::close(fd);
    return map_ != nullptr;
}

bool ProbeReader::Read(std::array<double, 4>& volts)
{
    volts = {0, 0, 0, 0};
    if (map_ == nullptr && !Map())
        return false;
    if (std::memcmp(map_, kMagic, sizeof kMagic) != 0)
        return false;
    auto sequence = Word(map_, kSequenceAt);
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        const uint64_t before = sequence.load(std::memory_order_acquire);
        if (before & 1)
            continue;
        for (size_t i = 0; i < 4; ++i)
            volts[i] = std::bit_cast<double>(Word(map_, kVoltsAt + 8 * i).load(std::memory_order_relaxed));
        std::atomic_thread_fence(std::memory_order_acquire);
        if (sequence.load(std::memory_order_relaxed) == before)
            return true;
    }
    // A writer that died in the middle: take the values as they stand.
    return true;
}

}  // namespace evlink::sim
