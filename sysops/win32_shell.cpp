// The shell, the token, and the other programs: their processes and
// windows, over Win32.
#include "sysops/win32.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include "paths/text.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x800
#endif

typedef BOOL(WINAPI* SetDefaultDllDirectoriesProc)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryProc)(LPCSTR);
typedef HRESULT(WINAPI* SpecialFolderLocationProc)(HWND, int, LPITEMIDLIST*);
typedef BOOL(WINAPI* PathFromIDListProc)(LPCITEMIDLIST, LPSTR);
typedef HRESULT(WINAPI* ShellMallocProc)(IMalloc**);
typedef BOOL(WINAPI* PathFromIDListWideProc)(LPCITEMIDLIST, LPWSTR);
typedef BOOL(WINAPI* ShellExecuteExWideProc)(SHELLEXECUTEINFOW*);
typedef BOOL(WINAPI* QueryImageNameWideProc)(HANDLE, DWORD, LPWSTR, DWORD*);
typedef BOOL(WINAPI* ModuleWalkWideProc)(HANDLE, MODULEENTRY32W*);
typedef BOOL(WINAPI* OpenProcessTokenProc)(HANDLE, DWORD, HANDLE*);
typedef BOOL(WINAPI* GetTokenInformationProc)(HANDLE, int, void*, DWORD, DWORD*);
typedef BOOL(WINAPI* SetMitigationPolicyProc)(int, void*, SIZE_T);
typedef HANDLE(WINAPI* SnapshotProc)(DWORD, DWORD);
typedef BOOL(WINAPI* ProcessWalkProc)(HANDLE, PROCESSENTRY32*);

enum { kTokenElevationClass = 20 };  // TOKEN_INFORMATION_CLASS, from Vista on

// 1 once every later library load looks in the system folder only.
static int SearchRestricted;

// Windows looks for a library beside the program before anywhere else,
// and the program runs from the temporary folder, where anyone may leave
// a file. Libraries that the system loads on demand (for shell folders,
// message boxes, themes) would be found there too, so the search is
// restricted first of all. Windows 8, and 7 and Vista with the update that
// brought it, have SetDefaultDllDirectories; XP SP1 and later at least
// take the current folder out with SetDllDirectoryA("").
void RestrictLibrarySearch(void)
{
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    SetDefaultDllDirectoriesProc setDefault =
        LookUp(SetDefaultDllDirectoriesProc, kernel, "SetDefaultDllDirectories");
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        SearchRestricted = 1;
        return;
    }
    SetDllDirectoryProc setDirectory = LookUp(SetDllDirectoryProc, kernel, "SetDllDirectoryA");
    if (setDirectory)
        setDirectory("");
}

static struct {
    int tried;
    SpecialFolderLocationProc folderLocation;  // 0: SHELL32 is not to be had
    PathFromIDListProc pathFromList;
    ShellMallocProc shellMalloc;
    PathFromIDListWideProc pathFromListWide;  // the NT family's
    ShellExecuteExWideProc shellExecuteWide;
} ShellCalls;

// SHELL32 is no import of the program, or it would be loaded, with what it
// imports in turn, before the first line of the program runs and before
// the search could be restricted. It is loaded on first use by its full
// path in the system folder. Where the search could not be restricted,
// the altered search makes its own imports come from that folder too.
static int LoadShell(void)
{
    if (ShellCalls.tried)
        return ShellCalls.folderLocation != 0;
    ShellCalls.tried = 1;
    char system[kPathSize], file[kPathSize];
    UINT n = GetSystemDirectoryA(system, kPathSize);
    if (n == 0 || n >= kPathSize)
        return 0;
    FixTrailingSeparator(system, kAddSeparator);
    if (!ComposePath(file, system, "SHELL32.DLL"))
        return 0;
    HMODULE shell = LoadLibraryExA(file, 0, SearchRestricted ? 0 : LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!shell)
        return 0;
    ShellCalls.shellMalloc = LookUp(ShellMallocProc, shell, "SHGetMalloc");
    if (HasWideCalls()) {
        ShellCalls.pathFromListWide = LookUp(PathFromIDListWideProc, shell, "SHGetPathFromIDListW");
        ShellCalls.shellExecuteWide = LookUp(ShellExecuteExWideProc, shell, "ShellExecuteExW");
    } else {
        ShellCalls.pathFromList = LookUp(PathFromIDListProc, shell, "SHGetPathFromIDListA");
    }
    if ((ShellCalls.pathFromList || ShellCalls.pathFromListWide) && ShellCalls.shellMalloc)
        ShellCalls.folderLocation =
            LookUp(SpecialFolderLocationProc, shell, "SHGetSpecialFolderLocation");
    return ShellCalls.folderLocation != 0;
}

int W32GetSpecialFolderPath(int csidl, char* out)
{
    LPITEMIDLIST list = 0;
    if (!LoadShell() || ShellCalls.folderLocation(0, csidl, &list) != S_OK)
        return 0;
    WCHAR wide[MAX_PATH];
    int found = HasWideCalls() ? ShellCalls.pathFromListWide(list, wide) &&
                                     FromWideText(wide, -1, out, kPathSize)
                               : ShellCalls.pathFromList(list, out) != 0;
    // The list comes from the shell's allocator, which must free it.
    IMalloc* shellMalloc = 0;
    if (SUCCEEDED(ShellCalls.shellMalloc(&shellMalloc))) {
        shellMalloc->Free(list);
        shellMalloc->Release();
    }
    return found;
}

