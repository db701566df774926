#include <string.h>

#include "paths/wide_text.h"
#include "tests/unit/fixture.h"

class TextTest : public FakeTest {
protected:
    void SetUp() override
    {
        FakeTest::SetUp();
        LearnLeadBytes();
    }
    std::string Fix(const std::string& path, int mode)
    {
        char buf[kPathSize];
        strcpy(buf, path.c_str());
        return FixTrailingSeparator(buf, mode);
    }
    std::string Cut(const std::string& path)
    {
        char buf[kPathSize];
        strcpy(buf, path.c_str());
        CutLastComponent(buf);
        return buf;
    }
};

TEST_F(TextTest, TrailingSeparatorAddsAndStripsOne)
{
    EXPECT_EQ(Fix("C:\\", kStripSeparator), "C:");
    EXPECT_EQ(Fix("C:", kAddSeparator), "C:\\");
    EXPECT_EQ(Fix("C:\\", kAddSeparator), "C:\\");
    EXPECT_EQ(Fix("C:\\a\\\\", kStripSeparator), "C:\\a\\");  // one at a time
    EXPECT_EQ(Fix("a\\", kStripSeparator), "a");  // the shortest path that ends in one
    for (const char* tiny : {"", "\\", "a"}) {
        EXPECT_EQ(Fix(tiny, kAddSeparator), tiny);
        EXPECT_EQ(Fix(tiny, kStripSeparator), tiny);
        EXPECT_FALSE(EndsInSeparator(tiny));
    }
}

TEST_F(TextTest, SecondByteOfACharacterIsNoSeparator)
{
    // ソ is 83 5C: its second byte is the separator byte.
    EXPECT_EQ(Fix("C:\\ソ", kStripSeparator), "C:\\ソ");
    EXPECT_EQ(Fix("C:\\ソ", kAddSeparator), "C:\\ソ\\");
    EXPECT_EQ(Cut("C:\\a\\ソソ"), "C:\\a");
    // リ is 83 8A, and 8A is itself a lead byte: the separator after it is
    // still a separator.
    EXPECT_EQ(Fix("C:\\リ\\", kStripSeparator), "C:\\リ");
    EXPECT_EQ(Cut("C:\\マリ\\Desktop"), "C:\\マリ");
}

TEST_F(TextTest, CutWalksUpToTheEmptyText)
{
    std::string path = "A\\B\\C";
    for (const char* expected : {"A\\B", "A", ""}) {
        path = Cut(path);
        EXPECT_EQ(path, expected);
    }
    EXPECT_EQ(Cut(""), "");
    // A lead byte that ends the text stands alone: nothing past the NUL.
    char tail[] = "A\\B\x83\0\\C";
    CutLastComponent(tail);
    EXPECT_STREQ(tail, "A");
}

TEST_F(TextTest, LeadBytesAreTheCodePagesRanges)
{
    for (int c : {0x81, 0x9F, 0xE0, 0xFC})
        EXPECT_TRUE(IsLeadByte((unsigned char)c)) << c;
    for (int c : {0x00, 0x80, 0xA0, 0xDF, 0xFD, 0xFF})
        EXPECT_FALSE(IsLeadByte((unsigned char)c)) << c;
}

TEST_F(TextTest, SingleByteCodePageHasNoLeadBytes)
{
    Fake.codePage = 1252;
    LearnLeadBytes();
    EXPECT_EQ(Fix("C:\\\x83\\", kStripSeparator), "C:\\\x83");
    EXPECT_EQ(Cut("C:\\a\\\x83\\b"), "C:\\a\\\x83");
}

TEST_F(TextTest, CompositionNeverCutsAPath)
{
    char out[kPathSize];
    std::string part(300, 'a');
    EXPECT_TRUE(ComposePath(out, "C:\\", part.c_str()));
    EXPECT_FALSE(ComposePath(out, part.c_str(), "\\", part.c_str()));
    EXPECT_STREQ(out, "");
    std::string exact(kAnsiPathRoom - 1, 'b');
    EXPECT_TRUE(ComposePath(out, exact.c_str()));
    EXPECT_FALSE(ComposePath(out, exact.c_str(), "c"));

    // Adding a separator to a full buffer leaves it alone; one byte short
    // of full, it fits.
    strcpy(out, exact.c_str());
    EXPECT_EQ(strlen(FixTrailingSeparator(out, kAddSeparator)), (size_t)kAnsiPathRoom - 1);
    out[kAnsiPathRoom - 2] = 0;
    EXPECT_EQ(strlen(FixTrailingSeparator(out, kAddSeparator)), (size_t)kAnsiPathRoom - 1);
}

