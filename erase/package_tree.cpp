// The package's folders, held open while its items go.
#include "erase/erase.h"

void OpenPackageTree(PackageTree* tree, const InstallPathsRecord* paths, const char* win)
{
    char base[kPathSize];
    ComposePath(base, paths->baseDir, "\\");  // fits: checked with the paths
    HoldRootFolder(&tree->base, base);
    HoldFolderIn(&tree->maker, &tree->base, MakerFolderName);
    HoldFolderIn(&tree->app, &tree->maker, PackageFolderName);
    HoldFolderIn(&tree->data, &tree->app, SubfolderNames[kLocationData]);
    HoldFolderIn(&tree->acc, &tree->app, SubfolderNames[kLocationAcc]);
    HoldRootFolder(&tree->windows, win);
}

void ClosePackageTree(PackageTree* tree)
{
    HeldFolder* folders[] = {&tree->windows, &tree->acc,   &tree->data,
                             &tree->app,     &tree->maker, &tree->base};
    for (HeldFolder* folder : folders)
        ReleaseFolder(folder);
}

const HeldFolder* TableFolderIn(const PackageTree* tree, const FileEntry* entry)
{
    if (entry->location == kLocationWindows)
        return &tree->windows;
    if (entry->location == kLocationData)
        return &tree->data;
    if (entry->location == kLocationAcc)
        return &tree->acc;
    return &tree->app;
}

void RemovePackageItems(SysHandle owner, const InstallPathsRecord* paths, const char* win)
{
    PackageTree tree;
    OpenPackageTree(&tree, paths, win);
    RemoveInstalledFilesIn(owner, &tree);
    RemoveSavedDataIn(owner, &tree);
    RemovePackageFoldersIn(owner, &tree);
    ClosePackageTree(&tree);
}
