// Text across the seam. On the NT family every name and text crosses to
// the system in UTF-16, through the W calls, so that it reaches the file
// system, the registry and the shell exactly, whatever the ANSI code page;
// the program's own text is then UTF-8 (paths/wide_text.h). The older
// family keeps the A calls and the ANSI code page.
#include "paths/text.h"
#include "paths/wide_text.h"
#include "sysops/win32.h"

WideCallTable Wide;

// In the order of WideCallTable's members; a name ending in .DLL is the
// module of the calls after it. Every one is looked up at run time: a
// Windows 95 that lacked one would not load a program that imports it.
static const char* const kWideCallNames[] = {
    "KERNEL32.DLL", "FindFirstFileW", "FindNextFileW", "GetFileAttributesW", "DeleteFileW",
    "RemoveDirectoryW", "MoveFileExW", "GetWindowsDirectoryW", "GetModuleFileNameW",
    "GetShortPathNameW", "SetCurrentDirectoryW", "GetTempPathW", "CreateFileW", "lstrcmpiW",
    "GetCommandLineW", "SetLastError",
    "ADVAPI32.DLL", "RegQueryValueExW", "GetUserNameW",
};

static int IsModuleName(const char* name)
{
    int n = TextLength(name);
    return n > 4 && name[n - 4] == '.';
}

int HasWideCalls(void)
{
    static int asked, found;
    if (asked)
        return found;
    asked = 1;
    if (!IsNtFamily())
        return 0;
    void** slot = (void**)&Wide;
    HMODULE module = 0;
    for (const char* name : kWideCallNames) {
        if (IsModuleName(name)) {
            module = GetModuleHandleA(name);
            continue;
        }
        *slot = (void*)GetProcAddress(module, name);
        if (!*slot++)
            return 0;
    }
    return found = 1;
}

int ToWideText(const char* text, WCHAR* out, int size)
{
    if (InnerToWide(text, (uint16_t*)out, size) >= 0)
        return 1;
    Wide.setLastError(ERROR_INVALID_NAME);
    return 0;
}

uint32_t FromWideText(const WCHAR* wide, int count, char* out, uint32_t size)
{
    int n = WideToInner((const uint16_t*)wide, count, out, (int)size);
    return n < 0 ? 0 : (uint32_t)n;
}

// The length of a whole text the system wrote into a buffer of size
// units, else 0, as the A calls' results are (Fitted).
uint32_t FittedWide(uint32_t length, const WCHAR* wide, char* out, uint32_t size)
{
    if (length == 0 || length >= (uint32_t)kPathSize)
        return 0;
    uint32_t n = FromWideText(wide, (int)length, out, size);
    return n;
}

int W32UsesWideText(void) { return HasWideCalls(); }

int W32ToWide(uint32_t codePage, const char* text, uint16_t* out, int size)
{
    return MultiByteToWideChar(codePage, 0, text, -1, (WCHAR*)out, size) - 1;
}

int W32IsValidCodePage(uint32_t codePage) { return IsValidCodePage(codePage); }