TEST_F(TextTest, FormatsTheProgramsConversions)
{
    char out[64];
    ASSERT_TRUE(FormatText(out, sizeof out, "%sBRISK%02d.SAV", "D\\", 7));
    EXPECT_STREQ(out, "D\\BRISK07.SAV");
    ASSERT_TRUE(FormatText(out, sizeof out, "%s_QX%05d.$$$|%d|%d|%d%%", "W\\", 42, -3, -1, 123456));
    EXPECT_STREQ(out, "W\\_QX00042.$$$|-3|-1|123456%");
    ASSERT_TRUE(FormatText(out, sizeof out, "%010d|%9d", 7, 8));
    EXPECT_STREQ(out, "0000000007|000000008");
    // A conversion cut off by the end of the format stands as written and
    // nothing past the terminating NUL is read.
    for (const char* tail : {"%0", "%05", "%12"}) {
        char format[8] = {};
        strcpy(format, tail);
        strcpy(format + strlen(tail) + 1, "%s");
        ASSERT_TRUE(FormatText(out, sizeof out, format, "past the end")) << tail;
        EXPECT_STREQ(out, tail);
    }
    EXPECT_FALSE(FormatText(out, 8, "%s", "123456789"));
    EXPECT_STREQ(out, "");
}

// UTF-16 to the inner text and back: exact for every unit, lone halves of
// a pair included; nothing cut, nothing another conversion could not give.
TEST_F(TextTest, WideTextRoundTripsExactlyAndRefusesWhatDoesNotFit)
{
    const struct {
        std::u16string wide;
        const char* inner;
    } cases[] = {
        {u"C:\\Bureau été", "C:\\Bureau \xC3\xA9t\xC3\xA9"},
        {u"碧環\\ソ", "\xE7\xA2\xA7\xE7\x92\xB0\\\xE3\x82\xBD"},
        {u"\u301C\uFF5E", "\xE3\x80\x9C\xEF\xBD\x9E"},
        {u"\U0001F600", "\xF0\x9F\x98\x80"},
        {u"a\xD800", "a\xED\xA0\x80"},            // a lead at the end
        {u"\xDC00z", "\xED\xB0\x80z"},            // a trail alone
        {u"\xD83D\xD83D\xDE00", "\xED\xA0\xBD\xF0\x9F\x98\x80"},
        // Each length's first and last character, and the pairs' ends.
        {u"\x7F\x80\u07FF\u0800\uFFFF", "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
        {u"\U00010000\U0010FFFF\xDBFF\xDC00",
         "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\xF4\x8F\xB0\x80"},
        {u"\xDFFF\xD7FF\xE000\xDC00\xDBFF", "\xED\xBF\xBF\xED\x9F\xBF\xEE\x80\x80\xED\xB0\x80\xED\xAF\xBF"},
        {u"", ""},
    };
    for (auto& c : cases) {
        char inner[32];
        uint16_t wide[16];
        int n = WideToInner((const uint16_t*)c.wide.c_str(), -1, inner, sizeof inner);
        EXPECT_EQ(n, (int)strlen(c.inner));
        EXPECT_STREQ(inner, c.inner);
        ASSERT_EQ(InnerToWide(inner, wide, 16), (int)c.wide.size()) << c.inner;
        EXPECT_EQ(std::u16string((const char16_t*)wide), c.wide);
        // One byte or unit short of room: nothing at all.
        EXPECT_EQ(WideToInner((const uint16_t*)c.wide.c_str(), -1, inner, n), -1);
        EXPECT_STREQ(inner, "");
        EXPECT_EQ(InnerToWide(c.inner, wide, (int)c.wide.size()), -1);
    }
    // A counted text stops at its count, even inside a pair.
    char inner[8];
    EXPECT_EQ(WideToInner((const uint16_t*)u"\U0001F600", 1, inner, sizeof inner), 3);
    // Overlong forms, beyond U+10FFFF, a cut sequence, a stray trailing
    // byte, a pair written as two halves.
    uint16_t wide[8];
    for (const char* bad : {"\xC0\x80", "\xC1\xBF", "\xE0\x80\xAF", "\xE0\x9F\xBF",
                            "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xE3\x81",
                            "\x80", "\xBF", "a\xFF", "\xE3\x81\xC2", "\xED\xA0\xBD\xED\xB8\x80",
                            "\xED\xAF\xBF\xED\xBF\xBF"})
        EXPECT_EQ(InnerToWide(bad, wide, 8), -1) << bad;
    EXPECT_EQ(InnerToWide("", wide, 0), -1);
    EXPECT_EQ(WideToInner((const uint16_t*)u"", -1, inner, 0), -1);
}
