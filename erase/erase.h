// The erase plan: where the package lives, what it owns, and the four
// phases of the erase run.
#ifndef ERASER_ERASE_H
#define ERASER_ERASE_H

#include "paths/text.h"
#include "paths/walk.h"
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
extern const char MakerFolderName[];
extern const char* PackageFolderName;
extern const char* const SubfolderNames[2];
extern const FileGroup InstalledFileTable[kFileGroupCount];
extern const char ShortcutExtension[];
extern const char* DesktopShortcutNames[kDesktopShortcutCount];
extern const char* StartMenuGroupName;
extern const char* StartMenuShortcutNames[kStartMenuShortcutCount];
extern const char* RunningQuestionFormat;

// The package's texts that are not ASCII are code page 932 bytes in the
// program. Where the program's text is UTF-8 they are read once at start:
// the messages in code page 932 (the ANSI code page where the system has
// none), the names on disk in namesCodePage. Elsewhere they stay as they
// are. 0 when one would not fit (none does).
int ReadFixedTexts(uint32_t namesCodePage);
// A fixed name as codePage reads its bytes, into out (size bytes).
int ReadFixedName(const char* const* name, uint32_t codePage, char* out, int size);
uint32_t MessageCodePage(void);
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

// kInstallFound when InstallPaths has been filled from the registry;
// kInstallUnusable for a value that is there but cannot be used.
enum { kInstallMissing, kInstallFound, kInstallUnusable };
int LoadInstallPaths(void);
// Fills InstallPaths from an InstallDir value by the registry's rules; 0
// (InstallPaths empty) for an empty value or one too long to work below.
int UseInstallDir(const char* value);
// An installer run without a locale emulator on a system of another ANSI
// code page made every Japanese name from the same bytes as that code page
// reads them (on 1252, 碧環 is •ÉŠÂ). Where the package is found only
// under that reading, this run uses it for every name, and InstallPaths
// anew. Called once the install location is known and the Windows folder
// is the current one; 0 (InstallPaths empty) when the paths of that
// reading would not fit.
enum { kCodePageUtf8 = 65001 };
int ChoosePackageNames(void);
// 1 for a path from the root of a drive ("X:\\...") or a UNC path: one
// that names the same folder whatever the current folder is.
int IsFullPath(const char* path);
// 1 when the deepest path the erase run composes below these folders fits.
int PackagePathsFit(const InstallPathsRecord* paths);
// Fills VirtualStore; win is the Windows folder, or empty when unknown.
// The mirror is erased when present is then 1.
void LoadVirtualStore(const char* win);
// Composes the folder of a table file, ending in a separator; win (the
// Windows folder) ends in one or is empty. 0 when it would not fit.
int ComposeTableFolder(char* out, const FileEntry* entry, const InstallPathsRecord* paths,
                       const char* win);
// ComposeTableFolder, and 0 as well for a folder beneath a link, where the
// erase run deletes nothing.
int TableFolderToErase(char* out, const FileEntry* entry, const InstallPathsRecord* paths,
                       const char* win);
// The Windows folder with a separator, as the table walk takes it; empty
// when the system does not say.
void GetTableWindowsFolder(char* win);

// The package's folders, held while its items go: the install folder,
// followed wherever it leads, the maker and package folders, DATA and ACC
// below it, never followed, and the Windows folder (package_tree.cpp).
// Where the install folder's value is a byte long or empty, the package
// folder is the root, by its composed path, and nothing above it is
// looked at or removed.
struct PackageTree {
    HeldFolder base, maker, app, data, acc, windows;
};
// The roots of the walks of InstallPaths, opened once by each process
// and held to its end: the install folder (or the package folder, above)
// and the Windows folder.
struct WalkRootsRecord {
    int open;
    HeldFolder install, windows;
};
extern WalkRootsRecord WalkRoots;
void OpenWalkRoots(void);
void CloseWalkRoots(void);
// win (the Windows folder) ends in a separator or is empty.
void OpenPackageTree(PackageTree* tree, const InstallPathsRecord* paths, const char* win);
void ClosePackageTree(PackageTree* tree);
// The held folder of a table file.
const HeldFolder* TableFolderIn(const PackageTree* tree, const FileEntry* entry);

// The phases of the erase run. The machine's items are the installed
// files, the saved data and the package folders of the install folder;
// the user's are the shortcuts, the mirror in the VirtualStore and the
// registry keys. The mirror goes by the install folder's rules, through
// the same inner steps over a tree of its own.
void RemoveShortcuts(SysHandle owner);
void RemoveVirtualStore(SysHandle owner);
void RemoveRegistryKeys(void);

// Asks about each program of the installed-file table that runs with a
// window on the desktop, in erase order, and closes the ones the user
// lets it close: the first boxes of an erase run (running_programs.cpp).
void CloseRunningPrograms(void);

// The three phases of the machine's items, in their order.
void RemoveMachineItems(SysHandle owner);
// 1 when a present machine item would be refused to this process for lack
// of rights. Walks what RemoveMachineItems walks; removes and shows nothing.
int MachineItemsNeedRights(void);

void RemoveInstalledFilesIn(SysHandle owner, const PackageTree* tree);
void RemoveSavedDataIn(SysHandle owner, const PackageTree* tree);
void RemovePackageFoldersIn(SysHandle owner, PackageTree* tree);
// The three inner steps over the tree of these folders.
void RemovePackageItems(SysHandle owner, const InstallPathsRecord* paths, const char* win);

#endif
