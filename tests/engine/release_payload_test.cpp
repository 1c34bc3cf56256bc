// The release the build embeds: the real files.exe unpacks the client files it was packed from,
// and the script resource is the release's script.
#include <windows.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <vector>
#include "scripted_window.h"
#include "test_files.h"
#include "update.h"

namespace {

using testfiles::ReadBytes;

const std::string kFolder = "C:\\xqvtest\\engine\\release";

std::vector<std::string> SortedNames(const std::string& folder) {
    std::vector<std::string> names = testfiles::ListNames(folder);
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ReleasePayload, UnpacksTheClientFilesIntoItsFolderOverwritingOldOnes) {
    testenv::ScriptedWindow window;
    const std::string clientDir = testfiles::FromUnixPath(XQV_TEST_CLIENT_DIR);
    const std::string folder = testfiles::FreshFolder(kFolder + "\\Tmp$081226130509\\New");
    ASSERT_TRUE(testfiles::WriteBytes(folder + "\\OrveLin.exe", std::string(1 << 20, 'o')));

    xqv::UnpackPayload(folder);
    const std::string exe = ReadBytes(clientDir + "\\OrveLin.exe");
    const std::string help = ReadBytes(clientDir + "\\OrveLin.chm");
    ASSERT_GT(exe.size(), 1000u);
    ASSERT_GT(help.size(), 1000u);
    EXPECT_TRUE(ReadBytes(folder + "\\OrveLin.exe") == exe);
    EXPECT_TRUE(ReadBytes(folder + "\\OrveLin.chm") == help);
    EXPECT_EQ(SortedNames(folder),
              (std::vector<std::string>{"OrveLin.chm", "OrveLin.exe", "files.exe"}));
    EXPECT_FALSE(testfiles::Exists(testfiles::ProgramFolder() + "\\OrveLin.chm"));
    testfiles::RemoveTree(kFolder);
}

TEST(ReleaseScript, IsTheReleasesScriptText) {
    const std::string script = ReadBytes(testfiles::FromUnixPath(XQV_TEST_SCRIPT));
    ASSERT_NE(script, "<missing>");
    EXPECT_TRUE(xqv::LoadResourceText("script", "TEXT") == script.substr(0, script.find('\0')));
}

} // namespace