// Windows before Vista cannot say whether a token is elevated, and the
// older family has no tokens at all: both answer "unknown". A test build
// of the Wine scenarios pretends to run with a token that is not elevated
// and is refused every item, which Wine never does.
uint32_t W32GetTokenElevation(void)
{
#ifdef ERASER_PRETEND_LIMITED_TOKEN
    return kTokenNotElevated;
#else
    HMODULE advapi = GetModuleHandleA("ADVAPI32.DLL");
    OpenProcessTokenProc openToken = LookUp(OpenProcessTokenProc, advapi, "OpenProcessToken");
    GetTokenInformationProc tokenInformation =
        LookUp(GetTokenInformationProc, advapi, "GetTokenInformation");
    HANDLE token = 0;
    if (!openToken || !tokenInformation || !openToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return kTokenElevationUnknown;
    DWORD elevated = 0, size = 0;
    uint32_t answer = kTokenElevationUnknown;
    if (tokenInformation(token, kTokenElevationClass, &elevated, sizeof elevated, &size))
        answer = elevated ? kTokenElevated : kTokenNotElevated;
    CloseHandle(token);
    return answer;
#endif
}

int W32SetProcessMitigationPolicy(uint32_t policy, uint32_t flags)
{
    SetMitigationPolicyProc setPolicy = LookUp(SetMitigationPolicyProc,
                                               GetModuleHandleA("KERNEL32.DLL"),
                                               "SetProcessMitigationPolicy");
    DWORD record = flags;
    return setPolicy && setPolicy((int)policy, &record, sizeof record);
}

// Only a token that is not elevated asks for a prompt: Vista and later,
// whose W calls are always there.
int W32ShellExecuteEx(const char* verb, const char* file, const char* parameters,
                      SysHandle* process, uint32_t* error)
{
    *process = 0;
    *error = ERROR_PROC_NOT_FOUND;
    WCHAR wideVerb[8], wideFile[kPathSize], wideParameters[kPathSize + 4];
    if (!LoadShell() || !ShellCalls.shellExecuteWide || !ToWideText(verb, wideVerb, 8) ||
        !ToWideText(file, wideFile, kPathSize) ||
        !ToWideText(parameters, wideParameters, kPathSize + 4))
        return 0;
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = wideVerb;
    info.lpFile = wideFile;
    info.lpParameters = wideParameters;
    info.nShow = SW_SHOWNORMAL;
    if (!ShellCalls.shellExecuteWide(&info)) {
        *error = GetLastError();
        return 0;
    }
    *process = info.hProcess;
    return 1;
}

int W32GetExitCodeProcess(SysHandle process, uint32_t* code)
{
    DWORD exitCode = 0;
    int ok = GetExitCodeProcess(process, &exitCode);
    *code = exitCode;
    return ok;
}

struct WindowWalk {
    int (*found)(SysHandle window, uint32_t processId, void* context);
    void* context;
};

static BOOL CALLBACK EachWindow(HWND window, LPARAM param)
{
    WindowWalk* walk = (WindowWalk*)param;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return walk->found(window, processId, walk->context);
}

int W32EnumWindows(int (*found)(SysHandle, uint32_t, void*), void* context)
{
    WindowWalk walk = { found, context };
    return EnumWindows(EachWindow, (LPARAM)&walk);
}

// The process list's own path, on 95, 98 and ME a full one; on 2000 and
// XP only the name, where the list of a process's modules starts with its
// program file, by its full path.
static int ProcessListImagePath(HMODULE kernel, DWORD processId, char* out)
{
    SnapshotProc snapshot = LookUp(SnapshotProc, kernel, "CreateToolhelp32Snapshot");
    ProcessWalkProc firstProcess = LookUp(ProcessWalkProc, kernel, "Process32First");
    ProcessWalkProc nextProcess = LookUp(ProcessWalkProc, kernel, "Process32Next");
    if (!snapshot || !firstProcess || !nextProcess)
        return 0;  // NT 4.0
    int found = 0;
    if (IsNtFamily()) {
        HANDLE list = snapshot(TH32CS_SNAPMODULE, processId);
        if (list == INVALID_HANDLE_VALUE)
            return 0;
        MODULEENTRY32W module;
        module.dwSize = sizeof module;
        ModuleWalkWideProc firstModule = LookUp(ModuleWalkWideProc, kernel, "Module32FirstW");
        if (firstModule && HasWideCalls() && firstModule(list, &module))
            found = FromWideText(module.szExePath, -1, out, kPathSize) != 0;
        CloseHandle(list);
        return found;
    }
    HANDLE list = snapshot(TH32CS_SNAPPROCESS, 0);
    if (list == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = firstProcess(list, &entry); more && !found; more = nextProcess(list, &entry)) {
        if (entry.th32ProcessID == processId)
            found = ComposePath(out, entry.szExeFile);
    }
    CloseHandle(list);
    return found;
}

int W32GetProcessImagePath(uint32_t processId, char* out)
{
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    QueryImageNameWideProc query =
        LookUp(QueryImageNameWideProc, kernel, "QueryFullProcessImageNameW");
    if (!query || !HasWideCalls())
        return ProcessListImagePath(kernel, processId, out);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process)
        return 0;
    WCHAR wide[kPathSize];
    DWORD size = kPathSize;
    int found = query(process, 0, wide, &size) && FittedWide(size, wide, out, kPathSize);
    CloseHandle(process);
    return found;
}

int W32PostMessage(SysHandle window, uint32_t message)
{
    return PostMessageA((HWND)window, message, 0, 0);
}

SysHandle W32OpenProcess(uint32_t processId)
{
    return OpenProcess(SYNCHRONIZE, FALSE, processId);
}

uint32_t W32GetCurrentProcessId(void) { return GetCurrentProcessId(); }
uint32_t W32GetTickCount(void) { return GetTickCount(); }

uint32_t W32WaitForSingleObject(SysHandle handle, uint32_t milliseconds)
{
    return WaitForSingleObject(handle, milliseconds);
}
