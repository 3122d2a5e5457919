#include "datafolder.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace remote {
namespace {
std::optional<std::string>& Slot()
{
    static std::optional<std::string> dir;
    return dir;
}

// The real path of an existing file or folder, empty when there is none.
std::string Real(const std::string& path)
{
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr)
        return {};
    std::string r = real;
    std::free(real);
    return r;
}

bool Inside(const std::string& path, const std::string& folder)
{
    if (folder == "/")
        return path.size() > 1 && path[0] == '/';
    return path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

std::string CurrentFolder()
{
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) != nullptr ? std::string(buf) : std::string("/nonexistent");
}
}  // namespace

void SetDataFolder(const std::string& dir)
{
    Slot() = !dir.empty() && dir[0] == '/' ? dir : CurrentFolder() + "/" + dir;
}

const std::string& DataFolder()
{
    if (!Slot())
        Slot() = CurrentFolder();
    return *Slot();
}

std::optional<std::string> PathInDataFolder(const std::string& name, std::string& why)
{
    if (name.empty()) {
        why = "a file name is needed";
        return std::nullopt;
    }
    const std::string folder = Real(DataFolder());
    if (folder.empty()) {
        why = "the data folder " + DataFolder() + " does not exist";
        return std::nullopt;
    }
    // ".." is refused outright, even where it would lead back in.
    for (std::size_t start = 0; start <= name.size();) {
        const std::size_t slash = name.find('/', start);
        const std::size_t end = slash == std::string::npos ? name.size() : slash;
        if (name.compare(start, end - start, "..") == 0 && end - start == 2) {
            why = "\"..\" is not allowed: files are written only inside the data folder " + folder;
            return std::nullopt;
        }
        start = end + 1;
    }
    const std::string path = name[0] == '/' ? name : folder + "/" + name;
    const std::size_t cut = path.find_last_of('/');
    const std::string file = path.substr(cut + 1);
    if (file.empty() || file == ".") {
        why = "the name ends in a folder, not a file";
        return std::nullopt;
    }
    // The folder it goes into, with every symbolic link on the way followed.
    const std::string parent = Real(cut == 0 ? "/" : path.substr(0, cut));
    if (parent.empty()) {
        why = "the folder of " + name + " does not exist";
        return std::nullopt;
    }
    if (parent != folder && !Inside(parent, folder)) {
        why = name + " is outside the data folder " + folder;
        return std::nullopt;
    }
    const std::string target = parent + "/" + file;
    struct stat st {};
    if (lstat(target.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            const std::string linked = Real(target);
            if (linked.empty() || !Inside(linked, folder)) {
                why = name + " is a symbolic link that leads out of the data folder " + folder;
                return std::nullopt;
            }
            if (stat(target.c_str(), &st) != 0)
                st.st_mode = 0;
        }
        if (!S_ISREG(st.st_mode)) {
            why = name + " is not a plain file (a device, a pipe, a folder or a socket)";
            return std::nullopt;
        }
    }
    return target;
}

}  // namespace remote
