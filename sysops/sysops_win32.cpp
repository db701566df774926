// The system operations over Win32: the product's side of the seam.
#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include "paths/text.h"
#include "sysops/sysops.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x800
#endif

// The older family answers GetVersion with the high bit set.
static int IsNtFamily(void) { return (LONG)GetVersion() >= 0; }

// A function that this Windows may lack, looked up by name.
#define LookUp(type, module, name) ((type)(void (*)(void))GetProcAddress((module), (name)))

typedef BOOL(WINAPI* SetDefaultDllDirectoriesProc)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryProc)(LPCSTR);
typedef HRESULT(WINAPI* SpecialFolderLocationProc)(HWND, int, LPITEMIDLIST*);
typedef BOOL(WINAPI* PathFromIDListProc)(LPCITEMIDLIST, LPSTR);
typedef HRESULT(WINAPI* ShellMallocProc)(IMalloc**);
typedef BOOL(WINAPI* ShellExecuteExProc)(SHELLEXECUTEINFOA*);
typedef BOOL(WINAPI* OpenProcessTokenProc)(HANDLE, DWORD, HANDLE*);
typedef BOOL(WINAPI* GetTokenInformationProc)(HANDLE, int, void*, DWORD, DWORD*);
typedef BOOL(WINAPI* SetMitigationPolicyProc)(int, void*, SIZE_T);
typedef BOOL(WINAPI* QueryImageNameProc)(HANDLE, DWORD, LPSTR, DWORD*);
typedef HANDLE(WINAPI* SnapshotProc)(DWORD, DWORD);
typedef BOOL(WINAPI* ProcessWalkProc)(HANDLE, PROCESSENTRY32*);
typedef BOOL(WINAPI* ModuleWalkProc)(HANDLE, MODULEENTRY32*);

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
    ShellExecuteExProc shellExecute;
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
    ShellCalls.pathFromList = LookUp(PathFromIDListProc, shell, "SHGetPathFromIDListA");
    ShellCalls.shellMalloc = LookUp(ShellMallocProc, shell, "SHGetMalloc");
    ShellCalls.shellExecute = LookUp(ShellExecuteExProc, shell, "ShellExecuteExA");
    if (ShellCalls.pathFromList && ShellCalls.shellMalloc)
        ShellCalls.folderLocation =
            LookUp(SpecialFolderLocationProc, shell, "SHGetSpecialFolderLocation");
    return ShellCalls.folderLocation != 0;
}

