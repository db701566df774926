// Files and folders by path, and the quiet run's log, over Win32.
#include "paths/text.h"
#include "sysops/win32.h"

// The reparse tag travels in dwReserved0, which means nothing without
// the reparse-point attribute. Wine's FindFirstFileA and FindNextFileA
// leave that field as they found it, hence the records start cleared: a
// tag of 0 then says "not known", and the folder counts as a link.
static void CopyFoundFields(SysFindData* found, DWORD attributes, DWORD reserved0)
{
    found->attributes = attributes;
    found->reparseTag = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? reserved0 : 0;
    found->fileId = 0;  // a search by path tells none
}

static void CopyFound(SysFindData* found, const WIN32_FIND_DATAA* data)
{
    CopyFoundFields(found, data->dwFileAttributes, data->dwReserved0);
    lstrcpynA(found->fileName, data->cFileName, sizeof found->fileName);
}

// A name as the system listed it; one that does not fit is a name no
// item of the package has.
static void CopyFoundWide(SysFindData* found, const WIN32_FIND_DATAW* data)
{
    CopyFoundFields(found, data->dwFileAttributes, data->dwReserved0);
    if (!FromWideText(data->cFileName, -1, found->fileName, sizeof found->fileName))
        found->fileName[0] = '?', found->fileName[1] = 0;
}

SysHandle W32FindFirstFile(const char* pattern, SysFindData* found)
{
    HANDLE search = INVALID_HANDLE_VALUE;
    if (HasWideCalls()) {
        WIN32_FIND_DATAW data = {};
        WCHAR wide[kPathSize];
        if (ToWideText(pattern, wide, kPathSize) &&
            (search = Wide.findFirstFile(wide, &data)) != INVALID_HANDLE_VALUE)
            CopyFoundWide(found, &data);
    } else {
        WIN32_FIND_DATAA data = {};
        if ((search = FindFirstFileA(pattern, &data)) != INVALID_HANDLE_VALUE)
            CopyFound(found, &data);
    }
    return search == INVALID_HANDLE_VALUE ? 0 : search;
}

int W32FindNextFile(SysHandle search, SysFindData* found)
{
    if (HasWideCalls()) {
        WIN32_FIND_DATAW data = {};
        if (!Wide.findNextFile(search, &data))
            return 0;
        CopyFoundWide(found, &data);
        return 1;
    }
    WIN32_FIND_DATAA data = {};
    if (!FindNextFileA(search, &data))
        return 0;
    CopyFound(found, &data);
    return 1;
}

int W32FindClose(SysHandle search) { return FindClose(search); }

// The calls of one path: W or A, as HasWideCalls says; failed when the
// path cannot be converted.
typedef DWORD(WINAPI* OnePathProc)(LPCSTR);
typedef DWORD(WINAPI* OneWidePathProc)(LPCWSTR);

static DWORD ByPath(const char* path, OnePathProc ansi, OneWidePathProc wide, DWORD failed)
{
    WCHAR widePath[kPathSize];
    if (!HasWideCalls())
        return ansi(path);
    return ToWideText(path, widePath, kPathSize) ? wide(widePath) : failed;
}

uint32_t W32GetFileAttributes(const char* path)
{
    return ByPath(path, GetFileAttributesA, (OneWidePathProc)Wide.getFileAttributes,
                  INVALID_FILE_ATTRIBUTES);
}

int W32DeleteFile(const char* path)
{
    return ByPath(path, (OnePathProc)DeleteFileA, (OneWidePathProc)Wide.deleteFile, 0);
}

int W32RemoveDirectory(const char* path)
{
    return ByPath(path, (OnePathProc)RemoveDirectoryA, (OneWidePathProc)Wide.removeDirectory, 0);
}

// WININIT.INI's rewrite: the older family's only.
int W32MoveFile(const char* from, const char* to) { return MoveFileA(from, to); }

// to may be none: a delete at the next restart.
int W32MoveFileEx(const char* from, const char* to, uint32_t flags)
{
    WCHAR wideFrom[kPathSize], wideTo[kPathSize];
    if (!HasWideCalls())
        return MoveFileExA(from, to, flags);
    return ToWideText(from, wideFrom, kPathSize) && (!to || ToWideText(to, wideTo, kPathSize)) &&
           Wide.moveFileEx(wideFrom, to ? wideTo : 0, flags);
}

