#include <windows.h>

#include <memory>

#include "runtime/commands_win32.h"

namespace zorv {
namespace {

DWORD WINAPI RunBody(void* parameter) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
    (*body)();
    return 0;
}

}  // namespace

bool StartThread(LPTHREAD_START_ROUTINE routine, void* parameter, HANDLE* handle) {
    HANDLE thread = CreateThread(nullptr, 0, routine, parameter, 0, nullptr);
    if (thread == nullptr) return false;
    if (handle) {
        *handle = thread;
    } else {
        CloseHandle(thread);
    }
    return true;
}

bool StartThread(std::function<void()> body, HANDLE* handle) {
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    if (!StartThread(RunBody, owned.get(), handle)) return false;
    owned.release();  // the thread frees it
    return true;
}

}  // namespace zorv
