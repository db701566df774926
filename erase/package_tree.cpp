// The package's folders, held open while its items go.
#include "erase/erase.h"
#include "paths/removal.h"
#include "paths/report.h"

WalkRootsRecord WalkRoots;

// The registry's value names no folder above the package's when it is a
// byte long or empty: the package folder is then the root of the walk.
static int PackageFolderIsRoot(const InstallPathsRecord* paths)
{
    return TextLength(paths->baseDir) <= 1;
}

static void HoldRoots(HeldFolder* install, HeldFolder* windows, const InstallPathsRecord* paths,
                      const char* win)
{
    char root[kPathSize];
    ComposePath(root, PackageFolderIsRoot(paths) ? paths->appDir : paths->baseDir,
                "\\");  // fits: checked with the paths
    HoldRootFolder(install, root);
    HoldRootFolder(windows, win);
}

void OpenWalkRoots(void)
{
    char win[kPathSize];
    GetTableWindowsFolder(win);
    HoldRoots(&WalkRoots.install, &WalkRoots.windows, &InstallPaths, win);
    WalkRoots.open = 1;
}

void CloseWalkRoots(void)
{
    if (WalkRoots.open) {
        ReleaseFolder(&WalkRoots.install);
        ReleaseFolder(&WalkRoots.windows);
    }
    WalkRoots.open = 0;
}

void OpenPackageTree(PackageTree* tree, const InstallPathsRecord* paths, const char* win)
{
    HeldFolder* root = PackageFolderIsRoot(paths) ? &tree->app : &tree->base;
    if (paths == &InstallPaths && WalkRoots.open) {
        BorrowRootFolder(root, &WalkRoots.install);
        BorrowRootFolder(&tree->windows, &WalkRoots.windows);
    } else {
        HoldRoots(root, &tree->windows, paths, win);
    }
    if (root == &tree->base) {
        HoldFolderIn(&tree->maker, &tree->base, MakerFolderName);
        HoldFolderIn(&tree->app, &tree->maker, PackageFolderName);
        // The install folder always stays: a refusal of it, or of the
        // maker folder, keeps the package folder in place.
        tree->base.namedAs = tree->maker.namedAs = &tree->app;
    } else {
        tree->base = tree->maker = tree->app;
        tree->base.borrowed = tree->maker.borrowed = 1;  // nothing of their own to close
    }
    HoldFolderIn(&tree->data, &tree->app, SubfolderNames[kLocationData]);
    HoldFolderIn(&tree->acc, &tree->app, SubfolderNames[kLocationAcc]);
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

// The package folder, or a folder above it, is there but could not be
// opened: its key must stay for a later run to find it.
static int KeptOut(const PackageTree* tree)
{
    return tree->base.state == kHeldRefused || tree->maker.state == kHeldRefused ||
           tree->app.state == kHeldRefused;
}

void RemovePackageItems(SysHandle owner, const InstallPathsRecord* paths, const char* win)
{
    // Too large for the stack without probing it; the walks of a run
    // follow one another.
    static PackageTree held;
    PackageTree* tree = &held;
    OpenPackageTree(tree, paths, win);
    if (!RightsCheck.active && KeptOut(tree))
        Report.keepKey = 1;
    RemoveInstalledFilesIn(owner, tree);
    RemoveSavedDataIn(owner, tree);
    RemovePackageFoldersIn(owner, tree);
    ClosePackageTree(tree);
}
