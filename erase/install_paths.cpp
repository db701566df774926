// Finding the installation through the current user's registry.
#include "erase/erase.h"

InstallPathsRecord InstallPaths;

// Reads InstallDir into baseDir. A value that fills the buffer without a
// terminating NUL is refused rather than cut short.
static int ReadInstallDir(SysHandle key)
{
    char* out = InstallPaths.baseDir;
    uint32_t size = kPathSize;
    if (Sys->RegQueryValueExA(key, InstallDirValue, out, &size) != 0 || size > kPathSize)
        return 0;
    uint32_t n = 0;
    while (n < size && out[n])
        n++;
    if (n == kPathSize)
        return 0;
    out[n] = 0;
    return n > 0;
}

// Every path the erase run composes below appDir must fit, or the run
// would have to skip items of the package; such an install folder is
// treated as no installation at all.
static int PackagePathsFit(void)
{
    char probe[kPathSize];
    for (int g = 0; g < kFileGroupCount; g++) {
        for (const FileEntry* e = InstalledFileTable[g].entries; e->name; e++) {
            char folder[kPathSize];
            if (e->location != kLocationWindows &&
                !(ComposeTableFolder(folder, e, "") && ComposePath(probe, folder, e->name)))
                return 0;
        }
    }
    for (int i = 0; i < 2; i++) {
        if (!ComposePath(probe, InstallPaths.appDir, "\\", SubfolderNames[i], "\\*.*"))
            return 0;
    }
    char prefix[kPathSize];
    if (!ComposePath(prefix, InstallPaths.dataDir, "\\") ||
        !FormatText(probe, kPathSize, SaveSlotFormat, prefix, kSaveSlotLast))
        return 0;
    for (int i = 0; i < kDataFileCount; i++) {
        if (!ComposePath(probe, prefix, DataFileNames[i]))
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
    if (!found)
        return 0;
    FixTrailingSeparator(InstallPaths.baseDir, kStripSeparator);
    if (!ComposePath(InstallPaths.appDir, InstallPaths.baseDir, "\\", PackageSubpath) ||
        !ComposePath(InstallPaths.dataDir, InstallPaths.appDir, "\\", SubfolderNames[kLocationData]) ||
        !PackagePathsFit()) {
        InstallPaths.baseDir[0] = InstallPaths.appDir[0] = InstallPaths.dataDir[0] = 0;
        return 0;
    }
    return 1;
}
