// The seam between the eraser's logic and the operating system.
//
// Every call the program makes to the system goes through the table `Sys`
// points at. The Windows program fills it with thin wrappers over Win32
// (sysops_win32.cpp and the win32_*.cpp files beside it); the native tests
// fill it with an in-memory system.
// Operations keep their Win32 names and meaning, with portable types;
// results follow Win32 (non-zero for success unless a row says otherwise).
// Text is the program's own: UTF-8 where UsesWideText says the names cross
// to the system in UTF-16 (the NT family), else multibyte text in the ANSI
// code page.
#ifndef ERASER_SYSOPS_H
#define ERASER_SYSOPS_H

#include <stdint.h>

typedef void* SysHandle;  // search, file or waitable handle; 0 is none

// A reparse point on a folder: a junction or a symbolic link to another
// when its tag is a name surrogate, else (a cloud file's placeholder, a
// deduplicated or projected folder) a folder like any other.
enum { kFileAttributeDirectory = 0x10, kFileAttributeReparsePoint = 0x400 };
enum : uint32_t { kReparseTagNameSurrogate = 0x20000000u };
enum : uint32_t { kInvalidFileAttributes = 0xFFFFFFFFu };
enum { kPlatformWin32Nt = 2 };
enum { kCsidlPrograms = 0x02, kCsidlDesktopDirectory = 0x10, kCsidlLocalAppData = 0x1C };
enum { kTokenElevationUnknown = 0, kTokenElevated = 1, kTokenNotElevated = 2 };
enum {
    kErrorFileNotFound = 2, kErrorPathNotFound = 3, kErrorAccessDenied = 5,
    kErrorSharingViolation = 32, kErrorProcNotFound = 127, kErrorDirNotEmpty = 145,
    kErrorFilenameTooLong = 206, kErrorStoppedOnSymlink = 681,
    kErrorCancelled = 1223, kErrorReparsePointEncountered = 4395,
    kErrorInvalidName = 123, kErrorBadPathname = 161, kErrorDirectory = 267,
};
// SetProcessMitigationPolicy: the redirection guard, and its flag that
// enforces it (Windows 10 22H2 and later).
enum { kProcessRedirectionTrustPolicy = 16, kEnforceRedirectionTrust = 1 };
enum : uint32_t { kWaitInfinite = 0xFFFFFFFFu };
enum { kMoveFileDelayUntilReboot = 4 };
enum { kMessageBoxIconWarning = 0x30, kMessageBoxIconInformation = 0x40 };
enum { kMessageBoxQuestionYesNo = 0x24, kAnswerYes = 6 };
enum { kWindowMessageClose = 0x10 };
enum : uint32_t { kWaitObject0 = 0 };

struct SysFindData {
    uint32_t attributes;
    uint32_t reparseTag;  // with the reparse-point attribute; 0 where unknown
    uint64_t fileId;      // from a listing through a handle; 0 where unknown
    char fileName[768];  // 255 UTF-16 units as UTF-8, and the NUL
};

// How an item is opened by its name in a held folder (OpenItemAt).
enum {
    kItemFolder = 0x1,  // a folder: without kItemDelete, held for listing
    kItemDelete = 0x2,  // to delete it through the handle
    kItemRead = 0x4,    // to read its data as well
    kItemProbe = 0x8,   // with kItemDelete: only to learn whether it may be
};

// What a handle says of its item.
struct SysItemInfo {
    uint32_t attributes;
    uint32_t reparseTag;  // 0 where unknown
    uint64_t fileId;      // 0 where unknown
};

struct SysTime {
    uint32_t year, month, day, hour, minute, second;
};

// SetErrorMode: no box of the system's for a drive without a disk, a
// crash or a file it cannot open.
enum { kErrorModeNoBoxes = 0x1 | 0x2 | 0x8000 };

struct SysCpInfo {
    uint32_t maxCharSize;
    unsigned char leadByte[12];  // pairs of inclusive ranges, ended by 0,0
};

