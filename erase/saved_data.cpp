// Save slots recognised by their header, and the puzzle's data files.
#include "erase/erase.h"
#include "paths/walk.h"

// A save file starts with the tag and holds at least one 32-byte record.
static int IsSaveFile(SysHandle item)
{
    unsigned char record[kSaveRecordSize];
    uint32_t have = 0, got = 0;
    while (have < kSaveRecordSize &&
           Sys->ReadItem(item, record + have, kSaveRecordSize - have, &got) && got)
        have += got;
    int isSave = have == kSaveRecordSize;
    for (int i = 0; isSave && i < kSaveHeaderSize; i++)
        isSave = record[i] == (unsigned char)SaveHeaderTag[i];
    return isSave;
}

void RemoveSavedDataIn(SysHandle owner, const PackageTree* tree)
{
    // Beneath a link nothing is opened; the folder phase names the link.
    for (int slot = 0; slot <= kSaveSlotLast; slot++) {
        char name[kPathSize];
        FormatText(name, kRoomOfPath, SaveSlotFormat, "", slot);
        DeleteFileIn(owner, &tree->data, name, IsSaveFile);
    }
    for (int i = 0; i < kDataFileCount; i++)
        DeleteFileIn(owner, &tree->data, DataFileNames[i], 0);
}