// The reparse tag travels in dwReserved0, which means nothing without
// the reparse-point attribute. Wine's FindFirstFileA and FindNextFileA
// leave that field as they found it, hence the records start cleared: a
// tag of 0 then says "not known", and the folder counts as a link.
static void CopyFound(SysFindData* found, const WIN32_FIND_DATAA* data)
{
    found->attributes = data->dwFileAttributes;
    found->reparseTag =
        (data->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? data->dwReserved0 : 0;
    found->fileId = 0;  // a search by path tells none
    lstrcpynA(found->fileName, data->cFileName, sizeof found->fileName);
}

static SysHandle W32FindFirstFile(const char* pattern, SysFindData* found)
{
    WIN32_FIND_DATAA data = {};
    HANDLE search = FindFirstFileA(pattern, &data);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    CopyFound(found, &data);
    return search;
}

static int W32FindNextFile(SysHandle search, SysFindData* found)
{
    WIN32_FIND_DATAA data = {};
    if (!FindNextFileA(search, &data))
        return 0;
    CopyFound(found, &data);
    return 1;
}

static int W32FindClose(SysHandle search) { return FindClose(search); }
static uint32_t W32GetFileAttributes(const char* path) { return GetFileAttributesA(path); }
static int W32DeleteFile(const char* path) { return DeleteFileA(path); }
static int W32RemoveDirectory(const char* path) { return RemoveDirectoryA(path); }
static int W32MoveFile(const char* from, const char* to) { return MoveFileA(from, to); }

static int W32MoveFileEx(const char* from, const char* to, uint32_t flags)
{
    return MoveFileExA(from, to, flags);
}

static int W32WritePrivateProfileString(const char* section, const char* key,
                                        const char* value, const char* file)
{
    return WritePrivateProfileStringA(section, key, value, file);
}

// The length when the whole text fit, else 0: these calls return the size
// they would need, or a cut text, when the buffer is too small.
static uint32_t Fitted(uint32_t length, uint32_t size) { return length < size ? length : 0; }

static uint32_t W32GetWindowsDirectory(char* out, uint32_t size)
{
    return Fitted(GetWindowsDirectoryA(out, size), size);
}

static uint32_t W32GetModuleFileName(char* out, uint32_t size)
{
    // A cut name comes back as the whole buffer (without a NUL on XP).
    return Fitted(GetModuleFileNameA(0, out, size), size);
}

static uint32_t W32GetShortPathName(const char* path, char* out, uint32_t size)
{
    return Fitted(GetShortPathNameA(path, out, size), size);
}

static int W32SetCurrentDirectory(const char* path) { return SetCurrentDirectoryA(path); }

static int W32GetSpecialFolderPath(int csidl, char* out)
{
    LPITEMIDLIST list = 0;
    if (!LoadShell() || ShellCalls.folderLocation(0, csidl, &list) != S_OK)
        return 0;
    int found = ShellCalls.pathFromList(list, out) != 0;
    // The list comes from the shell's allocator, which must free it.
    IMalloc* shellMalloc = 0;
    if (SUCCEEDED(ShellCalls.shellMalloc(&shellMalloc))) {
        shellMalloc->Free(list);
        shellMalloc->Release();
    }
    return found;
}

static long W32RegOpenKeyEx(const char* subKey, SysHandle* key)
{
    HKEY opened = 0;
    long result = RegOpenKeyExA(HKEY_CURRENT_USER, subKey, 0, KEY_ALL_ACCESS, &opened);
    *key = opened;
    return result;
}

static long W32RegQueryValueEx(SysHandle key, const char* name, char* data, uint32_t* size)
{
    DWORD type = REG_SZ;
    DWORD bytes = *size;
    long result = RegQueryValueExA((HKEY)key, name, 0, &type, (BYTE*)data, &bytes);
    *size = bytes;
    return result;
}

static long W32RegQueryInfoKey(SysHandle key, uint32_t* subKeys, uint32_t* values)
{
    DWORD keys = 0, count = 0;
    long result = RegQueryInfoKeyA((HKEY)key, 0, 0, 0, &keys, 0, 0, &count, 0, 0, 0, 0);
    *subKeys = keys;
    *values = count;
    return result;
}

static long W32RegDeleteKey(const char* subKey) { return RegDeleteKeyA(HKEY_CURRENT_USER, subKey); }
static long W32RegCloseKey(SysHandle key) { return RegCloseKey((HKEY)key); }

static int W32GetVersionEx(uint32_t* platformId)
{
    OSVERSIONINFOA info;
    info.dwOSVersionInfoSize = sizeof info;  // 148 bytes
    if (!GetVersionExA(&info))
        return 0;
    *platformId = info.dwPlatformId;
    return 1;
}

static uint32_t W32GetLastError(void) { return GetLastError(); }
static void W32SetErrorMode(uint32_t mode) { SetErrorMode(mode); }

static int W32GetLocalTime(SysTime* now)
{
    SYSTEMTIME time;
    GetLocalTime(&time);
    *now = {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
    return 1;
}

static int W32GetUserName(char* out, uint32_t size)
{
    DWORD length = size;
    return GetUserNameA(out, &length);
}

static uint32_t W32GetTempPath(char* out, uint32_t size)
{
    return Fitted(GetTempPathA(size, out), size);
}

// A quiet run of an elevated process may write its log in a folder that
// other programs can write to: on the NT family the log is opened as
// itself, and refused when it is a link or has another name besides.
static SysHandle W32OpenLog(const char* path)
{
    int nt = IsNtFamily();
    HANDLE log = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, 0, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL | (nt ? FILE_FLAG_OPEN_REPARSE_POINT : 0), 0);
    if (log == INVALID_HANDLE_VALUE)
        return 0;
    BY_HANDLE_FILE_INFORMATION info;
    if (nt && (!GetFileInformationByHandle(log, &info) ||
               (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || info.nNumberOfLinks > 1)) {
        CloseHandle(log);
        return 0;
    }
    SetFilePointer(log, 0, 0, FILE_END);
    return log;
}

static uint32_t W32GetACP(void) { return GetACP(); }

static int W32GetCPInfo(uint32_t codePage, SysCpInfo* out)
{
    CPINFO info;
    if (!GetCPInfo(codePage, &info))
        return 0;
    out->maxCharSize = info.MaxCharSize;
    for (int i = 0; i < 12; i++)
        out->leadByte[i] = info.LeadByte[i];
    return 1;
}

// Windows before Vista cannot say whether a token is elevated, and the
// older family has no tokens at all: both answer "unknown". A test build
// of the Wine scenarios pretends to run with a token that is not elevated
// and is refused every item, which Wine never does.
static uint32_t W32GetTokenElevation(void)
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

// ---- the walk through handles
//
// The NT family opens one name at a time relative to a folder's handle
// (NtOpenFile with a root directory): nothing above that folder is parsed
// again. These calls are in NTDLL, which every NT process has loaded; the
// older family has none of them, no links and no handles of folders, and
// goes by path instead (below).

typedef LONG NtStatus;
struct NtText {
    USHORT length, maximumLength;  // in bytes
    WCHAR* buffer;
};
struct NtObjectAttributes {
    ULONG length;
    HANDLE rootDirectory;
    NtText* objectName;
    ULONG attributes;
    void* securityDescriptor;
    void* securityQualityOfService;
};
struct NtIoStatus {
    union {
        NtStatus status;
        void* pointer;
    };
    ULONG_PTR information;
};
typedef NtStatus(NTAPI* NtOpenFileProc)(HANDLE*, ACCESS_MASK, NtObjectAttributes*, NtIoStatus*,
                                        ULONG, ULONG);
typedef NtStatus(NTAPI* NtQueryDirectoryFileProc)(HANDLE, HANDLE, void*, void*, NtIoStatus*, void*,
                                                  ULONG, int, BOOLEAN, NtText*, BOOLEAN);
typedef NtStatus(NTAPI* NtFileInformationProc)(HANDLE, NtIoStatus*, void*, ULONG, int);
typedef ULONG(NTAPI* NtStatusToErrorProc)(NtStatus);
typedef int(WINAPI* ToWideProc)(UINT, DWORD, LPCSTR, int, LPWSTR, int);
typedef int(WINAPI* FromWideProc)(UINT, DWORD, LPCWSTR, int, LPSTR, int, LPCSTR, LPBOOL);

enum : ULONG {
    kObjCaseInsensitive = 0x40, kObjDontReparse = 0x1000,
    kFileDirectoryFile = 0x1, kFileSynchronousIo = 0x20, kFileNonDirectoryFile = 0x40,
    kFileOpenReparsePoint = 0x200000,
    kDispositionDelete = 0x1, kDispositionPosixSemantics = 0x2,
};
enum {
    kFileBothDirectoryInformation = 3, kFileBasicInformation = 4, kFileInternalInformation = 6,
    kFileDispositionInformation = 13, kFileAttributeTagInformation = 35,
    kFileIdBothDirectoryInformation = 37, kFileDispositionInformationEx = 64,
};
enum : ULONG {
    kStatusNotImplemented = 0xC0000002u, kStatusInvalidInfoClass = 0xC0000003u,
    kStatusInvalidParameter = 0xC000000Du, kStatusNotSupported = 0xC00000BBu,
};

static struct {
    int tried;
    NtOpenFileProc open;  // 0: the older family
    NtQueryDirectoryFileProc queryDirectory;
    NtFileInformationProc queryInformation, setInformation;
    NtStatusToErrorProc toError;
    ToWideProc toWide;  // KERNEL32's, for the names
    FromWideProc fromWide;
    // What this system turned down once, and is not asked again.
    int noDontReparse, noIdListing, noTagQuery, noDispositionEx;
} Nt;

// The older family has no such calls (and a program there never sees an
// NTDLL of its own).
static int HasNtCalls(void)
{
    if (!Nt.tried) {
        Nt.tried = 1;
        HMODULE ntdll = IsNtFamily() ? GetModuleHandleA("NTDLL.DLL") : 0;
        Nt.queryDirectory = LookUp(NtQueryDirectoryFileProc, ntdll, "NtQueryDirectoryFile");
        Nt.queryInformation = LookUp(NtFileInformationProc, ntdll, "NtQueryInformationFile");
        Nt.setInformation = LookUp(NtFileInformationProc, ntdll, "NtSetInformationFile");
        Nt.toError = LookUp(NtStatusToErrorProc, ntdll, "RtlNtStatusToDosError");
        HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
        Nt.toWide = LookUp(ToWideProc, kernel, "MultiByteToWideChar");
        Nt.fromWide = LookUp(FromWideProc, kernel, "WideCharToMultiByte");
        if (ntdll && Nt.queryDirectory && Nt.queryInformation && Nt.setInformation && Nt.toError &&
            Nt.toWide && Nt.fromWide)
            Nt.open = LookUp(NtOpenFileProc, ntdll, "NtOpenFile");
    }
    return Nt.open != 0;
}

static uint32_t NtError(NtStatus status) { return status ? Nt.toError(status) : 0; }

// How a system says it knows no such class (Wine: not implemented).
static int IsUnknownClass(NtStatus status)
{
    ULONG code = (ULONG)status;
    return code == kStatusInvalidParameter || code == kStatusInvalidInfoClass ||
           code == kStatusNotSupported || code == kStatusNotImplemented;
}

// A name in the ANSI code page, as the A functions take it. 0 when it
// cannot be converted whole.
static int WideName(const char* name, WCHAR* wide, NtText* text)
{
    int n = Nt.toWide(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, wide, kPathSize);
    text->length = (USHORT)((n - 1) * sizeof(WCHAR));
    text->maximumLength = (USHORT)(n * sizeof(WCHAR));
    text->buffer = wide;
    return n > 0;
}

// Opens name (empty: the folder itself, anew) relative to folder. A
// system that does not know OBJ_DONT_REPARSE calls it an invalid
// parameter: it is asked once more without, and never again.
static uint32_t NtOpenAt(HANDLE folder, const char* name, ACCESS_MASK access, ULONG share,
                         ULONG options, HANDLE* item)
{
    WCHAR wide[kPathSize];
    NtText text;
    if (!WideName(name, wide, &text))
        return ERROR_INVALID_NAME;
    for (;;) {
        NtObjectAttributes attributes = {sizeof attributes, folder, &text,
                                         kObjCaseInsensitive | (Nt.noDontReparse ? 0u : (ULONG)kObjDontReparse),
                                         0, 0};
        NtIoStatus io;
        NtStatus status = Nt.open(item, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &io,
                                  share, options | kFileSynchronousIo);
        if ((ULONG)status != kStatusInvalidParameter || Nt.noDontReparse) {
            if (status)
                *item = 0;
            return NtError(status);
        }
        Nt.noDontReparse = 1;
    }
}

// A directory entry, either layout: with the file ID (XP and later) or
// without (NT 4.0).
static void CopyEntry(SysFindData* found, const BYTE* entry, int withId)
{
    const ULONG* fields = (const ULONG*)entry;
    found->attributes = fields[14];
    // EaSize holds the reparse tag of an entry that has one.
    found->reparseTag = (found->attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? fields[16] : 0;
    found->fileId = withId ? *(const ULONGLONG*)(entry + 96) : 0;
    int length = Nt.fromWide(CP_ACP, 0, (const WCHAR*)(entry + (withId ? 104 : 94)),
                                     (int)(fields[15] / sizeof(WCHAR)), found->fileName,
                                     sizeof found->fileName - 1, 0, 0);
    if (length <= 0)
        found->fileName[length++] = '?';  // no name of dots only
    found->fileName[length] = 0;
}

// The next entry; 0, or the error (not found once there is none).
static uint32_t NtNextEntry(HANDLE search, NtText* mask, SysFindData* found)
{
    ULONGLONG buffer[(104 + 2 * MAX_PATH) / 8 + 1];
    for (;;) {
        NtIoStatus io;
        int classId = Nt.noIdListing ? kFileBothDirectoryInformation : kFileIdBothDirectoryInformation;
        NtStatus status = Nt.queryDirectory(search, 0, 0, 0, &io, buffer, sizeof buffer, classId,
                                            TRUE, mask, mask != 0);
        if (status == 0) {
            CopyEntry(found, (const BYTE*)buffer, !Nt.noIdListing);
            return 0;
        }
        if (Nt.noIdListing || !IsUnknownClass(status))
            return NtError(status);
        Nt.noIdListing = 1;
    }
}

static SysHandle NtFindFirstAt(HANDLE folder, const char* mask, SysFindData* found, uint32_t* error)
{
    HANDLE search = 0;
    WCHAR wide[kPathSize];
    NtText text;
    *error = ERROR_INVALID_NAME;
    if (!WideName(mask, wide, &text) ||
        (*error = NtOpenAt(folder, "", FILE_LIST_DIRECTORY,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, kFileDirectoryFile,
                           &search)) ||
        !(*error = NtNextEntry(search, &text, found)))
        return search;
    CloseHandle(search);
    return 0;
}

// The tag through the handle; FAT, exFAT and NT 4.0 know no such query,
// and have no links either.
static uint32_t NtQueryItem(HANDLE item, SysItemInfo* info)
{
    NtIoStatus io;
    NtStatus status = 1;
    if (!Nt.noTagQuery) {
        ULONG tagged[2];
        status = Nt.queryInformation(item, &io, tagged, sizeof tagged, kFileAttributeTagInformation);
        info->attributes = tagged[0];
        info->reparseTag = tagged[1];
        Nt.noTagQuery = IsUnknownClass(status);
    }
    if (Nt.noTagQuery) {
        ULONGLONG basic[5];
        status = Nt.queryInformation(item, &io, basic, sizeof basic, kFileBasicInformation);
        info->attributes = (ULONG)basic[4];
        info->reparseTag = 0;
    }
    ULONGLONG id = 0;
    if (!status)
        status = Nt.queryInformation(item, &io, &id, sizeof id, kFileInternalInformation);
    info->fileId = id;
    return NtError(status);
}

// The newer class drops the name at once, even while an indexer or a
// virus scanner holds the file; FAT, older systems and Wine know only the
// older one, which drops it when the last handle goes.
static uint32_t NtDeleteItem(HANDLE item)
{
    NtIoStatus io;
    if (!Nt.noDispositionEx) {
        ULONG flags = kDispositionDelete | kDispositionPosixSemantics;
        NtStatus status = Nt.setInformation(item, &io, &flags, sizeof flags, kFileDispositionInformationEx);
        if (!IsUnknownClass(status))
            return NtError(status);
        Nt.noDispositionEx = 1;
    }
    BOOLEAN deleteIt = TRUE;
    return NtError(Nt.setInformation(item, &io, &deleteIt, sizeof deleteIt, kFileDispositionInformation));
}

// The older family: an item is its path, and a file opened for reading or
// a search besides. A walk holds a handful at a time.
struct PathItem {
    int used;
    int isFolder;
    HANDLE file;    // an open file or a search; 0 or INVALID_HANDLE_VALUE: none
    int isSearch;
    char path[kPathSize];
};
static PathItem PathItems[12];

// The seed's text rules: a folder that ends in a separator (a drive's
// root) gets none more.
static PathItem* NewPathItem(const char* folder, const char* name)
{
    const char* separator = *name && *folder && !EndsInSeparator(folder) ? "\\" : "";
    for (PathItem& item : PathItems) {
        if (!item.used && ComposePath(item.path, folder, separator, name)) {
            item.used = 1;
            item.file = 0;
            item.isSearch = 0;
            return &item;
        }
    }
    return 0;
}

static void FreePathItem(PathItem* item)
{
    if (item->isSearch)
        FindClose(item->file);
    else if (item->file && item->file != INVALID_HANDLE_VALUE)
        CloseHandle(item->file);
    item->used = 0;
}

static uint32_t PathOpen(const char* folder, const char* name, uint32_t how, SysHandle* out)
{
    PathItem* item = NewPathItem(folder, name);
    if (!item)
        return ERROR_FILENAME_EXCED_RANGE;
    DWORD attributes = GetFileAttributesA(item->path);
    int isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    uint32_t error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError()
                     : isFolder == ((how & kItemFolder) != 0) ? 0
                     : isFolder ? (uint32_t)ERROR_ACCESS_DENIED
                                : (uint32_t)ERROR_DIRECTORY;
    item->isFolder = (how & kItemFolder) != 0;
    if (!error && (how & kItemRead)) {
        item->file = CreateFileA(item->path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
        if (item->file == INVALID_HANDLE_VALUE)
            error = GetLastError();
    }
    if (error) {
        FreePathItem(item);
        return error;
    }
    *out = item;
    return 0;
}

static uint32_t W32OpenFolder(const char* path, SysHandle* folder)
{
    *folder = 0;
    if (!HasNtCalls())
        return PathOpen(path, "", kItemFolder, folder);
    HANDLE opened = CreateFileA(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, 0);
    if (opened == INVALID_HANDLE_VALUE)
        return GetLastError();
    *folder = opened;
    return 0;
}

static uint32_t W32OpenItemAt(SysHandle folder, const char* name, uint32_t how, SysHandle* item)
{
    *item = 0;
#ifdef ERASER_PRETEND_LIMITED_TOKEN
    if (how & kItemProbe)
        return ERROR_ACCESS_DENIED;
#endif
    if (!HasNtCalls())
        return PathOpen(((PathItem*)folder)->path, name, how, item);
    // A folder is held for listing, sharing reading and writing but not
    // deletion, so that no other program can rename it while one that
    // writes there is not kept out; anything else is opened to be read or
    // deleted, sharing all.
    int holds = (how & kItemFolder) && !(how & kItemDelete);
    ACCESS_MASK access = holds ? FILE_LIST_DIRECTORY
                               : ((how & kItemDelete) ? DELETE : 0) |
                                     ((how & kItemRead) ? FILE_READ_DATA : 0);
    ULONG share = FILE_SHARE_READ | FILE_SHARE_WRITE | (holds ? 0 : FILE_SHARE_DELETE);
    ULONG options = kFileOpenReparsePoint |
                    ((how & kItemFolder) ? kFileDirectoryFile : kFileNonDirectoryFile);
    return NtOpenAt(folder, name, access, share, options, (HANDLE*)item);
}

static SysHandle W32FindFirstAt(SysHandle folder, const char* mask, SysFindData* found,
                                uint32_t* error)
{
    if (HasNtCalls())
        return NtFindFirstAt(folder, mask, found, error);
    *error = ERROR_FILENAME_EXCED_RANGE;
    PathItem* search = NewPathItem(((PathItem*)folder)->path, mask);
    if (!search)
        return 0;
    search->isSearch = 1;
    search->file = W32FindFirstFile(search->path, found);
    if (!search->file) {
        *error = GetLastError();
        search->isSearch = 0;
        FreePathItem(search);
        return 0;
    }
    return search;
}

static int W32FindNextAt(SysHandle search, SysFindData* found)
{
    if (HasNtCalls())
        return !NtNextEntry(search, 0, found);
    return W32FindNextFile(((PathItem*)search)->file, found);
}

static uint32_t W32QueryItem(SysHandle item, SysItemInfo* info)
{
    if (HasNtCalls())
        return NtQueryItem(item, info);
    DWORD attributes = GetFileAttributesA(((PathItem*)item)->path);
    info->attributes = attributes;
    info->reparseTag = 0;
    info->fileId = 0;
    return attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : 0;
}

static int W32ReadItem(SysHandle item, void* buffer, uint32_t size, uint32_t* got)
{
    DWORD read = 0;
    int ok = ReadFile(HasNtCalls() ? item : ((PathItem*)item)->file, buffer, size, &read, 0);
    *got = read;
    return ok;
}

static uint32_t W32DeleteItem(SysHandle item)
{
    if (HasNtCalls())
        return NtDeleteItem(item);
    PathItem* path = (PathItem*)item;
    if (path->file && path->file != INVALID_HANDLE_VALUE)
        CloseHandle(path->file);  // a file open for reading cannot be deleted here
    path->file = 0;
    int deleted = path->isFolder ? RemoveDirectoryA(path->path) : DeleteFileA(path->path);
    return deleted ? 0 : GetLastError();
}

// The volume and the file index of a file: the same file, whatever its
// path or name.
static int FileIdentity(HANDLE file, DWORD* identity)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info))
        return 0;
    identity[0] = info.dwVolumeSerialNumber;
    identity[1] = info.nFileIndexHigh;
    identity[2] = info.nFileIndexLow;
    return 1;
}

static int PathIdentity(const char* path, DWORD* identity)
{
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0,
                              OPEN_EXISTING, 0, 0);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    int known = FileIdentity(file, identity);
    CloseHandle(file);
    return known;
}

