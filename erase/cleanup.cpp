// The package's folders, inside out, its registry keys, and the machine's
// items as a whole.
#include "erase/erase.h"
#include "paths/removal.h"

static int MakerKeyIsEmpty(void)
{
    SysHandle key = 0;
    if (Sys->RegOpenKeyExA(MakerKey, &key) != 0)
        return 0;
    uint32_t subKeys = 1, values = 1;
    int empty = Sys->RegQueryInfoKeyA(key, &subKeys, &values) == 0 && subKeys == 0 && values == 0;
    Sys->RegCloseKey(key);
    return empty;
}

// A link on the way down from the install folder stays, with its notice.
static int RemovePackageFolder(SysHandle owner, const InstallPathsRecord* paths, const char* path)
{
    if (ReportLinkOnWay(owner, paths->baseDir, path, FolderWordFolder))
        return 0;
    return RemoveFolderIfEmpty(owner, path, FolderWordFolder);
}

void RemovePackageFoldersIn(SysHandle owner, const InstallPathsRecord* paths)
{
    // The first folder that stays ends the folder removal: its parents
    // cannot have become empty.
    char acc[kPathSize];
    int stayed = !ComposePath(acc, paths->appDir, "\\", SubfolderNames[kLocationAcc]) ||
                 RemovePackageFolder(owner, paths, acc) != 1;
    if (!stayed)
        stayed = RemovePackageFolder(owner, paths, paths->dataDir) != 1;
    if (!stayed)
        RemoveFolderChain(owner, paths->baseDir, paths->appDir, FolderWordFolder);
}

void RemovePackageFolders(SysHandle owner)
{
    RemovePackageFoldersIn(owner, &InstallPaths);
}

void RemoveRegistryKeys(void)
{
    Sys->RegDeleteKeyA(PackageKey);
    if (MakerKeyIsEmpty())
        Sys->RegDeleteKeyA(MakerKey);
}

void RemoveMachineItems(SysHandle owner)
{
    RemoveInstalledFiles(owner);
    RemoveSavedData(owner);
    RemovePackageFolders(owner);
}

int MachineItemsNeedRights(void)
{
    RightsCheck.active = 1;
    RightsCheck.refused = 0;
    RemoveMachineItems(0);
    RightsCheck.active = 0;
    return RightsCheck.refused;
}
