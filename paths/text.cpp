#include "paths/text.h"

#include <stdarg.h>

#include "sysops/sysops.h"

static unsigned char LeadByteTable[256];
int PathRoom = kAnsiPathRoom;

void LearnLeadBytes(void)
{
    for (unsigned i = 0; i < sizeof LeadByteTable; i++)
        LeadByteTable[i] = 0;
    int wide = Sys->UsesWideText();
    PathRoom = wide ? kPathSize : kAnsiPathRoom;
    // UTF-8 has no byte of a multibyte character that could be taken for
    // a separator.
    SysCpInfo info;
    if (wide || !Sys->GetCPInfo(Sys->GetACP(), &info))
        return;
    // Inclusive ranges in pairs, ended by a zero pair; no range of lead
    // bytes starts at byte 0.
    for (int i = 0; i < 12 && info.leadByte[i]; i += 2) {
        for (int c = info.leadByte[i]; c <= info.leadByte[i + 1]; c++)
            LeadByteTable[c] = 1;
    }
}

int IsLeadByte(unsigned char c)
{
    return LeadByteTable[c];
}

int CharacterWidth(const char* text)
{
    return IsLeadByte((unsigned char)text[0]) && text[1] ? 2 : 1;
}

int TextLength(const char* text)
{
    int n = 0;
    while (text[n])
        n++;
    return n;
}

// Appends text at *pos; 0 once the buffer is full.
static int PutText(char* out, int size, int* pos, const char* text)
{
    while (*text) {
        if (*pos >= size - 1)
            return 0;
        out[(*pos)++] = *text++;
    }
    return 1;
}

int ComposeText(char* out, int size, const char* first, ...)
{
    va_list args;
    va_start(args, first);
    int pos = 0;
    int fits = 1;
    if (size == kRoomOfPath)
        size = PathRoom;
    for (const char* part = first; part && fits; part = va_arg(args, const char*))
        fits = PutText(out, size, &pos, part);
    va_end(args);
    out[fits ? pos : 0] = 0;
    return fits;
}

// Decimal digits of value, zero-padded to width.
static void NumberText(char* digits, int value, int width)
{
    char reversed[12];
    int n = 0;
    unsigned int magnitude = value < 0 ? 0u - (unsigned int)value : (unsigned int)value;
    do {
        reversed[n++] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    while (n < width && n < 11)
        reversed[n++] = '0';
    int pos = 0;
    if (value < 0)
        digits[pos++] = '-';
    while (n)
        digits[pos++] = reversed[--n];
    digits[pos] = 0;
}

int FormatText(char* out, int size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int pos = 0;
    int fits = 1;
    if (size == kRoomOfPath)
        size = PathRoom;
    for (const char* f = format; *f && fits; f++) {
        char single[2] = { *f, 0 };
        if (*f != '%') {
            fits = PutText(out, size, &pos, single);
            continue;
        }
        f++;
        if (*f == 's') {
            fits = PutText(out, size, &pos, va_arg(args, const char*));
        } else if (*f == '%') {
            fits = PutText(out, size, &pos, "%");
        } else {
            const char* conversion = f - 1;
            int width = 0;
            if (*f == '0')
                f++;
            while (*f >= '0' && *f <= '9')
                width = width * 10 + (*f++ - '0');
            if (!*f) {
                // A conversion cut off by the end of the format, a lone '%'
                // too, stands as written; the loop must not step past the NUL.
                fits = PutText(out, size, &pos, conversion);
                break;
            }
            char digits[16];
            NumberText(digits, va_arg(args, int), width);
            fits = PutText(out, size, &pos, digits);
        }
    }
    va_end(args);
    out[fits ? pos : 0] = 0;
    return fits;
}

// 1 when the byte at pos begins a character. Shift JIS cannot be read
// backwards (a second byte such as the 0x8A of "リ" is itself in the lead
// range), so character boundaries are found by walking from the start.
static int StartsCharacter(const char* path, int pos)
{
    int i = 0;
    while (i < pos)
        i += CharacterWidth(path + i);
    return i == pos;
}

int EndsInSeparator(const char* path)
{
    int n = TextLength(path);
    return n >= 2 && path[n - 1] == '\\' && StartsCharacter(path, n - 1);
}

char* FixTrailingSeparator(char* path, int mode)
{
    int n = TextLength(path);
    if (n < 2)
        return path;
    int ends = EndsInSeparator(path);
    if (mode == kAddSeparator && !ends && n < PathRoom - 1) {
        path[n] = '\\';
        path[n + 1] = 0;
    } else if (mode == kStripSeparator && ends) {
        path[n - 1] = 0;
    }
    return path;
}

void CutLastComponent(char* path)
{
    int last = 0;  // with no separator the whole text goes
    for (int i = 0; path[i];) {
        if (path[i] == '\\')
            last = i;
        i += CharacterWidth(path + i);
    }
    path[last] = 0;
}