static int W32IsOwnFile(SysHandle item)
{
    static DWORD self[3];
    static int selfAsked, selfKnown;
    if (!selfAsked) {
        char path[kPathSize];
        selfAsked = 1;
        selfKnown = W32GetModuleFileName(path, kPathSize) && PathIdentity(path, self);
    }
    DWORD other[3];
    int known = HasNtCalls() ? FileIdentity(item, other)
                             : PathIdentity(((PathItem*)item)->path, other);
    return selfKnown && known && other[0] == self[0] && other[1] == self[1] && other[2] == self[2];
}

static int W32CloseItem(SysHandle item)
{
    if (HasNtCalls())
        return CloseHandle(item);
    FreePathItem((PathItem*)item);
    return 1;
}

static int W32SetProcessMitigationPolicy(uint32_t policy, uint32_t flags)
{
    SetMitigationPolicyProc setPolicy = LookUp(SetMitigationPolicyProc,
                                               GetModuleHandleA("KERNEL32.DLL"),
                                               "SetProcessMitigationPolicy");
    DWORD record = flags;
    return setPolicy && setPolicy((int)policy, &record, sizeof record);
}

static int W32ShellExecuteEx(const char* verb, const char* file, const char* parameters,
                             SysHandle* process, uint32_t* error)
{
    *process = 0;
    *error = ERROR_PROC_NOT_FOUND;
    if (!LoadShell() || !ShellCalls.shellExecute)
        return 0;
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = verb;
    info.lpFile = file;
    info.lpParameters = parameters;
    info.nShow = SW_SHOWNORMAL;
    if (!ShellCalls.shellExecute(&info)) {
        *error = GetLastError();
        return 0;
    }
    *process = info.hProcess;
    return 1;
}

