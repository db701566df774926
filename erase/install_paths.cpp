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
    uint32_t size = kPathSize - 1;
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
           FormatText(probe, kPathSize, SaveSlotFormat, prefix, kSaveSlotLast);
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
