// Package programs left running: asked to close before anything goes.
//
// The clocks are desktop accessories that people leave running, and the
// puzzle or a screen saver may be open too. A running program's file
// cannot be deleted, and once the package key is gone no later run could
// finish the job. So before the erase run the user is asked, for each
// program of the table that runs with a window on the desktop, whether to
// close it. Yes sends it what its close button sends, WM_CLOSE, and waits
// a while for it to end; nothing is ever ended by force, and a program
// that asks whether to save gets its answer from the user meanwhile.
#include "erase/erase.h"
#include "paths/removal.h"
#include "paths/report.h"

// The table's programs: VELDPZ.EXE, the two clocks and the four screen
// savers. The uninstaller (group 0) is not one of them: its starter may
// still be waiting on it.
enum { kProgramSlots = 8, kProcessSlots = 1024, kCloseWaitMilliseconds = 10000 };

const char* RunningQuestionFormat =
    "\n%s\n\nが実行中です。\nこのプログラムを終了してから削除を続けますか？\n"
    "（［いいえ］を選ぶと、このファイルは削除されずに残ります。）";
static const char ProgramExtension[] = ".EXE";
static const char ScreenSaverExtension[] = ".SCR";

// The programs in erase order, each by its path and its short form
// (empty where the system gives none).
static struct {
    int count;
    char path[kProgramSlots][kPathSize];
    char shortPath[kProgramSlots][kPathSize];
} Programs;

// The processes with a top-level window, each once and never this one,
// with the program each runs (its place in Programs), or -1.
static struct {
    int count;
    uint32_t self;
    uint32_t id[kProcessSlots];
    signed char program[kProcessSlots];
    int closing;  // the program whose windows get WM_CLOSE
} Running;

static const char* NamePart(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; p += CharacterWidth(p)) {
        if (*p == '\\')
            name = p + 1;
    }
    return name;
}

static int EndsWith(const char* name, const char* extension)
{
    int skip = TextLength(name) - TextLength(extension);
    return skip > 0 && Sys->lstrcmpiA(name + skip, extension) == 0;
}

static void ListPrograms(void)
{
    char win[kPathSize];
    GetTableWindowsFolder(win);
    Programs.count = 0;
    for (int g = kFileGroupCount - 1; g >= 1; g--) {
        for (const FileEntry* e = InstalledFileTable[g].entries; e->name; e++) {
            char folder[kPathSize];
            int n = Programs.count;
            if (n == kProgramSlots ||
                !(EndsWith(e->name, ProgramExtension) || EndsWith(e->name, ScreenSaverExtension)) ||
                !TableFolderToErase(folder, e, &InstallPaths, win) ||
                !ComposePath(Programs.path[n], folder, e->name))
                continue;
            if (!Sys->GetShortPathNameA(Programs.path[n], Programs.shortPath[n], kPathSize))
                Programs.shortPath[n][0] = 0;
            Programs.count++;
        }
    }
}

static int NoteProcess(SysHandle, uint32_t processId, void*)
{
    if (processId == Running.self)
        return 1;
    for (int i = 0; i < Running.count; i++) {
        if (Running.id[i] == processId)
            return 1;
    }
    if (Running.count < kProcessSlots)
        Running.id[Running.count++] = processId;
    return 1;
}

// A process runs a program when its program file has the program's path,
// in the long or the short form: a program started by its short name
// counts. A file of the same name elsewhere does not.
static int RunsProgram(const char* image, int k)
{
    if (Sys->lstrcmpiA(image, Programs.path[k]) == 0 ||
        Sys->lstrcmpiA(image, Programs.shortPath[k]) == 0)
        return 1;
    // A path that mixes both forms: compared in the short one, asked of
    // the system only for a file of the program's name.
    const char* name = NamePart(image);
    char shortImage[kPathSize];
    return (Sys->lstrcmpiA(name, NamePart(Programs.path[k])) == 0 ||
            Sys->lstrcmpiA(name, NamePart(Programs.shortPath[k])) == 0) &&
           Sys->GetShortPathNameA(image, shortImage, kPathSize) &&
           Sys->lstrcmpiA(shortImage, Programs.shortPath[k]) == 0;
}

static int ProgramOf(uint32_t processId)
{
    char image[kPathSize];
    if (!Sys->GetProcessImagePath(processId, image))
        return -1;
    for (int k = 0; k < Programs.count; k++) {
        if (RunsProgram(image, k))
            return k;
    }
    return -1;
}

static int PostClose(SysHandle window, uint32_t processId, void*)
{
    for (int i = 0; i < Running.count; i++) {
        if (Running.id[i] == processId && Running.program[i] == Running.closing)
            Sys->PostMessageA(window, kWindowMessageClose);
    }
    return 1;
}

static void AskToClose(int k)
{
    int running = 0;
    for (int i = 0; i < Running.count; i++)
        running |= Running.program[i] == k;
    if (!running)
        return;
    char text[kNoticeSize];
    FormatText(text, kNoticeSize, RunningQuestionFormat, Programs.path[k]);
    // A quiet run asks nobody: it closes the program as Yes would.
    if (!Report.quiet && Sys->MessageBoxA(0, text, NoticeCaption, kMessageBoxQuestionYesNo) != kAnswerYes)
        return;
    Running.closing = k;
    int stillRunning = 0;
    Sys->EnumWindows(PostClose, 0);
    // Every instance gets the rest of the program's ten seconds.
    uint32_t start = Sys->GetTickCount();
    for (int i = 0; i < Running.count; i++) {
        if (Running.program[i] != k)
            continue;
        SysHandle process = Sys->OpenProcess(Running.id[i]);
        if (!process)
            continue;  // it has ended already
        uint32_t spent = Sys->GetTickCount() - start;
        uint32_t left = spent < kCloseWaitMilliseconds ? kCloseWaitMilliseconds - spent : 0;
        stillRunning |= Sys->WaitForSingleObject(process, left) != kWaitObject0;
        Sys->CloseHandle(process);
    }
    // Its file then stays, in use, and says so when the run gets there.
    LogEvent(stillRunning ? EventStillRunning : EventClosed, Programs.path[k], 0);
}

void CloseRunningPrograms(void)
{
    ListPrograms();
    Running.count = 0;
    Running.self = Sys->GetCurrentProcessId();
    if (!Programs.count || !Sys->EnumWindows(NoteProcess, 0))
        return;
    for (int i = 0; i < Running.count; i++)
        Running.program[i] = (signed char)ProgramOf(Running.id[i]);
    for (int k = 0; k < Programs.count; k++)
        AskToClose(k);
}