static int W32GetExitCodeProcess(SysHandle process, uint32_t* code)
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

static int W32EnumWindows(int (*found)(SysHandle, uint32_t, void*), void* context)
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
    ModuleWalkProc firstModule = LookUp(ModuleWalkProc, kernel, "Module32First");
    if (!snapshot || !firstProcess || !nextProcess || !firstModule)
        return 0;  // NT 4.0
    int found = 0;
    if (IsNtFamily()) {
        HANDLE list = snapshot(TH32CS_SNAPMODULE, processId);
        if (list == INVALID_HANDLE_VALUE)
            return 0;
        MODULEENTRY32 module;
        module.dwSize = sizeof module;
        if (firstModule(list, &module))
            found = ComposePath(out, module.szExePath);
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

static int W32GetProcessImagePath(uint32_t processId, char* out)
{
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    QueryImageNameProc query = LookUp(QueryImageNameProc, kernel, "QueryFullProcessImageNameA");
    if (!query)
        return ProcessListImagePath(kernel, processId, out);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process)
        return 0;
    DWORD size = kPathSize;
    int found = query(process, 0, out, &size) && size < kPathSize;
    CloseHandle(process);
    return found;
}

static int W32PostMessage(SysHandle window, uint32_t message)
{
    return PostMessageA((HWND)window, message, 0, 0);
}

