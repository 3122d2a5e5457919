#pragma once
// A shared library bound at the first call of one of its operations.
#include <cstdint>
#include <memory>
#include <string>

class DynLib {
public:
    explicit DynLib(std::string name) : name_(std::move(name)) {}
    ~DynLib();
    DynLib(const DynLib&) = delete;
    DynLib& operator=(const DynLib&) = delete;

    // The address of an operation; loads the library first if needed. Raises
    // the run-time errors for a missing library (53), one that does not load
    // (48) or a missing operation (453). Before loading, the file is checked
    // to be a complete shared object of this machine: a truncated or foreign
    // file is error 48, never a crash in the loader.
    void* Symbol(const char* operation);
    // The same for an operation the library may lack: null when it does.
    void* OptionalSymbol(const char* operation);

    const std::string& name() const { return name_; }

private:
    std::string name_;
    void* handle_ = nullptr;
};

// Binds a typed pointer to an operation on first use.
template <class Fn>
Fn Bind(DynLib& lib, Fn& slot, const char* operation)
{
    if (slot == nullptr)
        slot = reinterpret_cast<Fn>(lib.Symbol(operation));
    return slot;
}

// The zero-terminated text an optional operation writes; empty when the
// library lacks the operation or it fails. `looked` remembers the search.
template <class Fn, class Call>
std::string IdentityText(DynLib& lib, Fn& slot, bool& looked, const char* operation, Call call)
{
    if (!looked) {
        slot = reinterpret_cast<Fn>(lib.OptionalSymbol(operation));
        looked = true;
    }
    if (slot == nullptr)
        return {};
    uint8_t text[256] = {};
    if (call(text, static_cast<int32_t>(sizeof text)) != 0)
        return {};
    text[sizeof text - 1] = 0;
    return reinterpret_cast<const char*>(text);
}

// A library under a name that may change (tests point it elsewhere), bound
// anew after each change. Slots holds the operation pointers, all null.
template <class Slots>
class LazyLibrary {
public:
    struct Bound : Slots {
        DynLib lib;
        explicit Bound(std::string name) : lib(std::move(name)) {}
    };

    explicit LazyLibrary(std::string name) : name_(std::move(name)) {}
    const std::string& Name() const { return name_; }
    void Rename(std::string name)
    {
        name_ = std::move(name);
        bound_.reset();
    }
    Bound& Get()
    {
        if (!bound_)
            bound_ = std::make_unique<Bound>(name_);
        return *bound_;
    }

private:
    std::string name_;
    std::unique_ptr<Bound> bound_;
};
