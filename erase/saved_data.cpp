// Save slots recognised by their header, and the puzzle's data files.
#include "erase/erase.h"
#include "paths/removal.h"
#include "sysops/streams.h"

// A save file starts with the tag and holds at least one 32-byte record.
static int IsSaveFile(const char* path)
{
    Stream file;
    if (!StreamOpen(&file, path, kStreamReadBinary))
        return 0;
    char record[kSaveRecordSize];
    int isSave = StreamSeekStart(&file) && StreamReadRecord(&file, record, kSaveRecordSize);
    for (int i = 0; isSave && i < kSaveHeaderSize; i++)
        isSave = record[i] == SaveHeaderTag[i];
    StreamClose(&file);
    return isSave;
}

static void RemoveSaveSlot(SysHandle owner, const char* prefix, int slot)
{
    char name[kPathSize];
    if (!FormatText(name, kPathSize, SaveSlotFormat, prefix, slot))
        return;  // cannot happen: LoadInstallPaths made sure it fits
    SysFindData found;
    SysHandle search = Sys->FindFirstFileA(name, &found);
    if (!search)
        return;
    do {
        char path[kPathSize];
        if (!ComposePath(path, prefix, found.fileName)) {
            ShowCannotDeleteNoticeParts(owner, prefix, found.fileName, "");
            continue;
        }
        if (IsSaveFile(path))
            DeleteFoundFile(owner, path, found.attributes);
    } while (Sys->FindNextFileA(search, &found));
    Sys->FindClose(search);
}

void RemoveSavedDataIn(SysHandle owner, const InstallPathsRecord* paths)
{
    char prefix[kPathSize], link[kPathSize];
    if (!ComposePath(prefix, paths->dataDir, "\\"))
        return;
    if (FindLinkOnWay(paths->baseDir, prefix, link))
        return;  // the folder phase names the link
    for (int slot = 0; slot <= kSaveSlotLast; slot++)
        RemoveSaveSlot(owner, prefix, slot);
    for (int i = 0; i < kDataFileCount; i++)
        DeleteIfPresentIn(owner, prefix, DataFileNames[i], "");
}

void RemoveSavedData(SysHandle owner)
{
    RemoveSavedDataIn(owner, &InstallPaths);
}
