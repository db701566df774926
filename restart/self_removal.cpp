// Deletion of the eraser's own file at the next restart.
//
// A running program cannot delete its own executable. The NT family offers
// a delayed delete; the other family reads the [Rename] section of
// WININIT.INI in the Windows folder while it starts, where a line
// NUL=<path> means: delete <path>.
#include "restart/self_removal.h"

#include "control/eraser.h"
#include "paths/removal.h"
#include "paths/report.h"
#include "paths/text.h"
#include "sysops/streams.h"

static const char WininitName[] = "WININIT.INI";
static const char RenameHeader[] = "[Rename]";
enum { kRenameHeaderLength = 8, kLastTempNumber = 99999 };

// First name _QXnnnnn.$$$ in the Windows folder that nothing holds yet.
// Five digits give a bound; past it the rewrite is not attempted.
static int FindFreeTempName(const char* win, char* out)
{
    for (int n = 0; n <= kLastTempNumber; n++) {
        if (!FormatText(out, kRoomOfPath, "%s_QX%05d.$$$", win, n))
            return 0;
        if (!PathExists(out))
            return 1;
    }
    return 0;
}

static int IsRenameHeader(const char* line)
{
    char start[kRenameHeaderLength + 1];
    int n = 0;
    while (n < kRenameHeaderLength && line[n]) {
        start[n] = line[n];
        n++;
    }
    start[n] = 0;
    return Sys->lstrcmpiA(start, RenameHeader) == 0;
}

// Copies ini into the open temp with the request inserted. 0 when a read
// or a write fails.
static int CopyWithRequest(Stream* in, Stream* out, const char* self)
{
    char line[kLineSize];
    char request[kLineSize];
    FormatText(request, kLineSize, "NUL=%s\n", self);  // fits: self is a path
    int inserted = 0;
    int inHeader = 0;     // inside the first [Rename] line: the request follows its end
    int atLineStart = 1;  // a piece of an over-long line is no line of its own
    // Lines are copied by their length: a stray NUL byte must not cut one.
    while (int n = StreamReadLine(in, line, kLineSize)) {
        if (!StreamWrite(out, line, n))
            return 0;
        if (!inserted && atLineStart && IsRenameHeader(line))
            inHeader = 1;
        atLineStart = line[n - 1] == '\n';
        if (inHeader && atLineStart) {
            if (!StreamWriteText(out, request))
                return 0;
            inHeader = 0;
            inserted = 1;
        }
    }
    if (in->failed)
        return 0;  // a copy of part of the file must never replace it
    if (inHeader)  // the header is the last line and has no line end
        return StreamWriteText(out, "\n") && StreamWriteText(out, request);
    if (inserted)
        return 1;
    char header[kRenameHeaderLength + 2];
    FormatText(header, sizeof header, "%s\n", RenameHeader);
    // A last line without a line end is ended first, or the header would
    // join it.
    return (atLineStart || StreamWriteText(out, "\n")) && StreamWriteText(out, header) &&
           StreamWriteText(out, request);
}

int RewriteWininit(const char* self, const char* win, const char* ini)
{
    char temp[kPathSize];
    if (!FindFreeTempName(win, temp))
        return 0;
    Stream in, out;
    int inOpen = StreamOpen(&in, ini, kStreamReadText);
    int outOpen = StreamOpen(&out, temp, kStreamWriteText);
    int copied = inOpen && outOpen && CopyWithRequest(&in, &out, self);
    StreamClose(&in);
    StreamClose(&out);
    if (!copied) {
        if (outOpen)
            Sys->DeleteFileA(temp);
        return 0;
    }

    // Swap the copy in so that the name always holds the old or the whole
    // new file: the old one steps aside, the new one moves in, and only
    // then is the old one deleted. A failed move puts the old one back.
    char aside[kPathSize];
    if (!FindFreeTempName(win, aside) || !Sys->MoveFileA(ini, aside)) {
        Sys->DeleteFileA(temp);
        return 0;
    }
    if (!Sys->MoveFileA(temp, ini)) {
        // Only once the old file is back is the new one dispensable; if it
        // cannot go back, both copies stay where they are.
        if (Sys->MoveFileA(aside, ini))
            Sys->DeleteFileA(temp);
        return 0;
    }
    Sys->DeleteFileA(aside);
    return 1;
}

static int PlaceRequest(char* self);

int ScheduleSelfRemoval(void)
{
    char self[kPathSize];
    if (!Sys->GetModuleFileNameA(self, kPathSize - 1))
        return 0;
    int placed = PlaceRequest(self);
    // The program's own file is no item of the package: it stays for the
    // restart, or, when the system would not take the request, for good.
    if (Report.log)
        LogEvent(placed ? EventAtRestart : EventKept, self, placed ? 0 : Sys->GetLastError());
    return placed;
}

static int PlaceRequest(char* self)
{
    if (PlatformInfo.isNtFamily)
        return Sys->MoveFileExA(self, 0, kMoveFileDelayUntilReboot) != 0;

    // WININIT.INI is processed before long names are available, so the
    // request must name the file by its short form where it has one.
    char shortSelf[kPathSize];
    if (Sys->GetShortPathNameA(self, shortSelf, kPathSize))
        ComposePath(self, shortSelf);

    char win[kPathSize];
    if (Sys->GetWindowsDirectoryA(win, kPathSize - 1) <= 1)
        return 0;
    FixTrailingSeparator(win, kAddSeparator);
    char ini[kPathSize];
    if (!ComposePath(ini, win, WininitName))
        return 0;
    if (!PathExists(ini))
        return Sys->WritePrivateProfileStringA("Rename", "NUL", self, ini) != 0;
    return RewriteWininit(self, win, ini);
}
