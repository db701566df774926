// Test driver, run under Wine beside the program under test.
//
//   driver.exe LOG [--event=signalled|unsignalled] [--hold=PATH]... [--hold-shared=PATH]...
//              [--cwd=DIR] -- PROGRAM ARGS...
//
// Starts PROGRAM with the ARGS joined by blanks (where {H} becomes the value of an inheritable
// event when --event is given), holds each --hold file open with no
// sharing while it runs (each --hold-shared one for writing, sharing all
// but deletion), starts it in DIR when --cwd is given, reads the caption and text of every message box
// the program or a process it starts (and so on) shows, closes the box
// with OK, and writes to LOG (UTF-8):
//   PROCESS <generation> <file name>  for each process the program starts, when
//                         first seen (1: started by the program, 2: by that one, ...)
//   BOX <generation> <caption> TAB <text; a backslash written \\, a line feed \n>
//   EXIT <exit code>     (or TIMEOUT)
//   ELAPSED <milliseconds from start to exit>
// With --ack=DIR it waits, after logging box N (from 1), for a file
// DIR\ack-N before closing the box, so that a picture can be taken; with
// --manual it leaves every box for a person to close. A box with Yes and
// No buttons is answered by the next letter of --answers=YN... (Yes when
// none is left).
#include <windows.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <map>
#include <string>
#include <vector>

static std::string Utf8(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, 0, 0, 0, 0);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, 0, 0);
    return out;
}

static std::wstring WindowText(HWND window)
{
    wchar_t text[2048];
    int n = GetWindowTextW(window, text, 2048);
    return std::wstring(text, n > 0 ? n : 0);
}

// The program and every process descended from it, by process id, with
// its generation (0: the program). A process id is only ever added: one
// that ends is not reused while the run lasts.
typedef std::map<DWORD, int> Family;

static void FindDescendants(Family* family, FILE* log)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    std::map<DWORD, DWORD> parent;
    std::map<DWORD, std::wstring> name;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        parent[entry.th32ProcessID] = entry.th32ParentProcessID;
        name[entry.th32ProcessID] = entry.szExeFile;
    }
    CloseHandle(snapshot);
    for (bool grew = true; grew;) {
        grew = false;
        for (auto& [pid, ppid] : parent) {
            // A process just created may have no name yet: it is taken
            // up at a later look.
            auto known = family->find(ppid);
            if (!family->count(pid) && known != family->end() && !name[pid].empty()) {
                (*family)[pid] = known->second + 1;
                fprintf(log, "PROCESS %d %s\n", known->second + 1, Utf8(name[pid]).c_str());
                fflush(log);
                grew = true;
            }
        }
    }
}

struct Search {
    const Family* family;
    HWND box;
    int generation;
};

static BOOL CALLBACK FindBox(HWND window, LPARAM param)
{
    Search* search = (Search*)param;
    wchar_t cls[64];
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    auto member = search->family->find(pid);
    if (member != search->family->end() && IsWindowVisible(window) &&
        GetClassNameW(window, cls, 64) && lstrcmpW(cls, L"#32770") == 0) {
        search->box = window;
        search->generation = member->second;
        return FALSE;
    }
    return TRUE;
}

static BOOL CALLBACK FindText(HWND child, LPARAM param)
{
    std::wstring* text = (std::wstring*)param;
    wchar_t cls[64];
    if (GetClassNameW(child, cls, 64) && lstrcmpiW(cls, L"Static") == 0) {
        std::wstring t = WindowText(child);
        if (!t.empty()) {
            *text = t;
            return FALSE;
        }
    }
    return TRUE;
}