int W32WritePrivateProfileString(const char* section, const char* key,
                                        const char* value, const char* file)
{
    return WritePrivateProfileStringA(section, key, value, file);
}

// The length when the whole text fit, else 0: these calls return the size
// they would need, or a cut text, when the buffer is too small.
static uint32_t Fitted(uint32_t length, uint32_t size) { return length < size ? length : 0; }

uint32_t W32GetWindowsDirectory(char* out, uint32_t size)
{
    WCHAR wide[kPathSize];
    if (!HasWideCalls())
        return Fitted(GetWindowsDirectoryA(out, size), size);
    return FittedWide(Wide.getWindowsDirectory(wide, kPathSize), wide, out, size);
}

uint32_t W32GetModuleFileName(char* out, uint32_t size)
{
    // A cut name comes back as the whole buffer (without a NUL on XP).
    WCHAR wide[kPathSize];
    if (!HasWideCalls())
        return Fitted(GetModuleFileNameA(0, out, size), size);
    return FittedWide(Wide.getModuleFileName(0, wide, kPathSize), wide, out, size);
}

uint32_t W32GetShortPathName(const char* path, char* out, uint32_t size)
{
    WCHAR widePath[kPathSize], wide[kPathSize];
    if (!HasWideCalls())
        return Fitted(GetShortPathNameA(path, out, size), size);
    if (!ToWideText(path, widePath, kPathSize))
        return 0;
    return FittedWide(Wide.getShortPathName(widePath, wide, kPathSize), wide, out, size);
}

int W32SetCurrentDirectory(const char* path)
{
    return ByPath(path, (OnePathProc)SetCurrentDirectoryA, (OneWidePathProc)Wide.setCurrentDirectory,
                  0);
}

uint32_t W32GetTempPath(char* out, uint32_t size)
{
    WCHAR wide[kPathSize];
    if (!HasWideCalls())
        return Fitted(GetTempPathA(size, out), size);
    return FittedWide(Wide.getTempPath(kPathSize, wide), wide, out, size);
}

HANDLE OpenByPath(const char* path, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    WCHAR wide[kPathSize];
    if (!HasWideCalls())
        return CreateFileA(path, access, share, 0, disposition, flags, 0);
    if (!ToWideText(path, wide, kPathSize))
        return INVALID_HANDLE_VALUE;
    return Wide.createFile(wide, access, share, 0, disposition, flags, 0);
}

// A quiet run of an elevated process may write its log in a folder that
// other programs can write to: on the NT family the log is opened as
// itself, and refused when it is a link or has another name besides.
SysHandle W32OpenLog(const char* path, int* empty)
{
    int nt = IsNtFamily();
    HANDLE log = OpenByPath(path, GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | (nt ? FILE_FLAG_OPEN_REPARSE_POINT : 0));
    if (log == INVALID_HANDLE_VALUE)
        return 0;
    BY_HANDLE_FILE_INFORMATION info;
    if (nt && (!GetFileInformationByHandle(log, &info) ||
               (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || info.nNumberOfLinks > 1)) {
        CloseHandle(log);
        return 0;
    }
    *empty = SetFilePointer(log, 0, 0, FILE_END) == 0;
    return log;
}

SysHandle W32CreateFile(const char* path, int forWriting)
{
    // The streams serve WININIT.INI's rewrite: the older family's only.
    HANDLE file = forWriting
        ? CreateFileA(path, GENERIC_WRITE, 0, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, 0)
        : CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, 0);
    return file == INVALID_HANDLE_VALUE ? 0 : file;
}

int W32ReadFile(SysHandle file, void* buffer, uint32_t size, uint32_t* got)
{
    DWORD read = 0;
    int ok = ReadFile(file, buffer, size, &read, 0);
    *got = read;
    return ok;
}

int W32WriteFile(SysHandle file, const void* data, uint32_t size)
{
    DWORD written = 0;
    return WriteFile(file, data, size, &written, 0) && written == size;
}

int W32SetFilePointerToStart(SysHandle file)
{
    return SetFilePointer(file, 0, 0, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}
