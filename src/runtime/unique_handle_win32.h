#pragma once
// Move-only owners of Windows handles.
#include <windows.h>

#include <utility>

namespace zorv {

// Owns one handle; Traits gives its type, its empty value and how to close it.
template <typename Traits>
class UniqueResource {
    using Handle = typename Traits::Handle;
    static Handle Empty() { return Traits::Empty(); }

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
    explicit operator bool() const { return handle_ != Empty(); }
    Handle release() { return std::exchange(handle_, Empty()); }
    void reset(Handle handle = Empty()) {
        if (handle_ != Empty()) Traits::Close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Empty();
};

namespace detail {
struct KernelHandleTraits {
    using Handle = HANDLE;
    static HANDLE Empty() { return nullptr; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct FileHandleTraits {
    using Handle = HANDLE;
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct FindHandleTraits {
    using Handle = HANDLE;
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { FindClose(handle); }
};
struct MappedViewTraits {
    using Handle = void*;
    static void* Empty() { return nullptr; }
    static void Close(void* view) { UnmapViewOfFile(view); }
};
template <typename GdiHandle>
struct GdiObjectTraits {
    using Handle = GdiHandle;
    static GdiHandle Empty() { return nullptr; }
    static void Close(GdiHandle object) { DeleteObject(object); }
};
struct MemoryDcTraits {
    using Handle = HDC;
    static HDC Empty() { return nullptr; }
    static void Close(HDC dc) { DeleteDC(dc); }
};
struct RegistryKeyTraits {
    using Handle = HKEY;
    static HKEY Empty() { return nullptr; }
    static void Close(HKEY key) { RegCloseKey(key); }
};
}  // namespace detail

// A kernel object handle (thread, event, mapping, ...); empty is null.
using UniqueHandle = UniqueResource<detail::KernelHandleTraits>;
// A file handle from CreateFile, whose failure value is INVALID_HANDLE_VALUE.
using UniqueFile = UniqueResource<detail::FileHandleTraits>;
using UniqueFind = UniqueResource<detail::FindHandleTraits>;
using UniqueRegistryKey = UniqueResource<detail::RegistryKeyTraits>;
// A view of a file mapping from MapViewOfFile.
using UniqueMappedView = UniqueResource<detail::MappedViewTraits>;

// A GDI object (bitmap, brush, font, region) of the given handle type.
template <typename GdiHandle = HGDIOBJ>
using UniqueGdi = UniqueResource<detail::GdiObjectTraits<GdiHandle>>;
// A memory device context from CreateCompatibleDC.
using UniqueMemoryDc = UniqueResource<detail::MemoryDcTraits>;

// Selects an object into a device context and selects the previous one back
// on leaving, so that the object can be deleted afterwards.
class ScopedSelection {
public:
    ScopedSelection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~ScopedSelection() {
        if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }
    ScopedSelection(const ScopedSelection&) = delete;
    ScopedSelection& operator=(const ScopedSelection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

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
