#include "dynlib.h"

#include "runtime/runtimeerror.h"

#include <cstddef>
#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

enum class Fit {
    Loadable,  // a complete shared object of this machine
    Foreign,   // an ELF file of another class or machine: a search passes it by
    Broken,    // anything else: the loader would refuse it, or crash on it
};

// The machine this program was built for, from its own ELF header in memory.
ElfW(Half) OwnMachine()
{
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&OwnMachine), &self) == 0 || self.dli_fbase == nullptr)
        return EM_NONE;
    return static_cast<const ElfW(Ehdr)*>(self.dli_fbase)->e_machine;
}

template <class T>
bool ReadAt(int fd, T* out, size_t count, uint64_t offset)
{
    const size_t bytes = count * sizeof(T);
    return pread(fd, out, bytes, static_cast<off_t>(offset)) == static_cast<ssize_t>(bytes);
}

// Reads the headers the loader maps by before it maps anything: a file cut
// short (its loadable segments reaching past its end) would bring the process
// down when first touched.
Fit Examine(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Fit::Broken;
    struct stat st {};
    ElfW(Ehdr) header{};
    Fit fit = Fit::Broken;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ReadAt(fd, &header, 1, 0) &&
        std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0) {
        const bool ours = header.e_ident[EI_CLASS] == (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32) &&
                          header.e_ident[EI_DATA] ==
                              (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? ELFDATA2LSB : ELFDATA2MSB) &&
                          header.e_machine == OwnMachine();
        fit = ours ? Fit::Broken : Fit::Foreign;
        const auto size = static_cast<uint64_t>(st.st_size);
        std::vector<ElfW(Phdr)> segments(header.e_phnum);
        if (ours && header.e_type == ET_DYN && header.e_phentsize == sizeof(ElfW(Phdr)) && header.e_phnum > 0 &&
            ReadAt(fd, segments.data(), segments.size(), header.e_phoff)) {
            bool anyLoad = false, inside = true;
            for (const auto& s : segments) {
                if (s.p_type != PT_LOAD)
                    continue;
                anyLoad = true;
                inside = inside && s.p_offset <= size && s.p_filesz <= size - s.p_offset && s.p_filesz <= s.p_memsz;
            }
            fit = anyLoad && inside ? Fit::Loadable : Fit::Broken;
        }
    }
    close(fd);
    return fit;
}

// The directories the loader searches for a bare name on behalf of the
// program: its run path, the library path, the system directories.
std::vector<std::string> SearchDirectories()
{
    std::vector<std::string> dirs;
    void* program = dlopen(nullptr, RTLD_LAZY);
    if (program == nullptr)
        return dirs;
    Dl_serinfo size{};
    if (dlinfo(program, RTLD_DI_SERINFOSIZE, &size) == 0) {
        std::vector<std::max_align_t> buffer(size.dls_size / sizeof(std::max_align_t) + 1);
        auto* info = reinterpret_cast<Dl_serinfo*>(buffer.data());
        *info = size;
        if (dlinfo(program, RTLD_DI_SERINFO, info) == 0)
            for (unsigned i = 0; i < info->dls_cnt; ++i)
                dirs.emplace_back(info->dls_serpath[i].dls_name);
    }
    dlclose(program);
    return dirs;
}

// The file a bare name stands for: the first one of this machine in those
// directories, or empty when none holds one (the loader's cache may still
// know it). A broken file there raises error 48.
std::string Locate(const std::string& name)
{
    for (const std::string& dir : SearchDirectories()) {
        const std::string candidate = dir + "/" + name;
        if (access(candidate.c_str(), F_OK) != 0)
            continue;
        switch (Examine(candidate)) {
        case Fit::Loadable:
            return candidate;
        case Fit::Foreign:
            continue;
        case Fit::Broken:
            throw RunTimeError::DllLoad(name);
        }
    }
    return {};
}

}  // namespace

DynLib::~DynLib()
{
    // The library stays loaded for the life of the process, as the board does.
}

void* DynLib::Symbol(const char* operation)
{
    void* address = OptionalSymbol(operation);
    if (address == nullptr)
        throw RunTimeError::DllEntryPoint(operation, name_);
    return address;
}

void* DynLib::OptionalSymbol(const char* operation)
{
    if (handle_ == nullptr) {
        const bool isPath = name_.find('/') != std::string::npos;
        struct stat st {};
        if (isPath && stat(name_.c_str(), &st) != 0)
            throw RunTimeError::FileNotFound(name_);
        if (isPath && Examine(name_) != Fit::Loadable)
            throw RunTimeError::DllLoad(name_);
        const std::string file = isPath ? name_ : Locate(name_);
        // RTLD_NOW: a library that cannot be bound fails here, not at a later call.
        handle_ = dlopen(file.empty() ? name_.c_str() : file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) {
            const char* why = dlerror();
            if (!isPath && file.empty() && why != nullptr && std::strstr(why, "No such file") != nullptr)
                throw RunTimeError::FileNotFound(name_);
            throw RunTimeError::DllLoad(name_);
        }
    }
    dlerror();
    return dlsym(handle_, operation);
}
