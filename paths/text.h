// Byte-string helpers and the path text rules.
//
// Paths are the program's text (sysops.h): multibyte text in the ANSI code
// page, at most 511 bytes as the system's A calls take them, or UTF-8 on
// the NT family, where kana and kanji take three bytes for code page 932's
// two: there a path may take 767. Under code page 932 the separator byte
// 0x5C can also be the second byte of a double-byte character, so every
// scan that looks for a separator consults the lead-byte table learned
// from the system at start; UTF-8 has no such bytes.
#ifndef ERASER_TEXT_H
#define ERASER_TEXT_H

enum { kPathSize = 768, kAnsiPathRoom = 512 };  // buffers; a path in the ANSI code page
// What a path may take with its NUL in this run: kPathSize where the text
// is UTF-8, else kAnsiPathRoom.
extern int PathRoom;

// Fills the lead-byte table from GetACP + GetCPInfo, where the text is no
// UTF-8 (a failed query leaves a code page of single-byte characters), and
// sets PathRoom.
void LearnLeadBytes(void);
int IsLeadByte(unsigned char c);
// 2 when text starts with a lead byte and the byte after it, else 1: a
// lead byte at the very end of the text stands alone.
int CharacterWidth(const char* text);

int TextLength(const char* text);

// Bounded composition. Each writes a NUL-terminated result into out
// (size bytes) and returns 1; when the result would not fit it leaves out
// as the empty text and returns 0, so nothing can act on a shortened path.
int ComposeText(char* out, int size, const char* first, ...);  // ends with 0
// A size of kRoomOfPath is PathRoom, here and in FormatText.
enum { kRoomOfPath = -1 };
#define ComposePath(out, ...) ComposeText((out), kRoomOfPath, __VA_ARGS__, (const char*)0)
// Conversions %s, %d, %02d and %05d, and %% for a percent sign.
int FormatText(char* out, int size, const char* format, ...);

enum { kStripSeparator = 0, kAddSeparator = 1 };
// mode 1 makes the path end in one separator, mode 0 removes one trailing
// separator. A path that already fills the buffer gets no separator added;
// the composition that follows then reports the overflow.
char* FixTrailingSeparator(char* path, int mode);
int EndsInSeparator(const char* path);
// Removes the last component together with the separator before it.
void CutLastComponent(char* path);

#endif
