// A library that only tells it was loaded: as it is attached to a process
// it creates C:\markers\<its own file name>. Copied beside a program under
// the names of system libraries, it shows whether the program runs a
// library someone left in its folder.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    char path[MAX_PATH], marker[MAX_PATH + 16] = "C:\\markers\\";
    DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
    const char* name = path + (n < MAX_PATH ? n : 0);
    while (name > path && name[-1] != '\\')
        name--;
    lstrcatA(marker, name);
    HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return TRUE;
}
