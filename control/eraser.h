// Entry of the eraser's own logic: switches, the wait, and the two modes.
#ifndef ERASER_ERASER_H
#define ERASER_ERASER_H

#include <stdint.h>

#include "paths/text.h"

enum { kFlagSilent = 0x1, kFlagWait = 0x2, kFlagDelete = 0x4 };
enum { kWaitMilliseconds = 5000 };
enum { kExitNoInstallation = -1 };

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

#endif
