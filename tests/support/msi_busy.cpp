// Holds the Windows Installer's mutex, as msiexec does while it installs, for
// the end-to-end tests under Wine: msi-busy READY GO creates and owns
// Global\_MSIExecute, creates the file READY, waits (two minutes at most)
// until the file GO exists, then lets the mutex go and exits.
#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        return 2;
    }
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "Global\\_MSIExecute");
    if (mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
        return 1;
    }
    HANDLE ready = CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready == INVALID_HANDLE_VALUE) {
        return 1;
    }
    CloseHandle(ready);
    for (int i = 0; i < 1200 && GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES; ++i) {
        Sleep(100);
    }
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
}
