// Entry of the eraser's own logic: switches, the wait, and the two modes.
#ifndef ERASER_ERASER_H
#define ERASER_ERASER_H

#include <stdint.h>

#include "paths/text.h"

// kFlagElevatedCopy (/E) marks the elevated copy the program starts of
// itself: it never asks for elevation again.
enum { kFlagSilent = 0x1, kFlagWait = 0x2, kFlagDelete = 0x4, kFlagElevatedCopy = 0x8 };
enum { kWaitMilliseconds = 5000 };
// A declined elevation prompt ends the run untouched, with the system's
// code for a cancelled operation.
enum { kExitNoInstallation = -1, kExitDeclined = 1223 };

struct RunOptionsRecord {
    uint32_t flags;
    uint32_t waitHandle;  // the /H number used as the handle value; 0: none
    char deletePath[kPathSize];
};

struct PlatformInfoRecord {
    int isNtFamily;
};

extern RunOptionsRecord RunOptions;
extern PlatformInfoRecord PlatformInfo;

// args: the command line less the program's name and the blanks after it.
int EraserMain(const char* args);
int DetectPlatform(void);
void ParseCommandLine(const char* text);
void EraseRun(void);
// 1 when an elevated copy of the program did the run (or the user declined
// to let it); exitCode then holds the code to end with. 0: go on here.
int RunElevatedCopy(int* exitCode);

#endif
