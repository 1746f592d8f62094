#pragma once
// Move-only owners of Windows handles.
#include <windows.h>

#include <utility>

namespace zorv {

// Owns one handle of a kind whose empty value and closing function are given.
template <typename Handle, Handle Empty, auto Close>
class UniqueResource {
public:
    UniqueResource() = default;
    explicit UniqueResource(Handle handle) : handle_(handle) {}
    ~UniqueResource() { reset(); }
    UniqueResource(UniqueResource&& other) noexcept : handle_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Empty; }
    Handle release() { return std::exchange(handle_, Empty); }
    void reset(Handle handle = Empty) {
        if (handle_ != Empty) Close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Empty;
};

namespace detail {
inline void CloseKernelHandle(HANDLE handle) { CloseHandle(handle); }
inline void CloseFind(HANDLE handle) { FindClose(handle); }
inline void CloseRegistryKey(HKEY key) { RegCloseKey(key); }
}  // namespace detail

// A kernel object handle (file, thread, event, ...); invalid is null.
using UniqueHandle = UniqueResource<HANDLE, nullptr, detail::CloseKernelHandle>;
// A file handle from CreateFile, whose failure value is INVALID_HANDLE_VALUE.
using UniqueFile = UniqueResource<HANDLE, INVALID_HANDLE_VALUE, detail::CloseKernelHandle>;
using UniqueFind = UniqueResource<HANDLE, INVALID_HANDLE_VALUE, detail::CloseFind>;
using UniqueRegistryKey = UniqueResource<HKEY, nullptr, detail::CloseRegistryKey>;

// Owns one reference to a COM interface.
template <typename Interface>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { reset(); }
    ComRef(ComRef&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComRef& operator=(ComRef&& other) noexcept {
        if (this != &other) {
            reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // For the out parameter of CoCreateInstance / QueryInterface.
    void** out() {
        reset();
        return reinterpret_cast<void**>(&pointer_);
    }
    void reset() {
        if (pointer_) pointer_->Release();
        pointer_ = nullptr;
    }

private:
    Interface* pointer_ = nullptr;
};

}  // namespace zorv
