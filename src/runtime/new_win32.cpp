// The global allocation functions take their blocks from the process heap; a
// failed allocation is the fatal runtime error "分配 N 字节内存失败!".  The
// nothrow forms keep their contract and answer null, since their callers
// (the standard library's temporary buffers among them) retry with less.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <new>

#include "runtime/fatal.h"

namespace zorv {
namespace {

// Released on the first failure so that the error text and the message box
// can still be allocated.
void* emergencyReserve = HeapAlloc(GetProcessHeap(), 0, 256 * 1024);

void* TryAllocate(std::size_t size) { return HeapAlloc(GetProcessHeap(), 0, size == 0 ? 1 : size); }

void* AllocateOrDie(std::size_t size) {
    for (;;) {
        if (void* block = TryAllocate(size)) return block;
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) break;
        handler();
    }
    if (void* reserve = InterlockedExchangePointer(&emergencyReserve, nullptr)) HeapFree(GetProcessHeap(), 0, reserve);
    FatalAllocationFailure(size);
}

// Over-aligned blocks keep the heap block's address just below the aligned
// address they hand out.
void* AlignedFrom(void* block, std::size_t alignment) {
    auto address = reinterpret_cast<std::uintptr_t>(block) + sizeof(void*);
    address = (address + alignment - 1) & ~(static_cast<std::uintptr_t>(alignment) - 1);
    reinterpret_cast<void**>(address)[-1] = block;
    return reinterpret_cast<void*>(address);
}

std::size_t AlignedRequest(std::size_t size, std::size_t alignment) {
    std::size_t extra = alignment + sizeof(void*);
    if (size > SIZE_MAX - extra) FatalAllocationFailure(size);
    return size + extra;
}

void* AllocateAlignedOrDie(std::size_t size, std::size_t alignment) {
    return AlignedFrom(AllocateOrDie(AlignedRequest(size, alignment)), alignment);
}

void* TryAllocateAligned(std::size_t size, std::size_t alignment) {
    std::size_t extra = alignment + sizeof(void*);
    if (size > SIZE_MAX - extra) return nullptr;
    void* block = TryAllocate(size + extra);
    return block ? AlignedFrom(block, alignment) : nullptr;
}

void Release(void* pointer) {
    if (pointer) HeapFree(GetProcessHeap(), 0, pointer);
}

void ReleaseAligned(void* pointer) {
    if (pointer) HeapFree(GetProcessHeap(), 0, static_cast<void**>(pointer)[-1]);
}

}  // namespace

// Referenced by InitRuntime so that this file is always linked in.
void LinkAllocationFunctions() {}

}  // namespace zorv

using zorv::AllocateAlignedOrDie;
using zorv::AllocateOrDie;
using zorv::Release;
using zorv::ReleaseAligned;

void* operator new(std::size_t size) { return AllocateOrDie(size); }
void* operator new[](std::size_t size) { return AllocateOrDie(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return zorv::TryAllocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return zorv::TryAllocate(size); }
void operator delete(void* pointer) noexcept { Release(pointer); }
void operator delete[](void* pointer) noexcept { Release(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { Release(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { Release(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { Release(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { Release(pointer); }

void* operator new(std::size_t size, std::align_val_t alignment) {
    return AllocateAlignedOrDie(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return AllocateAlignedOrDie(size, static_cast<std::size_t>(alignment));
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return zorv::TryAllocateAligned(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return zorv::TryAllocateAligned(size, static_cast<std::size_t>(alignment));
}
void operator delete(void* pointer, std::align_val_t) noexcept { ReleaseAligned(pointer); }
void operator delete[](void* pointer, std::align_val_t) noexcept { ReleaseAligned(pointer); }
void operator delete(void* pointer, std::size_t, std::align_val_t) noexcept { ReleaseAligned(pointer); }
void operator delete[](void* pointer, std::size_t, std::align_val_t) noexcept { ReleaseAligned(pointer); }
void operator delete(void* pointer, std::align_val_t, const std::nothrow_t&) noexcept { ReleaseAligned(pointer); }
void operator delete[](void* pointer, std::align_val_t, const std::nothrow_t&) noexcept { ReleaseAligned(pointer); }