struct SystemOps {
    // Searches. FindFirstFileA returns 0 when nothing matches.
    SysHandle (*FindFirstFileA)(const char* pattern, SysFindData* found);
    int (*FindNextFileA)(SysHandle search, SysFindData* found);
    int (*FindClose)(SysHandle search);

    uint32_t (*GetFileAttributesA)(const char* path);
    int (*DeleteFileA)(const char* path);
    int (*RemoveDirectoryA)(const char* path);
    int (*MoveFileA)(const char* from, const char* to);
    int (*MoveFileExA)(const char* from, const char* to, uint32_t flags);
    int (*WritePrivateProfileStringA)(const char* section, const char* key,
                                      const char* value, const char* file);
    // These return the length copied; size counts the NUL. A result that
    // did not fit is a failure (0), never a shortened path.
    uint32_t (*GetWindowsDirectoryA)(char* out, uint32_t size);
    uint32_t (*GetModuleFileNameA)(char* out, uint32_t size);
    uint32_t (*GetShortPathNameA)(const char* path, char* out, uint32_t size);
    int (*SetCurrentDirectoryA)(const char* path);

    // SHGetSpecialFolderLocation followed by SHGetPathFromIDList: 1 when
    // out (kPathSize bytes) holds the folder, 0 otherwise.
    int (*GetSpecialFolderPath)(int csidl, char* out);

    // Registry, always under HKEY_CURRENT_USER. Results are Win32 error
    // codes: 0 is success.
    long (*RegOpenKeyExA)(const char* subKey, SysHandle* key);
    long (*RegQueryValueExA)(SysHandle key, const char* name, char* data,
                             uint32_t* size);
    long (*RegQueryInfoKeyA)(SysHandle key, uint32_t* subKeys,
                             uint32_t* values);
    long (*RegDeleteKeyA)(const char* subKey);
    long (*RegCloseKey)(SysHandle key);

    // platformId receives the OSVERSIONINFOA field of that name.
    int (*GetVersionExA)(uint32_t* platformId);
    // The error of the last call that failed (the path calls above).
    uint32_t (*GetLastError)(void);
    void (*SetErrorMode)(uint32_t mode);
    int (*GetLocalTime)(SysTime* now);
    // The account's name; 0 when the system cannot say.
    int (*GetUserNameA)(char* out, uint32_t size);
    // The temporary folder, ending in a separator; 0 when it does not fit.
    uint32_t (*GetTempPathA)(char* out, uint32_t size);
    // Opens a log file for appending, making it when absent; 0 when it
    // cannot be, and on the NT family when it is a link or a file with
    // more than one name. empty: 1 when it held nothing.
    SysHandle (*OpenLog)(const char* path, int* empty);
    // 1 when an item of the walk is this program's own file (the same
    // volume and file index).
    int (*IsOwnFile)(SysHandle item);
    uint32_t (*GetACP)(void);
    int (*GetCPInfo)(uint32_t codePage, SysCpInfo* info);

