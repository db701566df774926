// Process entry of the Windows program. It links no C runtime: the entry
// point is ours, and so are the two memory routines the compiler may call.
#include <windows.h>

#include "control/eraser.h"
#include "sysops/win32.h"

// The command line less the program's name (quoted or not) and the
// spaces and tabs after it.
static const char* ArgumentText(const char* line)
{
    if (*line == '"') {
        line++;
        while (*line && *line != '"')
            line++;
        if (*line)
            line++;
    } else {
        while (*line && *line != ' ' && *line != '\t')
            line++;
    }
    while (*line == ' ' || *line == '\t')
        line++;
    return line;
}

// The command line in the program's text: on the NT family its UTF-16
// converted whole, so that no path on it is cut.
static const char* CommandLine(void)
{
    if (!HasWideCalls())
        return GetCommandLineA();
    const WCHAR* wide = Wide.getCommandLine();
    int units = 0;
    while (wide[units])
        units++;
    // A command line holds at most 32767 units, UTF-8 at most three
    // bytes for each.
    static char line[3 * 32767 + 1];
    if (!units || FromWideText(wide, -1, line, sizeof line))
        return line;
    return GetCommandLineA();  // cannot be: the switches would read the same
}

extern "C" void __stdcall start(void)
{
    // Before anything can load a library: see RestrictLibrarySearch.
    RestrictLibrarySearch();
    ExitProcess((UINT)EraserMain(ArgumentText(CommandLine())));
}

// GCC may emit calls to these for copies and clears of records. The build
// keeps it from turning the loops back into calls to themselves.
extern "C" void* memset(void* dest, int value, size_t size)
{
    unsigned char* p = (unsigned char*)dest;
    while (size--)
        *p++ = (unsigned char)value;
    return dest;
}

extern "C" void* memcpy(void* dest, const void* src, size_t size)
{
    unsigned char* d = (unsigned char*)dest;
    const unsigned char* s = (const unsigned char*)src;
    while (size--)
        *d++ = *s++;
    return dest;
}
