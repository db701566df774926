// The walk through held folders over Win32.
#include "paths/text.h"
#include "sysops/win32.h"

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
        if (ntdll && Nt.queryDirectory && Nt.queryInformation && Nt.setInformation && Nt.toError &&
            HasWideCalls())
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

// A name as NtOpenFile and NtQueryDirectoryFile take it. 0 when it
// cannot be converted whole.
static int WideName(const char* name, WCHAR* wide, NtText* text)
{
    if (!ToWideText(name, wide, kPathSize))
        return 0;
    int n = 0;
    while (wide[n])
        n++;
    text->length = (USHORT)(n * sizeof(WCHAR));
    text->maximumLength = (USHORT)((n + 1) * sizeof(WCHAR));
    text->buffer = wide;
    return 1;
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
    // A name that does not fit is none of the package's (nor dots only).
    if (!FromWideText((const WCHAR*)(entry + (withId ? 104 : 94)), (int)(fields[15] / sizeof(WCHAR)),
                      found->fileName, sizeof found->fileName))
        found->fileName[0] = '?', found->fileName[1] = 0;
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

// The older family (and an NT without those calls, through the W calls):
// an item is its path, and a file opened for reading or a search besides. A walk holds a handful at a time.
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
    DWORD attributes = W32GetFileAttributes(item->path);
    int isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    uint32_t error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError()
                     : isFolder == ((how & kItemFolder) != 0) ? 0
                     : isFolder ? (uint32_t)ERROR_ACCESS_DENIED
                                : (uint32_t)ERROR_DIRECTORY;
    item->isFolder = (how & kItemFolder) != 0;
    if (!error && (how & kItemRead)) {
        item->file = OpenByPath(item->path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
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

uint32_t W32OpenFolder(const char* path, SysHandle* folder)
{
    *folder = 0;
    if (!HasNtCalls())
        return PathOpen(path, "", kItemFolder, folder);
    HANDLE opened = OpenByPath(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS);
    if (opened == INVALID_HANDLE_VALUE)
        return GetLastError();
    *folder = opened;
    return 0;
}

uint32_t W32OpenItemAt(SysHandle folder, const char* name, uint32_t how, SysHandle* item)
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

SysHandle W32FindFirstAt(SysHandle folder, const char* mask, SysFindData* found,
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

int W32FindNextAt(SysHandle search, SysFindData* found)
{
    if (HasNtCalls())
        return !NtNextEntry(search, 0, found);
    return W32FindNextFile(((PathItem*)search)->file, found);
}

uint32_t W32QueryItem(SysHandle item, SysItemInfo* info)
{
    if (HasNtCalls())
        return NtQueryItem(item, info);
    DWORD attributes = W32GetFileAttributes(((PathItem*)item)->path);
    info->attributes = attributes;
    info->reparseTag = 0;
    info->fileId = 0;
    return attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : 0;
}

int W32ReadItem(SysHandle item, void* buffer, uint32_t size, uint32_t* got)
{
    DWORD read = 0;
    int ok = ReadFile(HasNtCalls() ? item : ((PathItem*)item)->file, buffer, size, &read, 0);
    *got = read;
    return ok;
}

uint32_t W32DeleteItem(SysHandle item)
{
    if (HasNtCalls())
        return NtDeleteItem(item);
    PathItem* path = (PathItem*)item;
    if (path->file && path->file != INVALID_HANDLE_VALUE)
        CloseHandle(path->file);  // a file open for reading cannot be deleted here
    path->file = 0;
    int deleted = path->isFolder ? W32RemoveDirectory(path->path) : W32DeleteFile(path->path);
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
    HANDLE file = OpenByPath(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             OPEN_EXISTING, 0);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    int known = FileIdentity(file, identity);
    CloseHandle(file);
    return known;
}

int W32IsOwnFile(SysHandle item)
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

int W32CloseItem(SysHandle item)
{
    if (HasNtCalls())
        return CloseHandle(item);
    FreePathItem((PathItem*)item);
    return 1;
}
