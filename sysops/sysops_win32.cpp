// The system operations over Win32: the product's side of the seam. This
// file holds the registry, the system's facts, text and boxes, and the
// table; the other concerns are in the win32_*.cpp files beside it.
#include "paths/removal.h"
#include "paths/text.h"
#include "sysops/win32.h"

// The keys' names are ASCII, the same bytes in every code page: the A
// calls take them exactly.
long W32RegOpenKeyEx(const char* subKey, SysHandle* key)
{
    HKEY opened = 0;
    long result = RegOpenKeyExA(HKEY_CURRENT_USER, subKey, 0, KEY_ALL_ACCESS, &opened);
    *key = opened;
    return result;
}

// A text value: its text, with the NUL when it was stored with one, in
// size bytes, or ERROR_MORE_DATA.
long W32RegQueryValueEx(SysHandle key, const char* name, char* data, uint32_t* size)
{
    if (HasWideCalls()) {
        WCHAR wideName[64], wide[kPathSize];
        DWORD type = REG_SZ, bytes = sizeof wide - sizeof(WCHAR);
        if (!ToWideText(name, wideName, 64))
            return ERROR_INVALID_NAME;
        long result = Wide.regQueryValueEx((HKEY)key, wideName, 0, &type, (BYTE*)wide, &bytes);
        if (result)
            return result;
        int units = (int)(bytes / sizeof(WCHAR));
        wide[units] = 0;  // a value stored without its NUL gets one
        uint32_t n = FromWideText(wide, -1, data, *size);
        if (!n && wide[0])
            return ERROR_MORE_DATA;
        *size = n + (units > 0 && !wide[units - 1]);
        return 0;
    }
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
    if (HasWideCalls()) {
        WCHAR wide[260];
        DWORD units = 260;
        return Wide.getUserName(wide, &units) && FromWideText(wide, -1, out, size);
    }
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

// MessageBoxW is there on Windows 95 too: the one W call it imports.
int W32MessageBox(SysHandle owner, const char* text, const char* caption, uint32_t style)
{
    WCHAR wideText[kNoticeSize], wideCaption[64];
    if (!HasWideCalls())
        return MessageBoxA((HWND)owner, text, caption, style);
    if (!ToWideText(text, wideText, kNoticeSize) || !ToWideText(caption, wideCaption, 64))
        return 0;
    return MessageBoxW((HWND)owner, wideText, wideCaption, style);
}

// Without regard to case, by the system's rules for UTF-16 on NT.
int W32Lstrcmpi(const char* a, const char* b)
{
    WCHAR wideA[kPathSize], wideB[kPathSize];
    if (!HasWideCalls())
        return lstrcmpiA(a, b);
    if (!ToWideText(a, wideA, kPathSize) || !ToWideText(b, wideB, kPathSize))
        return 1;  // what cannot be converted equals nothing
    return Wide.compareNoCase(wideA, wideB);
}

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
    W32UsesWideText, W32ToWide, W32IsValidCodePage,
};

extern const SystemOps* const Sys;
const SystemOps* const Sys = &Win32Ops;
