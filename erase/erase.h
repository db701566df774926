// The erase plan: where the package lives, what it owns, and the four
// phases of the erase run.
#ifndef ERASER_ERASE_H
#define ERASER_ERASE_H

#include "paths/text.h"
#include "sysops/sysops.h"

// Where a table file lives.
enum LocationCode : signed char {
    kLocationWindows = -2,
    kLocationAppDir = -1,
    kLocationData = 0,  // rows of SubfolderNames
    kLocationAcc = 1,
};

struct FileEntry {
    signed char location;
    const char* name;  // 0 ends a group's list
};

struct FileGroup {
    const FileEntry* entries;
};

enum { kFileGroupCount = 6, kSaveSlotLast = 20, kSaveHeaderSize = 11, kSaveRecordSize = 32 };
enum { kDesktopShortcutCount = 1, kStartMenuShortcutCount = 4, kDataFileCount = 3 };

extern const char MakerKey[];
extern const char PackageKey[];
extern const char InstallDirValue[];
extern const char PackageSubpath[];
extern const char* const SubfolderNames[2];
extern const FileGroup InstalledFileTable[kFileGroupCount];
extern const char ShortcutExtension[];
extern const char* const DesktopShortcutNames[kDesktopShortcutCount];
extern const char StartMenuGroupName[];
extern const char* const StartMenuShortcutNames[kStartMenuShortcutCount];
extern const char SaveSlotFormat[];
extern const char SaveHeaderTag[kSaveHeaderSize];
extern const char* const DataFileNames[kDataFileCount];

struct InstallPathsRecord {
    char baseDir[kPathSize];
    char appDir[kPathSize];
    char dataDir[kPathSize];
};
extern InstallPathsRecord InstallPaths;

// The same folders in the user's VirtualStore (virtual_store.cpp).
struct VirtualStoreRecord {
    int present;
    InstallPathsRecord paths;
    char windowsDir[kPathSize];  // ends in a separator
};
extern VirtualStoreRecord VirtualStore;

// 1 when InstallPaths has been filled from the registry.
int LoadInstallPaths(void);
// 1 when the deepest path the erase run composes below these folders fits.
int PackagePathsFit(const InstallPathsRecord* paths);
// Fills VirtualStore; win is the Windows folder, or empty when unknown.
// The mirror is erased when present is then 1.
void LoadVirtualStore(const char* win);
// Composes the folder of a table file, ending in a separator; win (the
// Windows folder) ends in one or is empty. 0 when it would not fit.
int ComposeTableFolder(char* out, const FileEntry* entry, const InstallPathsRecord* paths,
                       const char* win);

// The phases of the erase run. The last three work in the install folder
// and, after it, in its mirror in the VirtualStore, each through an inner
// step that is given the folders to work in.
void RemoveShortcuts(SysHandle owner);
void RemoveInstalledFiles(SysHandle owner);
void RemoveSavedData(SysHandle owner);
void RemoveVirtualStoreFiles(SysHandle owner);
void RemoveFoldersAndKeys(SysHandle owner);

void RemoveInstalledFilesIn(SysHandle owner, const InstallPathsRecord* paths, const char* win);
void RemoveSavedDataIn(SysHandle owner, const InstallPathsRecord* paths);
void RemovePackageFoldersIn(SysHandle owner, const InstallPathsRecord* paths);

#endif
