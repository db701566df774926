// Finding the installation through the current user's registry.
#include "erase/erase.h"

#include "control/eraser.h"

InstallPathsRecord InstallPaths;

// Reads InstallDir into RunOptions.installDir: kInstallFound, or
// kInstallMissing when there is no such value. The call gets one byte
// less than the buffer holds, so that a value stored without its
// terminating NUL still gets one; a longer value is refused, never cut
// short (Win32 reports no more than it was given room for).
static int ReadInstallDir(SysHandle key)
{
    uint32_t size = PathRoom - 1;
    long error = Sys->RegQueryValueExA(key, InstallDirValue, RunOptions.installDir, &size);
    if (error)
        return error == kErrorFileNotFound ? kInstallMissing : kInstallUnusable;
    RunOptions.installDir[size] = 0;
    return kInstallFound;
}

// Every path the erase run composes below appDir must fit, or the run
// would have to skip items of the package: such an install folder counts
// as no installation at all, and such a mirror as no mirror. The deepest
// of them is the last save slot: the table files and the listings of DATA
// and ACC are shorter (the unit tests hold the tables to that).
int PackagePathsFit(const InstallPathsRecord* paths)
{
    char prefix[kPathSize], probe[kPathSize];
    return ComposePath(prefix, paths->dataDir, "\\") &&
           FormatText(probe, kRoomOfPath, SaveSlotFormat, prefix, kSaveSlotLast);
}

int IsFullPath(const char* path)
{
    int letter = path[0] | 0x20;
    return (letter >= 'a' && letter <= 'z' && path[1] == ':' && path[2] == '\\') ||
           (path[0] == '\\' && path[1] == '\\');
}

int UseInstallDir(const char* value)
{
    if (!value[0] || !ComposePath(InstallPaths.baseDir, value))
        return 0;
    FixTrailingSeparator(InstallPaths.baseDir, kStripSeparator);
    if (!ComposePath(InstallPaths.appDir, InstallPaths.baseDir, "\\", MakerFolderName, "\\",
                     PackageFolderName) ||
        !ComposePath(InstallPaths.dataDir, InstallPaths.appDir, "\\", SubfolderNames[kLocationData]) ||
        !PackagePathsFit(&InstallPaths)) {
        InstallPaths.baseDir[0] = InstallPaths.appDir[0] = InstallPaths.dataDir[0] = 0;
        return 0;
    }
    return 1;
}

int LoadInstallPaths(void)
{
    SysHandle key = 0;
    if (Sys->RegOpenKeyExA(PackageKey, &key) != 0)
        return 0;
    int found = ReadInstallDir(key);
    Sys->RegCloseKey(key);
    if (found != kInstallFound)
        return found;
    return UseInstallDir(RunOptions.installDir) ? kInstallFound : kInstallUnusable;
}

// Gone for sure: the system's "not found", and nothing else.
static int IsAbsentPath(const char* path)
{
    if (Sys->GetFileAttributesA(path) != kInvalidFileAttributes)
        return 0;
    uint32_t error = Sys->GetLastError();
    return error == kErrorFileNotFound || error == kErrorPathNotFound;
}

// 1 when the item under the code page 932 name is absent and the one
// under the other reading (composed alike, into other) is there; folder
// ends in a separator. -1 when neither is there, 0 otherwise.
static int OnlyOtherReading(const char* folder, const char* const* name, uint32_t codePage,
                            char* other)
{
    char own[kPathSize], otherName[kPathSize];
    if (!ReadFixedName(name, codePage, otherName, kPathSize) ||
        !ComposePath(own, folder, *name) || !ComposePath(other, folder, otherName) ||
        !IsAbsentPath(own))
        return 0;
    return IsAbsentPath(other) ? -1 : 1;
}

static int InstalledUnderReading(uint32_t codePage)
{
    char folder[kPathSize], other[kPathSize], program[kPathSize];
    if (!ComposePath(folder, InstallPaths.baseDir, "\\", MakerFolderName, "\\"))
        return 0;
    int found = OnlyOtherReading(folder, &PackageFolderName, codePage, other);
    if (found > 0) {
        // Somebody else's folder of that name is not taken for the package.
        static const char* const kPrograms[] = {"\\VELDPZ.EXE", "\\VELDUNIN.EXE"};
        for (const char* file : kPrograms) {
            if (ComposePath(program, other, file) && !IsAbsentPath(program))
                return 1;
        }
        return 0;
    }
    if (found == 0)
        return 0;
    // No package folder is left: the group folder tells, else the first
    // screen saver.
    if (Sys->GetSpecialFolderPath(kCsidlPrograms, folder)) {
        FixTrailingSeparator(folder, kAddSeparator);
        found = OnlyOtherReading(folder, &StartMenuGroupName, codePage, other);
        if (found >= 0)
            return found;
    }
    GetTableWindowsFolder(folder);
    const FileEntry* saver = &InstalledFileTable[1].entries[4];
    return OnlyOtherReading(folder, &saver->name, codePage, other) > 0;
}

int ChoosePackageNames(void)
{
    if (!Sys->UsesWideText())
        return 1;
    uint32_t ansi = Sys->GetACP();
    // Under UTF-8 (65001) the bytes read as replacement characters, which
    // name nothing reliably.
    if (ansi == MessageCodePage() || ansi == kCodePageUtf8 || !InstalledUnderReading(ansi))
        return 1;
    if (ReadFixedTexts(ansi) && UseInstallDir(RunOptions.installDir))
        return 1;
    // The package is there, under names whose paths would not fit: as an
    // install folder too long to work below, it counts as unusable.
    ReadFixedTexts(0);
    return 0;
}
