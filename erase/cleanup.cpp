// The package's folders, inside out, its registry keys, and the machine's
// items as a whole.
#include "erase/erase.h"
#include "paths/removal.h"
#include "paths/report.h"

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

void RemovePackageFoldersIn(SysHandle owner, PackageTree* tree)
{
    // The first folder that stays ends the folder removal: its parents
    // cannot have become empty.
    if (RemoveHeldFolder(owner, &tree->acc, FolderWordFolder) != 1 ||
        RemoveHeldFolder(owner, &tree->data, FolderWordFolder) != 1)
        return;
    // Then up to the install folder, which always stays; a file in a
    // folder's place is passed over.
    HeldFolder* chain[] = {&tree->app, &tree->maker};
    for (HeldFolder* folder : chain) {
        if (folder->state != kHeldFile && RemoveHeldFolder(owner, folder, FolderWordFolder) != 1)
            return;
    }
}

// A key's name for the log.
static const char* KeyName(const char* key, char* name)
{
    ComposePath(name, "HKCU\\", key);  // fits: a short constant
    return name;
}

void RemoveRegistryKeys(void)
{
    // A quiet run that leaves something of the package keeps the key, so
    // that a later run finds the installation and finishes the job; so does
    // any run that could not open the package folder or one above it.
    if ((Report.quiet && Report.kept) || Report.keepKey)
        return;
    char name[kPathSize];
    long error = Sys->RegDeleteKeyA(PackageKey);
    if (!error)
        LogEvent(EventDeleted, KeyName(PackageKey, name), 0);
    else if (error != kErrorFileNotFound)
        LogKept(KeyName(PackageKey, name), (uint32_t)error);
    if (MakerKeyIsEmpty() && !Sys->RegDeleteKeyA(MakerKey))
        LogEvent(EventDeleted, KeyName(MakerKey, name), 0);
}

void RemoveMachineItems(SysHandle owner)
{
    char win[kPathSize];
    GetTableWindowsFolder(win);
    RemovePackageItems(owner, &InstallPaths, win);
}

int MachineItemsNeedRights(void)
{
    RightsCheck.active = 1;
    RightsCheck.refused = 0;
    RemoveMachineItems(0);
    RightsCheck.active = 0;
    return RightsCheck.refused;
}
