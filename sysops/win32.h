// The Win32 side of the seam, one file per concern: what the files share.
#ifndef ERASER_SYSOPS_WIN32_H
#define ERASER_SYSOPS_WIN32_H

#include <windows.h>

#include "sysops/sysops.h"

// The older family answers GetVersion with the high bit set.
static inline int IsNtFamily(void) { return (LONG)GetVersion() >= 0; }

// A function that this Windows may lack, looked up by name.
#define LookUp(type, module, name) ((type)(void (*)(void))GetProcAddress((module), (name)))

// The W calls of the NT family, looked up once (win32_text.cpp): where
// HasWideCalls says they are all there, every name crosses to the system
// in UTF-16 and the program's text is UTF-8.
struct WideCallTable {
    decltype(&FindFirstFileW) findFirstFile;
    decltype(&FindNextFileW) findNextFile;
    decltype(&GetFileAttributesW) getFileAttributes;
    decltype(&DeleteFileW) deleteFile;
    decltype(&RemoveDirectoryW) removeDirectory;
    decltype(&MoveFileExW) moveFileEx;
    decltype(&GetWindowsDirectoryW) getWindowsDirectory;
    decltype(&GetModuleFileNameW) getModuleFileName;
    decltype(&GetShortPathNameW) getShortPathName;
    decltype(&SetCurrentDirectoryW) setCurrentDirectory;
    decltype(&GetTempPathW) getTempPath;
    decltype(&CreateFileW) createFile;
    decltype(&lstrcmpiW) compareNoCase;
    decltype(&GetCommandLineW) getCommandLine;
    decltype(&SetLastError) setLastError;
    decltype(&RegQueryValueExW) regQueryValueEx;
    decltype(&GetUserNameW) getUserName;
};
extern WideCallTable Wide;
int HasWideCalls(void);
// The program's text to UTF-16 in size units; 0 (and the invalid-name
// error) when it does not convert whole.
int ToWideText(const char* text, WCHAR* out, int size);
// count units (-1: up to the NUL) back into out: the bytes before the
// NUL, 0 when they do not fit.
uint32_t FromWideText(const WCHAR* wide, int count, char* out, uint32_t size);
// A W call's result of length units in a kPathSize-unit buffer, as
// Fitted takes an A call's: the bytes, or 0 for no whole text.
uint32_t FittedWide(uint32_t length, const WCHAR* wide, char* out, uint32_t size);
int W32UsesWideText(void);
int W32ToWide(uint32_t codePage, const char* text, uint16_t* out, int size);
int W32IsValidCodePage(uint32_t codePage);

// Files and folders by path, the log (win32_files.cpp).
SysHandle W32FindFirstFile(const char* pattern, SysFindData* found);
int W32FindNextFile(SysHandle search, SysFindData* found);
int W32FindClose(SysHandle search);
uint32_t W32GetFileAttributes(const char* path);
int W32DeleteFile(const char* path);
int W32RemoveDirectory(const char* path);
int W32MoveFile(const char* from, const char* to);
int W32MoveFileEx(const char* from, const char* to, uint32_t flags);
int W32WritePrivateProfileString(const char* section, const char* key,
                                 const char* value, const char* file);
uint32_t W32GetWindowsDirectory(char* out, uint32_t size);
uint32_t W32GetModuleFileName(char* out, uint32_t size);
uint32_t W32GetShortPathName(const char* path, char* out, uint32_t size);
int W32SetCurrentDirectory(const char* path);
uint32_t W32GetTempPath(char* out, uint32_t size);
SysHandle W32OpenLog(const char* path, int* empty);
// CreateFile by the program's text: W or A as HasWideCalls says.
HANDLE OpenByPath(const char* path, DWORD access, DWORD share, DWORD disposition, DWORD flags);
SysHandle W32CreateFile(const char* path, int forWriting);
int W32ReadFile(SysHandle file, void* buffer, uint32_t size, uint32_t* got);
int W32WriteFile(SysHandle file, const void* data, uint32_t size);
int W32SetFilePointerToStart(SysHandle file);

// The walk through held folders (win32_walk.cpp).
uint32_t W32OpenFolder(const char* path, SysHandle* folder);
uint32_t W32OpenItemAt(SysHandle folder, const char* name, uint32_t how, SysHandle* item);
SysHandle W32FindFirstAt(SysHandle folder, const char* mask, SysFindData* found,
                         uint32_t* error);
int W32FindNextAt(SysHandle search, SysFindData* found);
uint32_t W32QueryItem(SysHandle item, SysItemInfo* info);
int W32ReadItem(SysHandle item, void* buffer, uint32_t size, uint32_t* got);
uint32_t W32DeleteItem(SysHandle item);
int W32IsOwnFile(SysHandle item);
int W32CloseItem(SysHandle item);

// The shell, tokens, processes and windows (win32_shell.cpp).
int W32GetSpecialFolderPath(int csidl, char* out);
uint32_t W32GetTokenElevation(void);
int W32SetProcessMitigationPolicy(uint32_t policy, uint32_t flags);
int W32ShellExecuteEx(const char* verb, const char* file, const char* parameters,
                      SysHandle* process, uint32_t* error);
int W32GetExitCodeProcess(SysHandle process, uint32_t* code);
int W32EnumWindows(int (*found)(SysHandle, uint32_t, void*), void* context);
int W32GetProcessImagePath(uint32_t processId, char* out);
int W32PostMessage(SysHandle window, uint32_t message);
SysHandle W32OpenProcess(uint32_t processId);
uint32_t W32GetCurrentProcessId(void);
uint32_t W32GetTickCount(void);
uint32_t W32WaitForSingleObject(SysHandle handle, uint32_t milliseconds);

// The registry, the system's facts, text and boxes (sysops_win32.cpp).
long W32RegOpenKeyEx(const char* subKey, SysHandle* key);
long W32RegQueryValueEx(SysHandle key, const char* name, char* data, uint32_t* size);
long W32RegQueryInfoKey(SysHandle key, uint32_t* subKeys, uint32_t* values);
long W32RegDeleteKey(const char* subKey);
long W32RegCloseKey(SysHandle key);
int W32GetVersionEx(uint32_t* platformId);
uint32_t W32GetLastError(void);
void W32SetErrorMode(uint32_t mode);
int W32GetLocalTime(SysTime* now);
int W32GetUserName(char* out, uint32_t size);
uint32_t W32GetACP(void);
int W32GetCPInfo(uint32_t codePage, SysCpInfo* out);
int W32CloseHandle(SysHandle handle);
int W32MessageBox(SysHandle owner, const char* text, const char* caption, uint32_t style);
int W32Lstrcmpi(const char* a, const char* b);

#endif
