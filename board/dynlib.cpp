#include "dynlib.h"

#include "platform/runtimeerror.h"

#include <dlfcn.h>
#include <sys/stat.h>

DynLib::~DynLib()
{
    // The library stays loaded for the life of the process, as the board does.
}

void* DynLib::Symbol(const char* operation)
{
    if (handle_ == nullptr) {
        // RTLD_NOW: a library that cannot be bound fails here, not at a later call.
        handle_ = dlopen(name_.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) {
            const char* why = dlerror();
            struct stat st {};
            const bool isPath = name_.find('/') != std::string::npos;
            if (isPath && stat(name_.c_str(), &st) != 0)
                throw RunTimeError::FileNotFound(name_);
            if (!isPath && why != nullptr && std::string(why).find("No such file") != std::string::npos)
                throw RunTimeError::FileNotFound(name_);
            throw RunTimeError::DllLoad(name_);
        }
    }
    dlerror();
    void* address = dlsym(handle_, operation);
    if (address == nullptr)
        throw RunTimeError::DllEntryPoint(operation, name_);
    return address;
}