    // OpenProcessToken + GetTokenInformation(TokenElevation) for this
    // process: kTokenElevated or kTokenNotElevated, or kTokenElevationUnknown
    // where the system cannot tell (the older family, NT 4 to XP).
    uint32_t (*GetTokenElevation)(void);
    // The package tree, walked through handles: an item is opened by its
    // name in a folder held open, so that nothing above that folder is
    // parsed again (paths/walk.h). Results are Win32 error numbers, 0 for
    // success. On the older family, which has neither links nor handles
    // of folders, these go by path.
    //
    // OpenFolder opens a folder by its full path, following links, and
    // holds it for listing (sharing read and write): the root of a walk.
    uint32_t (*OpenFolder)(const char* path, SysHandle* folder);
    // Opens name in folder as itself: a link is not followed where the
    // system can help it.
    uint32_t (*OpenItemAt)(SysHandle folder, const char* name, uint32_t how, SysHandle* item);
    // Lists folder through a fresh handle of it: the first entry matching
    // mask, and the search to go on with; 0 and the error (not found when
    // none matches) otherwise.
    SysHandle (*FindFirstAt)(SysHandle folder, const char* mask, SysFindData* found,
                             uint32_t* error);
    int (*FindNextAt)(SysHandle search, SysFindData* found);
    uint32_t (*QueryItem)(SysHandle item, SysItemInfo* info);
    int (*ReadItem)(SysHandle item, void* buffer, uint32_t size, uint32_t* got);
    // Deletes the item through its handle; a folder must be empty.
    uint32_t (*DeleteItem)(SysHandle item);
    // Closes a folder, an item or a search of these calls.
    int (*CloseItem)(SysHandle item);
    // ShellExecuteExA with SEE_MASK_NOCLOSEPROCESS: 1 and the new
    // process, or 0 and the error (kErrorCancelled: the user declined;
    // kErrorProcNotFound: no shell to ask).
    int (*ShellExecuteExA)(const char* verb, const char* file, const char* parameters,
                           SysHandle* process, uint32_t* error);
    // SetProcessMitigationPolicy with a one-word policy record; 0 where
    // the system lacks the call or the policy.
    int (*SetProcessMitigationPolicy)(uint32_t policy, uint32_t flags);
    int (*GetExitCodeProcess)(SysHandle process, uint32_t* code);

    // Running programs. EnumWindows calls found with each top-level window
    // of the desktop and its process (GetWindowThreadProcessId) until found
    // answers 0; 0 when the windows cannot be listed.
    int (*EnumWindows)(int (*found)(SysHandle window, uint32_t processId, void* context),
                       void* context);
    // The full path of a process's program file, into out (kPathSize
    // bytes): QueryFullProcessImageNameA from Vista on, the process list's
    // module entry on 2000 and XP, its own full path on 95, 98 and ME. 0
    // where the system cannot tell (NT 4.0 has no process list).
    int (*GetProcessImagePath)(uint32_t processId, char* out);
    int (*PostMessageA)(SysHandle window, uint32_t message);
    // OpenProcess for waiting on its end; 0 when it cannot be opened.
    SysHandle (*OpenProcess)(uint32_t processId);
    uint32_t (*GetCurrentProcessId)(void);
    uint32_t (*GetTickCount)(void);

    uint32_t (*WaitForSingleObject)(SysHandle handle, uint32_t milliseconds);
    int (*CloseHandle)(SysHandle handle);
    // The button the user chose (kAnswerYes, ...); 0 when no box came.
    int (*MessageBoxA)(SysHandle owner, const char* text, const char* caption,
                       uint32_t style);
    // Case-insensitive comparison in the system's locale; 0 means equal.
    int (*lstrcmpiA)(const char* a, const char* b);

    // Plain files for the streams (streams.h). CreateFileA opens an
    // existing file for reading, or creates a new one for writing; it
    // never overwrites a file that exists. 0 on failure.
    SysHandle (*CreateFileA)(const char* path, int forWriting);
    int (*ReadFile)(SysHandle file, void* buffer, uint32_t size,
                    uint32_t* got);
    int (*WriteFile)(SysHandle file, const void* data, uint32_t size);
    int (*SetFilePointerToStart)(SysHandle file);

    // 1 where names and texts cross to the system in UTF-16: the
    // program's text is then UTF-8 (paths/wide_text.h).
    int (*UsesWideText)(void);
    // MultiByteToWideChar of a whole text in codePage, without error
    // flags: the units before the NUL, or -1 when it does not fit.
    int (*ToWide)(uint32_t codePage, const char* text, uint16_t* out, int size);
    int (*IsValidCodePage)(uint32_t codePage);
};

extern const SystemOps* const Sys;

// The Windows program's first call: later library loads look in the
// system folder only (win32_shell.cpp).
void RestrictLibrarySearch(void);

#endif
