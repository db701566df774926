// The package's folders, inside out, and its registry keys.
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

void RemoveFoldersAndKeys(SysHandle owner)
{
    // The first folder that stays ends the folder removal: its parents
    // cannot have become empty.
    char acc[kPathSize];
    int stayed = !ComposePath(acc, InstallPaths.appDir, "\\", SubfolderNames[kLocationAcc]) ||
                 RemoveFolderIfEmpty(owner, acc, FolderWordFolder) != 1;
    if (!stayed)
        stayed = RemoveFolderIfEmpty(owner, InstallPaths.dataDir, FolderWordFolder) != 1;
    if (!stayed)
        RemoveFolderChain(owner, InstallPaths.baseDir, InstallPaths.appDir, FolderWordFolder);

    Sys->RegDeleteKeyA(PackageKey);
    if (MakerKeyIsEmpty())
        Sys->RegDeleteKeyA(MakerKey);
}
