#include "paths/report.h"

#include "paths/text.h"

ReportRecord Report;

const char EventClosed[] = "CLOSED";
const char EventStillRunning[] = "STILL RUNNING";
const char EventDeleted[] = "DELETED";
const char EventKept[] = "KEPT";
const char EventKeptFolder[] = "KEPT FOLDER";
const char EventAtRestart[] = "AT RESTART";

void LogText(const char* text)
{
    if (Report.log && !Sys->WriteFile(Report.log, text, (uint32_t)TextLength(text))) {
        Sys->CloseHandle(Report.log);
        Report.log = 0;
    }
}

void LogEvent(const char* word, const char* path, uint32_t error)
{
    // The path goes as it came: its bytes, trail bytes 0x5C included.
    char line[2048];
    if (error)
        FormatText(line, sizeof line, "%s\t%s\t%d\r\n", word, path, (int)error);
    else
        FormatText(line, sizeof line, "%s\t%s\r\n", word, path);
    LogText(line);
}

void LogKept(const char* path, uint32_t error)
{
    Report.kept = 1;
    LogEvent(EventKept, path, error);
}
