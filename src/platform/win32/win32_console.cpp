#include <windows.h>

#include <mutex>

#include "platform/win32/win32_parts.h"

namespace iz {
namespace win32 {

namespace {

// The one piece of process-wide state: the system calls the trampoline with
// nothing but the event, on a thread of its own, so the handler and its
// context must be found here. The lock is held for every call, so that
// unregistering can wait for one in progress.
std::mutex handler_lock;
ConsoleHandler registered_handler = nullptr;
void* registered_context = nullptr;

BOOL WINAPI console_trampoline(DWORD event) {
    std::lock_guard<std::mutex> lock(handler_lock);
    if (registered_handler == nullptr) {
        return FALSE;  // unregistered meanwhile: the default course, as for a later event
    }
    return registered_handler(static_cast<int>(event), registered_context) ? TRUE : FALSE;
}

}  // namespace

bool register_console_handler(ConsoleHandler handler, void* context) {
    {
        // Stored before the registration, so that the first event finds both.
        std::lock_guard<std::mutex> lock(handler_lock);
        registered_context = context;
        registered_handler = handler;
    }
    return SetConsoleCtrlHandler(console_trampoline, TRUE) != FALSE;
}

void unregister_console_handler() {
    SetConsoleCtrlHandler(console_trampoline, FALSE);
    // Taking the lock waits for a call that began before the line above.
    std::lock_guard<std::mutex> lock(handler_lock);
    registered_handler = nullptr;
    registered_context = nullptr;
}

}  // namespace win32
}  // namespace iz
