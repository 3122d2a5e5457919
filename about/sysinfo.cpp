#include "sysinfo.h"

#include "runtime/msgbox.h"
#include "about/registry.h"

#include <QProcess>
#include <QString>
#include <algorithm>
#include <array>
#include <sys/stat.h>

namespace {
constexpr uint32_t kValueBufferSize = 1024;
constexpr const char* kToolLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr const char* kToolLocationValue = "MSINFO";
constexpr const char* kToolFileName = "/MSINFO32.EXE";

class OpenKey {
public:
    OpenKey(uint32_t root, const std::string& path)
        : ok_(registry::OpenKey(root, path, registry::kAllAccess, handle_) == registry::kSuccess) {}
    ~OpenKey()
    {
        if (ok_)
            registry::CloseKey(handle_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    bool ok() const { return ok_; }
    registry::Handle handle() const { return handle_; }

private:
    registry::Handle handle_ = 0;
    bool ok_;
};

bool isFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool findTool(std::string& path)
{
    if (GetKeyValue(registry::kLocalMachine, registry::kSysInfoKey, registry::kSysInfoValue, path))
        return true;
    std::string dir;
    if (GetKeyValue(registry::kLocalMachine, kToolLocationKey, kToolLocationValue, dir) &&
        isFile(dir + kToolFileName)) {
        path = dir + kToolFileName;
        return true;
    }
    return false;
}
}  // namespace

bool GetKeyValue(uint32_t KeyRoot, const std::string& KeyName, const std::string& SubKeyRef, std::string& KeyVal)
{
    const OpenKey key(KeyRoot, KeyName);
    if (!key.ok()) {
        KeyVal.clear();
        return false;
    }
    std::array<uint8_t, kValueBufferSize> buffer{};
    uint32_t size = kValueBufferSize;
    uint32_t type = 0;
    if (registry::QueryValue(key.handle(), SubKeyRef, type, buffer.data(), size) != registry::kSuccess) {
        KeyVal.clear();
        return false;
    }
    // A reported size that counts the terminating zero leaves it out.
    size_t kept = std::min(size, kValueBufferSize);
    if (kept > 0 && buffer[kept - 1] == 0)
        --kept;
    if (type == registry::kTypeText) {
        KeyVal.assign(reinterpret_cast<const char*>(buffer.data()), kept);
    } else if (type == registry::kTypeNumber) {
        uint32_t value = 0;
        for (size_t i = 0; i < std::min<size_t>(kept, 4); ++i)
            value |= static_cast<uint32_t>(buffer[i]) << (8 * i);
        KeyVal = std::to_string(value);
    }
    return true;
}

void StartSysInfo()
{
    std::string path;
    bool started = false;
    try {
        started = findTool(path) && !path.empty() && QProcess::startDetached(QString::fromStdString(path), {});
    } catch (const std::exception&) {
        started = false;
    }
    if (!started)
        MsgBox("System Information Is Unavailable At This Time", MsgButtons::Ok, MsgIcon::None, ProgramTitle());
}
