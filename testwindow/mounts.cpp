#include "mounts.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string_view>

namespace {

bool isPseudoType(std::string_view type)
{
    static const std::set<std::string_view> kPseudo = {
        "autofs",  "binfmt_misc", "bpf",       "cgroup",     "cgroup2",   "configfs", "debugfs",
        "devpts",  "devtmpfs",    "efivarfs",  "fusectl",    "hugetlbfs", "mqueue",   "nsfs",
        "proc",    "pstore",      "ramfs",     "rpc_pipefs", "securityfs", "selinuxfs", "sysfs",
        "tracefs", "rootfs"};
    return kPseudo.count(type) != 0;
}

bool isUnder(std::string_view path, std::string_view dir)
{
    return path == dir || (path.size() > dir.size() && path.substr(0, dir.size()) == dir && path[dir.size()] == '/');
}

bool isSystemMount(std::string_view path)
{
    if (isUnder(path, "/run/media"))
        return false;  // removable media are mounted here on many systems
    for (const std::string_view dir : {"/proc", "/sys", "/dev", "/run", "/snap"})
        if (isUnder(path, dir))
            return true;
    return false;
}

// The table writes space, tab, line feed and backslash as three octal digits.
std::string unescape(const std::string& field)
{
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string octal = field.substr(i + 1, 3);
            if (octal.find_first_not_of("01234567") == std::string::npos) {
                out += static_cast<char>(std::stoi(octal, nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

}  // namespace

std::vector<std::string> RealMountPoints(const std::string& table)
{
    std::set<std::string> points;
    std::istringstream in(table);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string device, mountPoint, type;
        if (!(fields >> device >> mountPoint >> type))
            continue;
        const std::string point = unescape(mountPoint);
        if (point.empty() || point.front() != '/' || isPseudoType(type) || isSystemMount(point))
            continue;
        points.insert(point);
    }
    points.erase("/");
    std::vector<std::string> out{"/"};
    out.insert(out.end(), points.begin(), points.end());
    return out;
}

std::vector<std::string> MountedFileSystems()
{
    std::ifstream in("/proc/self/mounts");
    std::stringstream text;
    text << in.rdbuf();
    return RealMountPoints(text.str());
}

std::string MountPointOf(const std::string& path, const std::vector<std::string>& mounts)
{
    std::string best = "/";
    for (const auto& m : mounts)
        if (isUnder(path, m) && m.size() > best.size())
            best = m;
    return best;
}
