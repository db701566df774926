// Entry of the eraser's own logic: switches, the wait, and the two modes.
#ifndef ERASER_ERASER_H
#define ERASER_ERASER_H

#include <stdint.h>

#include "paths/text.h"

// kFlagElevatedCopy (/E) marks the elevated copy the program starts of
// itself for the machine's items: it never asks for elevation again.
// kFlagQuiet (/Q) makes a run without boxes; kFlagLog (/L) names its log.
enum {
    kFlagSilent = 0x1, kFlagWait = 0x2, kFlagDelete = 0x4, kFlagElevatedCopy = 0x8,
    kFlagQuiet = 0x10, kFlagLog = 0x20,
};
enum { kWaitMilliseconds = 5000 };
// A declined elevation prompt ends the run untouched, with the system's
// code for a cancelled operation; a copy whose exit code cannot be read
// counts as failed.
enum { kExitNoInstallation = -1, kExitCopyUnknown = 1, kExitDeclined = 1223 };
// The elevated copy did the machine's items, but the package folder, or a
// folder above it, is there and could not be opened: the key stays.
// A quiet run ends with the codes deployment tools read.
enum {
    kExitQuietDone = 0, kExitElevationRequired = 740, kExitQuietFailed = 1603,
    kExitQuietNotInstalled = 1605, kExitPackageKept = kExitQuietFailed,
};

struct RunOptionsRecord {
    uint32_t flags;
    uint32_t waitHandle;  // the /H number used as the handle value; 0: none
    char deletePath[kPathSize];
    // The InstallDir value: read from the registry, or handed to the
    // elevated copy with /E.
    char installDir[kPathSize];
    char logPath[kPathSize];  // /L
};

struct PlatformInfoRecord {
    int isNtFamily;
    uint32_t tokenElevation;  // kTokenElevated, ...; unknown on the older family
};

extern RunOptionsRecord RunOptions;
extern PlatformInfoRecord PlatformInfo;

// args: the command line less the program's name and the blanks after it.
int EraserMain(const char* args);
extern const char* CompletionText;
int DetectPlatform(void);
void ParseCommandLine(const char* text);
// Reads the path of /D or /E at text (just after the letter) into out and
// returns where the scan resumes. A path too long for out is dropped
// whole: a shortened path could name another file.
const char* ReadSwitchPath(const char* text, char* out);
// Makes the Windows folder, which win receives, the current folder; win
// is empty when the system does not say where it is.
void EnterWindowsFolder(char* win);
// Enters the Windows folder, settles the package's names and opens the
// roots of the walk of InstallPaths (erase.h), which stay held to the end
// of the run: kInstallFound, or kInstallUnusable where the names the
// package has on disk would make paths too long.
int ReachInstallation(void);
// The erase run of the process the user started. machinePartDone: an
// elevated copy removed the machine's items already.
void EraseRun(int machinePartDone);
// The run of /Q (quiet_run.cpp): no box, the log, and its exit code;
// found is what LoadInstallPaths said.
int RunQuiet(const char* args, int found);

// Elevation (elevation.cpp). Learns whether this process's token is
// elevated.
void LearnTokenElevation(void);
// Turns the redirection guard on in an elevated process: once the roots of
// the walk are held, before anything else is opened.
void GuardRedirection(void);
// 1 when an elevated copy was to do the
// machine's items; exitCode is then 0 when it did, else the code to end
// with untouched. 0: this process does them itself.
int HandMachinePartOver(int* exitCode);
// The whole run of the elevated copy; returns its exit code.
int RunElevatedCopy(void);

#endif