static SysHandle W32OpenProcess(uint32_t processId)
{
    return OpenProcess(SYNCHRONIZE, FALSE, processId);
}

static uint32_t W32GetCurrentProcessId(void) { return GetCurrentProcessId(); }
static uint32_t W32GetTickCount(void) { return GetTickCount(); }

static uint32_t W32WaitForSingleObject(SysHandle handle, uint32_t milliseconds)
{
    return WaitForSingleObject(handle, milliseconds);
}

static int W32CloseHandle(SysHandle handle) { return CloseHandle(handle); }

static int W32MessageBox(SysHandle owner, const char* text, const char* caption, uint32_t style)
{
    return MessageBoxA((HWND)owner, text, caption, style);
}

static int W32Lstrcmpi(const char* a, const char* b) { return lstrcmpiA(a, b); }

static SysHandle W32CreateFile(const char* path, int forWriting)
{
    HANDLE file = forWriting
        ? CreateFileA(path, GENERIC_WRITE, 0, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, 0)
        : CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, 0);
    return file == INVALID_HANDLE_VALUE ? 0 : file;
}

static int W32ReadFile(SysHandle file, void* buffer, uint32_t size, uint32_t* got)
{
    DWORD read = 0;
    int ok = ReadFile(file, buffer, size, &read, 0);
    *got = read;
    return ok;
}

static int W32WriteFile(SysHandle file, const void* data, uint32_t size)
{
    DWORD written = 0;
    return WriteFile(file, data, size, &written, 0) && written == size;
}

static int W32SetFilePointerToStart(SysHandle file)
{
    return SetFilePointer(file, 0, 0, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
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
};

extern const SystemOps* const Sys;
const SystemOps* const Sys = &Win32Ops;
