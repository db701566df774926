#include "sysops/streams.h"

#include "paths/text.h"

int StreamOpen(Stream* s, const char* path, int mode)
{
    s->mode = mode;
    s->ended = s->failed = 0;
    s->pos = s->fill = 0;
    s->file = Sys->CreateFileA(path, mode == kStreamWriteText);
    return s->file != 0;
}

void StreamClose(Stream* s)
{
    if (s->file)
        Sys->CloseHandle(s->file);
    s->file = 0;
}

int StreamSeekStart(Stream* s)
{
    s->pos = s->fill = 0;
    s->ended = 0;
    return Sys->SetFilePointerToStart(s->file);
}

// Next input byte, or -1 at the end; text mode skips CR and ends at Ctrl-Z.
static int NextByte(Stream* s)
{
    for (;;) {
        if (s->ended)
            return -1;
        if (s->pos == s->fill) {
            uint32_t got = 0;
            if (!Sys->ReadFile(s->file, s->buffer, kStreamBufferSize, &got)) {
                s->failed = s->ended = 1;
                return -1;
            }
            if (got == 0) {
                s->ended = 1;
                return -1;
            }
            s->pos = 0;
            s->fill = got;
        }
        int c = s->buffer[s->pos++];
        if (s->mode == kStreamReadBinary)
            return c;
        if (c == 0x1A) {
            s->ended = 1;
            return -1;
        }
        if (c != '\r')
            return c;
    }
}

int StreamReadRecord(Stream* s, void* record, uint32_t size)
{
    unsigned char* out = (unsigned char*)record;
    for (uint32_t i = 0; i < size; i++) {
        int c = NextByte(s);
        if (c < 0)
            return 0;
        out[i] = (unsigned char)c;
    }
    return 1;
}

int StreamReadLine(Stream* s, char* line, int size)
{
    int n = 0;
    while (n < size - 1) {
        int c = NextByte(s);
        if (c < 0)
            break;
        line[n++] = (char)c;
        if (c == '\n')
            break;
    }
    line[n] = 0;
    return n;
}

int StreamWrite(Stream* s, const char* data, int size)
{
    // Written in runs up to each LF, so a long line costs few calls.
    const char* run = data;
    const char* end = data + size;
    for (const char* p = data;; p++) {
        if (p < end && *p != '\n')
            continue;
        if (p > run && !Sys->WriteFile(s->file, run, (uint32_t)(p - run)))
            return 0;
        if (p == end)
            return 1;
        if (!Sys->WriteFile(s->file, "\r\n", 2))
            return 0;
        run = p + 1;
    }
}

int StreamWriteText(Stream* s, const char* text)
{
    return StreamWrite(s, text, TextLength(text));
}