static std::string Escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c != '\r')
            out += c;
    }
    return out;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4)
        return 2;
    FILE* log = _wfopen(argv[1], L"wb");
    if (!log)
        return 2;

    std::wstring eventMode, ackDir, workDir, answers;
    bool manual = false;
    std::vector<HANDLE> held;
    for (int i = 2; i < argc && lstrcmpW(argv[i], L"--") != 0; i++) {
        std::wstring arg = argv[i];
        if (arg.rfind(L"--event=", 0) == 0) {
            eventMode = arg.substr(8);
        } else if (arg.rfind(L"--ack=", 0) == 0) {
            ackDir = arg.substr(6);
        } else if (arg.rfind(L"--answers=", 0) == 0) {
            answers = arg.substr(10);
        } else if (arg.rfind(L"--cwd=", 0) == 0) {
            workDir = arg.substr(6);
        } else if (arg == L"--manual") {
            manual = true;
        } else if (arg.rfind(L"--hold=", 0) == 0 || arg.rfind(L"--hold-shared=", 0) == 0) {
            // --hold-shared: open for writing, as a program saving there,
            // sharing reading and writing but not deletion.
            bool shared = arg[6] == L'-';
            std::wstring path = arg.substr(shared ? 14 : 7);
            HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | (shared ? GENERIC_WRITE : 0),
                                   shared ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0, 0,
                                   OPEN_EXISTING, 0, 0);
            if (h == INVALID_HANDLE_VALUE) {
                fprintf(log, "ERROR cannot hold %s\n", Utf8(path).c_str());
                fclose(log);
                return 2;
            }
            held.push_back(h);
        }
    }

    // The child's command line: the arguments after "--" joined by single
    // blanks, verbatim, so a test can give it any quoting it wants.
    int first = 2;
    while (first < argc && lstrcmpW(argv[first], L"--") != 0)
        first++;
    std::wstring command;
    for (int i = first + 1; i < argc; i++)
        command += (command.empty() ? L"" : L" ") + std::wstring(argv[i]);
    if (command.empty())
        return 2;

    HANDLE event = 0;
    if (!eventMode.empty()) {
        SECURITY_ATTRIBUTES inherit = { sizeof inherit, 0, TRUE };
        event = CreateEventW(&inherit, TRUE, eventMode == L"signalled", 0);
        wchar_t value[32];
        wsprintfW(value, L"%u", (unsigned)(UINT_PTR)event);
        size_t at = command.find(L"{H}");
        if (at != std::wstring::npos)
            command.replace(at, 3, value);
    }

    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    std::vector<wchar_t> buffer(command.begin(), command.end());
    buffer.push_back(0);
    DWORD started = GetTickCount();
    if (!CreateProcessW(0, buffer.data(), 0, 0, TRUE, 0, 0,
                        workDir.empty() ? 0 : workDir.c_str(), &startup, &process)) {
        fprintf(log, "ERROR cannot start (%lu)\n", GetLastError());
        fclose(log);
        return 2;
    }

    const DWORD limit = manual ? 600000 : 60000;
    Family family = {{process.dwProcessId, 0}};
    int boxes = 0;
    DWORD code = 0;
    bool timedOut = false;
    while (WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT) {
        if (GetTickCount() - started > limit) {
            TerminateProcess(process.hProcess, 99);
            timedOut = true;
            break;
        }
        FindDescendants(&family, log);
        Search search = { &family, 0, 0 };
        EnumWindows(FindBox, (LPARAM)&search);
        if (!search.box)
            continue;
        // A box can be visible a moment before its texts are set (seen
        // under emulation); every box of the program has both.
        std::wstring caption = WindowText(search.box), text;
        EnumChildWindows(search.box, FindText, (LPARAM)&text);
        if (caption.empty() || text.empty())
            continue;
        fprintf(log, "BOX %d %s\t%s\n", search.generation, Utf8(caption).c_str(),
                Escaped(Utf8(text)).c_str());
        fflush(log);
        boxes++;
        if (!ackDir.empty()) {
            std::wstring ack = ackDir + L"\\ack-" + std::to_wstring(boxes);
            for (int i = 0; i < 1500 && GetFileAttributesW(ack.c_str()) == INVALID_FILE_ATTRIBUTES; i++)
                Sleep(20);
        }
        if (!manual && GetDlgItem(search.box, IDYES)) {
            bool no = !answers.empty() && (answers[0] == L'N' || answers[0] == L'n');
            if (!answers.empty())
                answers.erase(0, 1);
            fprintf(log, "ANSWER %s\n", no ? "no" : "yes");
            fflush(log);
            PostMessageW(search.box, WM_COMMAND, no ? IDNO : IDYES, 0);
        } else if (!manual) {
            PostMessageW(search.box, WM_COMMAND, IDOK, 0);
        }
        // Wait for this box to go before looking for the next one.
        for (int i = 0; (manual || i < 250) && IsWindow(search.box) && IsWindowVisible(search.box); i++)
            Sleep(20);
    }
    DWORD elapsed = GetTickCount() - started;
    GetExitCodeProcess(process.hProcess, &code);
    if (timedOut)
        fprintf(log, "TIMEOUT\n");
    else
        fprintf(log, "EXIT %ld\n", (long)code);
    fprintf(log, "ELAPSED %lu\n", elapsed);
    fclose(log);
    for (HANDLE h : held)
        CloseHandle(h);
    return 0;
}
