#include <windows.h>

#include <atomic>

#include "platform/win32/win32_parts.h"

namespace iz {
namespace win32 {

namespace {

// The one piece of process-wide state: the system calls the trampoline with
// nothing but the event, on a thread of its own, so the handler and its
// context must be found here.
std::atomic<ConsoleHandler> registered_handler{nullptr};
std::atomic<void*> registered_context{nullptr};

BOOL WINAPI console_trampoline(DWORD event) {
    ConsoleHandler handler = registered_handler.load();
    if (handler == nullptr) {
        return FALSE;
    }
    return handler(static_cast<int>(event), registered_context.load()) ? TRUE : FALSE;
}

}  // namespace

bool register_console_handler(ConsoleHandler handler, void* context) {
    // Stored before the registration, so that the first event finds both.
    registered_context.store(context);
    registered_handler.store(handler);
    return SetConsoleCtrlHandler(console_trampoline, TRUE) != FALSE;
}

}  // namespace win32
}  // namespace iz
