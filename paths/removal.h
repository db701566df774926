// Guarded removal of files and folders, and the two warning notices.
//
// What is absent is passed over silently; a folder is only ever removed
// when empty; whatever cannot be removed is reported with its full path
// and left in place, and the caller goes on.
#ifndef ERASER_REMOVAL_H
#define ERASER_REMOVAL_H

#include "sysops/sysops.h"

// While RightsCheck.active is 1 the walk through handles (walk.h) removes
// nothing and no notice is shown: for each present item it only asks the
// system whether this process may delete it, and sets refused when it may
// not for lack of rights. A folder then counts as removed, so that the
// walk goes on to the folders above it.
struct RightsCheckRecord {
    int active;
    int refused;
};
extern RightsCheckRecord RightsCheck;

enum { kNoticeSize = 1024 };  // the text of a box
// The package's own texts (erase/tables.cpp lists them all).
extern const char* NoticeCaption;
extern const char* FolderWordFolder;     // the package folders
extern const char* FolderWordStartMenu;  // the Start Menu group
extern const char* NotEmptyFormat;
extern const char* CannotDeleteFormat;

// In a quiet run (report.h) the notices go to the log instead: a folder
// that stays as "KEPT FOLDER", an item that stays as "KEPT" with the
// system's error.
void ShowNotEmptyNotice(SysHandle owner, const char* path, const char* folderWord);
void ShowCannotDeleteNotice(SysHandle owner, const char* path, uint32_t error);
// The same notice for a path given in parts, for one too long to compose.
void ShowCannotDeleteNoticeParts(SysHandle owner, const char* folder, const char* name,
                                 const char* extension, uint32_t error);

// 1 when an exact-path search finds something; a folder counts.
int PathExists(const char* path);
// Whether a listing that found entry first holds nothing but a folder's
// "." and ".." (and other names of dots only); next goes on with it.
int ListsNothing(SysHandle search, SysFindData* entry,
                 int (*next)(SysHandle search, SysFindData* found));
// An entry with the reparse-point attribute is a link when its tag is a
// name surrogate (junctions, symbolic links, mount points), or when the
// system gives no tag at all (Wine). Cloud placeholders and deduplicated
// folders carry other tags and are items like any other.
int IsLinkEntry(uint32_t attributes, uint32_t reparseTag);
void DeleteIfPresent(SysHandle owner, const char* path);
// DeleteIfPresent on folder + name + extension. A path too long for the
// buffer is never acted on under a shortened name: it is reported like a
// file that could not be deleted.
void DeleteIfPresentIn(SysHandle owner, const char* folder, const char* name,
                       const char* extension);
int IsFolderEmpty(const char* path);
// 1 when nothing is left at the path, 0 when something stays.
int RemoveFolderIfEmpty(SysHandle owner, const char* path, const char* folderWord);
// 1 when a folder after stopDir on the way down to path, path itself
// included, is a link (a junction, a symbolic link or a mount point: a
// reparse point whose tag is a name surrogate); link receives the
// outermost one. stopDir begins path and is itself not looked at. Nothing
// beneath a link is the package's: the installer never makes one.
int FindLinkOnWay(const char* stopDir, const char* path, char* link);
// FindLinkOnWay, and when a link is found the not-empty notice naming it:
// it stays, like any folder that still holds something.
int ReportLinkOnWay(SysHandle owner, const char* stopDir, const char* path,
                    const char* folderWord);
// Removes startDir and each parent that became empty, below stopDir.
// 0 when it stopped at a folder that stays (a link among them included).
int RemoveFolderChain(SysHandle owner, const char* stopDir, const char* startDir,
                      const char* folderWord);

#endif
