#include "registry.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace registry {
namespace {

struct Value {
    uint32_t type = 0;
    std::string bytes;
    uint32_t reportedSize = 0;
};

using KeyId = std::pair<uint32_t, std::string>;  // root, lower-case path
using Values = std::map<std::string, Value>;     // lower-case name -> value

struct Store {
    bool filled = false;  // set by any explicit filling, also by Clear
    std::map<KeyId, Values> keys;
    std::map<Handle, KeyId> open;
    Handle next = 1;
};

Store& store()
{
    static Store s;
    return s;
}

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// Key paths are written with "\"; a leading or trailing one does not count.
std::string keyPath(const std::string& path)
{
    std::string p = lower(path);
    while (!p.empty() && p.front() == '\\')
        p.erase(p.begin());
    while (!p.empty() && p.back() == '\\')
        p.pop_back();
    return p;
}

bool isExecutableFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

int32_t OpenKey(uint32_t root, const std::string& path, uint32_t /*access*/, Handle& key)
{
    Store& s = store();
    if (!s.filled)
        UseSystemDefaults();
    const KeyId id{root, keyPath(path)};
    if (s.keys.find(id) == s.keys.end())
        return kNotFound;
    key = s.next++;
    s.open[key] = id;
    return kSuccess;
}

int32_t QueryValue(Handle key, const std::string& name, uint32_t& type, uint8_t* data, uint32_t& size)
{
    Store& s = store();
    const auto h = s.open.find(key);
    if (h == s.open.end())
        return kInvalidHandle;
    const auto k = s.keys.find(h->second);
    if (k == s.keys.end())
        return kNotFound;
    const auto v = k->second.find(lower(name));
    if (v == k->second.end())
        return kNotFound;
    const Value& value = v->second;
    type = value.type;
    const uint32_t capacity = size;
    size = value.reportedSize;
    if (value.bytes.size() > capacity || value.reportedSize > capacity)
        return kMoreData;
    if (data != nullptr)
        std::memcpy(data, value.bytes.data(), value.bytes.size());
    return kSuccess;
}

int32_t CloseKey(Handle key) { return store().open.erase(key) == 1 ? kSuccess : kInvalidHandle; }

size_t OpenKeyCount() { return store().open.size(); }

void Clear()
{
    Store& s = store();
    s.keys.clear();
    s.filled = true;
}

void SetValue(uint32_t root, const std::string& path, const std::string& name, uint32_t type,
              const std::string& bytes, uint32_t reportedSize)
{
    Store& s = store();
    s.filled = true;
    s.keys[{root, keyPath(path)}][lower(name)] = Value{type, bytes, reportedSize};
}

void SetText(uint32_t root, const std::string& path, const std::string& name, const std::string& text,
             bool sizeCountsZero)
{
    std::string bytes = text;
    bytes.push_back('\0');
    const auto size = static_cast<uint32_t>(sizeCountsZero ? bytes.size() : text.size());
    SetValue(root, path, name, kTypeText, bytes, size);
}

void SetNumber(uint32_t root, const std::string& path, const std::string& name, uint32_t value)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    SetValue(root, path, name, kTypeNumber, bytes, 4);
}

std::string FindSystemInfoTool()
{
    // Desktop tools that show the machine's hardware and system summary.
    static const char* const kTools[] = {"hardinfo2", "hardinfo", "kinfocenter", "cpu-x", "lshw-gtk"};
    const char* env = std::getenv("PATH");
    const std::string path = env != nullptr ? env : "";
    for (const char* tool : kTools) {
        size_t start = 0;
        while (start <= path.size()) {
            const size_t end = std::min(path.find(':', start), path.size());
            const std::string dir = path.substr(start, end - start);
            if (!dir.empty() && dir.front() == '/') {  // relative PATH entries are not trusted
                const std::string candidate = dir + "/" + tool;
                if (isExecutableFile(candidate))
                    return candidate;
            }
            start = end + 1;
        }
    }
    return {};
}

void UseSystemDefaults()
{
    Clear();
    const std::string tool = FindSystemInfoTool();
    if (!tool.empty())
        SetText(kLocalMachine, kSysInfoKey, kSysInfoValue, tool);
}

}  // namespace registry
