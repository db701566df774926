// A complete installation on the in-memory system, and the notice texts.
#ifndef ERASER_TEST_FIXTURE_H
#define ERASER_TEST_FIXTURE_H

#include <gtest/gtest.h>

#include <string>

#include "control/eraser.h"
#include "erase/erase.h"
#include "tests/fake_system.h"

const std::string kBase = "C:\\Games";
const std::string kMakerDir = kBase + "\\KORVEN";
const std::string kApp = kMakerDir + "\\碧環デスクトップアクセサリー";
const std::string kData = kApp + "\\DATA";
const std::string kAcc = kApp + "\\ACC";
const std::string kDesktop = "C:\\USERS\\YUKI\\Desktop";
const std::string kPrograms = "C:\\USERS\\YUKI\\Start Menu\\Programs";
const std::string kGroup = kPrograms + "\\碧環デスクトップアクセサリー";
const std::string kMakerKey = "Software\\KORVEN";
const std::string kPackageKey = "Software\\KORVEN\\VELDARIN_DESKTOP";
const std::string kCaption = "碧環デスクトップアクセサリー";

std::string SaveFile(size_t size = 32);
// Lays down what the installer leaves; installDir is the registry value.
void InstallPackage(const std::string& installDir = "C:\\Games\\");
std::string NotEmptyText(const std::string& path, const std::string& word = "フォルダ");
std::string CannotDeleteText(const std::string& path);
std::string StillRunningText(const std::string& path);
std::string BoxTexts();  // every box's text, one per line, for messages

// A table row's test name: its name with every character but letters and
// digits made '_'.
template <typename Row>
std::string RowName(const ::testing::TestParamInfo<Row>& info)
{
    std::string name;
    for (const char* p = info.param.name; *p; p++)
        name += isalnum((unsigned char)*p) ? *p : '_';
    return name;
}

class FakeTest : public ::testing::Test {
protected:
    void SetUp() override { FakeReset(); }
    void TearDown() override { EXPECT_EQ(Fake.openHandles, 0) << "a handle was left open"; }
};

#endif
