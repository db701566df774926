// Any WININIT.INI and one injected failure at any step: afterwards the
// file is byte for byte the old one or the complete new one, the result
// says which, and no temporary file is left behind.
#include <string>

#include "paths/text.h"
#include "restart/self_removal.h"
#include "tests/fake_system.h"

static const std::string kWin = "C:\\WINDOWS\\";
static const std::string kIni = kWin + "WININIT.INI";
static const std::string kSelf = "C:\\WINDOWS\\TEMP\\VELDUNIN.EXE";

// What the rewrite must produce, written independently: text-mode input
// (CR dropped, nothing from Ctrl-Z on), pieces of at most 1023 bytes, the
// request after the end of the first real line that starts with the header.
static std::string Expected(const std::string& old)
{
    std::string text;
    for (char c : old) {
        if (c == 0x1A)
            break;
        if (c != '\r')
            text += c;
    }
    std::string out;
    std::string request = "NUL=" + kSelf + "\n";
    bool inserted = false, inHeader = false, atStart = true;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        end = end == std::string::npos ? text.size() : end + 1;
        if (end - pos > 1023)
            end = pos + 1023;
        std::string piece = text.substr(pos, end - pos);
        pos = end;
        out += piece;
        std::string head = piece.substr(0, 8).c_str();
        if (!inserted && atStart && FakeFold(head) == "[RENAME]")
            inHeader = true;
        atStart = piece.back() == '\n';
        if (inHeader && atStart) {
            out += request;
            inHeader = false;
            inserted = true;
        }
    }
    if (inHeader)
        out += "\n" + request;
    else if (!inserted)
        out += std::string(atStart ? "" : "\n") + "[Rename]\n" + request;
    std::string crlf;
    for (char c : out)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf;
}

static const FakeOp kFaults[] = {kOpCount,    kOpCreateFile, kOpReadFile,
                                  kOpWriteFile, kOpMoveFile,   kOpDeleteFile,
                                  kOpFindFirstFile, kOpCloseHandle};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    FakeReset();
    LearnLeadBytes();
    std::string old((const char*)data + 2, size - 2);
    FakeAddFile(kIni, old);
    bool earlierTemp = data[1] & 0x80;
    if (earlierTemp)
        FakeAddFile(kWin + "_QX00000.$$$", "earlier");
    Fake.failOp = kFaults[data[0] % (sizeof kFaults / sizeof kFaults[0])];
    Fake.failNth = 1 + (data[1] & 7);

    int result = RewriteWininit(kSelf.c_str(), kWin.c_str(), kIni.c_str());
    std::string now = FakeRead(kIni);
    if (!FakeExists(kIni) || now != (result ? Expected(old) : old))
        __builtin_trap();
    if (Fake.openHandles != 0)
        __builtin_trap();
    // The set-aside old file stays only when its final deletion failed.
    size_t temps = FakeList(kWin + "_QX").size();
    size_t allowed = earlierTemp + (result && Fake.injectedOp == kOpDeleteFile ? 1 : 0);
    if (temps != allowed || (earlierTemp && FakeRead(kWin + "_QX00000.$$$") != "earlier"))
        __builtin_trap();
    return 0;
}
