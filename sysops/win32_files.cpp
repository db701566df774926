// Files and folders by path, and the quiet run's log, over Win32.
#include "sysops/win32.h"

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

SysHandle W32FindFirstFile(const char* pattern, SysFindData* found)
{
    WIN32_FIND_DATAA data = {};
    HANDLE search = FindFirstFileA(pattern, &data);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    CopyFound(found, &data);
    return search;
}

int W32FindNextFile(SysHandle search, SysFindData* found)
{
    WIN32_FIND_DATAA data = {};
    if (!FindNextFileA(search, &data))
        return 0;
    CopyFound(found, &data);
    return 1;
}

int W32FindClose(SysHandle search) { return FindClose(search); }
uint32_t W32GetFileAttributes(const char* path) { return GetFileAttributesA(path); }
int W32DeleteFile(const char* path) { return DeleteFileA(path); }
int W32RemoveDirectory(const char* path) { return RemoveDirectoryA(path); }
int W32MoveFile(const char* from, const char* to) { return MoveFileA(from, to); }

int W32MoveFileEx(const char* from, const char* to, uint32_t flags)
{
    return MoveFileExA(from, to, flags);
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
    return Fitted(GetWindowsDirectoryA(out, size), size);
}

uint32_t W32GetModuleFileName(char* out, uint32_t size)
{
    // A cut name comes back as the whole buffer (without a NUL on XP).
    return Fitted(GetModuleFileNameA(0, out, size), size);
}

uint32_t W32GetShortPathName(const char* path, char* out, uint32_t size)
{
    return Fitted(GetShortPathNameA(path, out, size), size);
}

int W32SetCurrentDirectory(const char* path) { return SetCurrentDirectoryA(path); }

uint32_t W32GetTempPath(char* out, uint32_t size)
{
    return Fitted(GetTempPathA(size, out), size);
}

// A quiet run of an elevated process may write its log in a folder that
// other programs can write to: on the NT family the log is opened as
// itself, and refused when it is a link or has another name besides.
SysHandle W32OpenLog(const char* path)
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

SysHandle W32CreateFile(const char* path, int forWriting)
{
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
