// The system operations over Win32: the product's side of the seam. This
// file holds the registry, the system's facts, text and boxes, and the
// table; the other concerns are in the win32_*.cpp files beside it.
#include "sysops/win32.h"

long W32RegOpenKeyEx(const char* subKey, SysHandle* key)
{
    HKEY opened = 0;
    long result = RegOpenKeyExA(HKEY_CURRENT_USER, subKey, 0, KEY_ALL_ACCESS, &opened);
    *key = opened;
    return result;
}

long W32RegQueryValueEx(SysHandle key, const char* name, char* data, uint32_t* size)
{
    DWORD type = REG_SZ;
    DWORD bytes = *size;
    long result = RegQueryValueExA((HKEY)key, name, 0, &type, (BYTE*)data, &bytes);
    *size = bytes;
    return result;
}

long W32RegQueryInfoKey(SysHandle key, uint32_t* subKeys, uint32_t* values)
{
    DWORD keys = 0, count = 0;
    long result = RegQueryInfoKeyA((HKEY)key, 0, 0, 0, &keys, 0, 0, &count, 0, 0, 0, 0);
    *subKeys = keys;
    *values = count;
    return result;
}

long W32RegDeleteKey(const char* subKey) { return RegDeleteKeyA(HKEY_CURRENT_USER, subKey); }
long W32RegCloseKey(SysHandle key) { return RegCloseKey((HKEY)key); }

int W32GetVersionEx(uint32_t* platformId)
{
    OSVERSIONINFOA info;
    info.dwOSVersionInfoSize = sizeof info;  // 148 bytes
    if (!GetVersionExA(&info))
        return 0;
    *platformId = info.dwPlatformId;
    return 1;
}

uint32_t W32GetLastError(void) { return GetLastError(); }
void W32SetErrorMode(uint32_t mode) { SetErrorMode(mode); }

int W32GetLocalTime(SysTime* now)
{
    SYSTEMTIME time;
    GetLocalTime(&time);
    *now = {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
    return 1;
}

int W32GetUserName(char* out, uint32_t size)
{
    DWORD length = size;
    return GetUserNameA(out, &length);
}

uint32_t W32GetACP(void) { return GetACP(); }

int W32GetCPInfo(uint32_t codePage, SysCpInfo* out)
{
    CPINFO info;
    if (!GetCPInfo(codePage, &info))
        return 0;
    out->maxCharSize = info.MaxCharSize;
    for (int i = 0; i < 12; i++)
        out->leadByte[i] = info.LeadByte[i];
    return 1;
}

int W32CloseHandle(SysHandle handle) { return CloseHandle(handle); }

int W32MessageBox(SysHandle owner, const char* text, const char* caption, uint32_t style)
{
    return MessageBoxA((HWND)owner, text, caption, style);
}

int W32Lstrcmpi(const char* a, const char* b) { return lstrcmpiA(a, b); }

static const SystemOps Win32Ops = {
    W32FindFirstFile, W32FindNextFile, W32FindClose, W32GetFileAttributes,
    W32DeleteFile, W32RemoveDirectory, W32MoveFile, W32MoveFileEx,
    W32WritePrivateProfileString, W32GetWindowsDirectory, W32GetModuleFileName,
    W32GetShortPathName, W32SetCurrentDirectory, W32GetSpecialFolderPath,
    W32RegOpenKeyEx, W32RegQueryValueEx, W32RegQueryInfoKey, W32RegDeleteKey,
    W32RegCloseKey, W32GetVersionEx, W32GetLastError, W32SetErrorMode, W32GetLocalTime,
    W32GetUserName, W32GetTempPath, W32OpenLog, W32IsOwnFile, W32GetACP, W32GetCPInfo,
    W32GetTokenElevation, W32OpenFolder, W32OpenItemAt, W32FindFirstAt, W32FindNextAt,
    W32QueryItem, W32ReadItem, W32DeleteItem, W32CloseItem, W32ShellExecuteEx,
    W32SetProcessMitigationPolicy,
    W32GetExitCodeProcess, W32EnumWindows, W32GetProcessImagePath, W32PostMessage,
    W32OpenProcess, W32GetCurrentProcessId, W32GetTickCount, W32WaitForSingleObject, W32CloseHandle, W32MessageBox, W32Lstrcmpi,
    W32CreateFile, W32ReadFile, W32WriteFile, W32SetFilePointerToStart,
};

extern const SystemOps* const Sys;
const SystemOps* const Sys = &Win32Ops;
