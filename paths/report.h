// What a quiet run says instead of its boxes: a log, one line an event,
// and whether anything of the package stayed.
#ifndef ERASER_REPORT_H
#define ERASER_REPORT_H

#include "sysops/sysops.h"

struct ReportRecord {
    int quiet;          // no box of any kind
    SysHandle log;      // 0: no log
    int kept;           // an item of the package stays
    int selfInPackage;  // this program is the installed uninstaller itself
    // The package folder, or one above it, is there but could not be
    // opened: the package key stays, so that a later run finds it.
    int keepKey;
};
extern ReportRecord Report;

extern const char EventClosed[];
extern const char EventStillRunning[];
extern const char EventDeleted[];
extern const char EventKept[];
extern const char EventKeptFolder[];
extern const char EventAtRestart[];

// Writes "word TAB path", with "TAB error" when error is not 0, and CR
// LF. A log that cannot be written is given up; the run goes on.
void LogEvent(const char* word, const char* path, uint32_t error);
// An item of the package stays: logged with the system's error.
void LogKept(const char* path, uint32_t error);
void LogText(const char* text);

#endif
