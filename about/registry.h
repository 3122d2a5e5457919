#pragma once
// A small read-only registry: keys under a root, each holding named values of a
// type (1 text, 4 number) with raw bytes and the size a query reports. The
// About box reads it with the three operations below, as it would read the
// desktop's registry. The store starts empty; on Linux the system-information
// key answers with an installed system-information tool found on PATH (see
// UseSystemDefaults). Tests fill it with their own keys and values.
#include <cstddef>
#include <cstdint>
#include <string>

namespace registry {

using Handle = uint32_t;

constexpr uint32_t kLocalMachine = 0x80000002;
constexpr uint32_t kAllAccess = 0x2003F;
constexpr uint32_t kTypeText = 1;
constexpr uint32_t kTypeNumber = 4;

// Status codes of the operations.
constexpr int32_t kSuccess = 0;
constexpr int32_t kNotFound = 2;
constexpr int32_t kAccessDenied = 5;
constexpr int32_t kInvalidHandle = 6;
constexpr int32_t kMoreData = 234;

// The system-information key and value the About box looks up first.
constexpr const char* kSysInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* kSysInfoValue = "PATH";

// Opens `path` under `root`. Key paths compare without regard to case. The
// store is read-only whatever access is asked for, so the mask is not checked.
int32_t OpenKey(uint32_t root, const std::string& path, uint32_t access, Handle& key);

// Copies the value's bytes into `data` (capacity `size` bytes). On return
// `type` is the value's type and `size` the size the value reports. A value
// that does not fit returns kMoreData and copies nothing.
int32_t QueryValue(Handle key, const std::string& name, uint32_t& type, uint8_t* data, uint32_t& size);

int32_t CloseKey(Handle key);

// Keys opened and not yet closed.
size_t OpenKeyCount();

// ---- filling the store

// Empties the store; the defaults below are not added afterwards.
void Clear();
// A value with its raw bytes and the size its query reports (which may or may
// not count a terminating zero that the bytes hold).
void SetValue(uint32_t root, const std::string& path, const std::string& name, uint32_t type,
              const std::string& bytes, uint32_t reportedSize);
// A text value stored with its terminating zero, reported with or without it.
void SetText(uint32_t root, const std::string& path, const std::string& name, const std::string& text,
             bool sizeCountsZero = true);
// A 32-bit number, little-endian, reported size 4.
void SetNumber(uint32_t root, const std::string& path, const std::string& name, uint32_t value);

// Empties the store and adds what this system offers: the system-information
// key's PATH value when a known system-information tool is on PATH. Runs by
// itself at the first OpenKey unless the store was filled or cleared before.
void UseSystemDefaults();

// The first known system-information tool on PATH, or "" when none is there.
std::string FindSystemInfoTool();

}  // namespace registry
