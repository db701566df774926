// Buffered streams over the plain file operations of the seam.
//
// Binary reading hands out bytes as stored. Text mode follows the C
// runtime's rules, which the profile file rewrite relies on: reading drops
// every CR byte and stops at the first 0x1A (Ctrl-Z); writing turns each
// LF into CR LF.
#ifndef ERASER_STREAMS_H
#define ERASER_STREAMS_H

#include "sysops/sysops.h"

enum StreamMode { kStreamReadBinary, kStreamReadText, kStreamWriteText };
enum { kStreamBufferSize = 512, kLineSize = 1024 };

struct Stream {
    SysHandle file;
    int mode;
    int ended;   // end of file, a read error or Ctrl-Z in text mode
    int failed;  // a read error: what was read is not the whole file
    uint32_t pos, fill;
    unsigned char buffer[kStreamBufferSize];
};

int StreamOpen(Stream* s, const char* path, int mode);
void StreamClose(Stream* s);
int StreamSeekStart(Stream* s);
// 1 when all size bytes were read.
int StreamReadRecord(Stream* s, void* record, uint32_t size);
// Reads up to size-1 bytes, through the line feed when one comes first,
// and terminates them with a NUL. Returns how many bytes were read (a NUL
// byte in the file is one of them); 0 at the end of the input.
int StreamReadLine(Stream* s, char* line, int size);
// Writes size bytes; 1 when all were written.
int StreamWrite(Stream* s, const char* data, int size);
int StreamWriteText(Stream* s, const char* text);

#endif
