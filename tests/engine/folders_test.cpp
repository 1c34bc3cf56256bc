// The folder operations on real trees, with files held open by another process.
#include <windows.h>
#include <gtest/gtest.h>
#include "error_of.h"
#include <string>
#include <vector>
#include "errors.h"
#include "scripted_window.h"
#include "test_files.h"
#include "update.h"

namespace {

using testfiles::Exists;
using testfiles::ReadBytes;
using testfiles::WriteBytes;

const std::string kBase = "C:\\xqvtest\\engine\\folders";
const DWORD kProtected = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

using testenv::ErrorOf;

std::vector<std::string> ListedNames(const std::string& folder) {
    return testfiles::ListNames(folder);
}

class Folders : public ::testing::Test {
protected:
    void SetUp() override { testfiles::FreshFolder(kBase); }
    void TearDown() override { testfiles::RemoveTree(kBase); }

    // A tree with protected files at several depths and an empty subfolder.
    static void MakeTree(const std::string& root) {
        testfiles::MakeFolders(root + "\\a\\b\\c");
        testfiles::MakeFolders(root + "\\empty");
        ASSERT_TRUE(WriteBytes(root + "\\top.txt", "top", FILE_ATTRIBUTE_READONLY));
        ASSERT_TRUE(WriteBytes(root + "\\a\\hidden.txt", "hidden", FILE_ATTRIBUTE_HIDDEN));
        ASSERT_TRUE(WriteBytes(root + "\\a\\b\\system.txt", "system", FILE_ATTRIBUTE_SYSTEM));
        ASSERT_TRUE(WriteBytes(root + "\\a\\b\\c\\all.txt", "all", kProtected));
    }

    testenv::ScriptedWindow window;
};

TEST_F(Folders, DeleteFolderRemovesProtectedFilesAtEveryDepth) {
    const std::string root = kBase + "\\tree";
    MakeTree(root);
    xqv::DeleteFolder(root);
    EXPECT_FALSE(Exists(root));
    EXPECT_TRUE(Exists(kBase));
    // The same with a trailing backslash.
    MakeTree(root);
    xqv::DeleteFolder(root + "\\");
    EXPECT_FALSE(Exists(root));
}

TEST_F(Folders, DeleteFolderOfAMissingFolderDoesNothing) {
    ASSERT_TRUE(WriteBytes(kBase + "\\keep.txt", "keep"));
    EXPECT_NO_THROW(xqv::DeleteFolder(kBase + "\\missing"));
    EXPECT_EQ(ReadBytes(kBase + "\\keep.txt"), "keep");
}

TEST_F(Folders, DeleteFolderStopsAtAFileHeldOpenAndLeavesTheRest) {
    const std::string root = kBase + "\\held";
    testfiles::MakeFolders(root);
    for (const char* name : {"1.txt", "2.txt", "3.txt", "4.txt", "5.txt", "6.txt"})
        ASSERT_TRUE(WriteBytes(root + "\\" + name, name, FILE_ATTRIBUTE_READONLY));
    const std::string heldName = "4.txt";
    const std::vector<std::string> order = ListedNames(root);
    testfiles::FileHolder holder(root + "\\" + heldName);
    ASSERT_TRUE(holder.held());

    EXPECT_EQ(ErrorOf([&] { xqv::DeleteFolder(root); }),
              "Невозможно удалить файл " + root + "\\" + heldName + "!");
    // What came before the held file in the listing is gone; it and what follows stay.
    bool reached = false;
    for (const std::string& name : order) {
        reached = reached || name == heldName;
        EXPECT_EQ(Exists(root + "\\" + name), reached) << name;
    }
}

TEST_F(Folders, CreateFolderCreatesOneLevelOnly) {
    xqv::CreateFolder(kBase + "\\new");
    EXPECT_TRUE(Exists(kBase + "\\new"));
    EXPECT_EQ(ErrorOf([] { xqv::CreateFolder(kBase + "\\new"); }),
              "Невозможно создать папку " + kBase + "\\new!");
    EXPECT_EQ(ErrorOf([] { xqv::CreateFolder(kBase + "\\gone\\deeper\\new"); }),
              "Невозможно создать папку " + kBase + "\\gone\\deeper\\new!");
    EXPECT_FALSE(Exists(kBase + "\\gone"));
}

TEST_F(Folders, CopyFolderMergesIntoTheTargetAndCopiesEmptyFolders) {
    const std::string source = kBase + "\\source", dest = kBase + "\\x\\y\\dest";
    MakeTree(source);
    testfiles::MakeFolders(dest + "\\a");
    ASSERT_TRUE(WriteBytes(dest + "\\top.txt", "older and longer", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(WriteBytes(dest + "\\a\\extra.txt", "extra"));

    EXPECT_TRUE(xqv::CopyFolder(source, dest).empty());
    EXPECT_EQ(ReadBytes(dest + "\\top.txt"), "top");
    EXPECT_EQ(ReadBytes(dest + "\\a\\hidden.txt"), "hidden");
    EXPECT_EQ(ReadBytes(dest + "\\a\\b\\system.txt"), "system");
    EXPECT_EQ(ReadBytes(dest + "\\a\\b\\c\\all.txt"), "all");
    EXPECT_EQ(ReadBytes(dest + "\\a\\extra.txt"), "extra");
    EXPECT_TRUE(Exists(dest + "\\empty"));
    EXPECT_TRUE(ListedNames(dest + "\\empty").empty());
}

TEST_F(Folders, CopyFolderSkipsAFileItCannotCopyAndNamesIt) {
    const std::string source = kBase + "\\source", dest = kBase + "\\dest";
    MakeTree(source);
    ASSERT_TRUE(WriteBytes(source + "\\a\\b\\locked.txt", "locked"));
    testfiles::FileHolder holder(source + "\\a\\b\\locked.txt");
    ASSERT_TRUE(holder.held());

    const std::vector<std::string> notCopied = xqv::CopyFolder(source + "\\", dest + "\\");
    EXPECT_EQ(notCopied, std::vector<std::string>{source + "\\a\\b\\locked.txt"});
    EXPECT_FALSE(Exists(dest + "\\a\\b\\locked.txt"));
    EXPECT_EQ(ReadBytes(dest + "\\a\\b\\c\\all.txt"), "all");
}

TEST_F(Folders, CopyFolderQuotesPathsWithTheirTrailingBackslash) {
    EXPECT_EQ(ErrorOf([] { xqv::CopyFolder(kBase + "\\missing", kBase + "\\dest"); }),
              "Папка " + kBase + "\\missing\\ не существует!");
    EXPECT_FALSE(Exists(kBase + "\\dest"));
    // A file standing where a folder of the target path has to go.
    testfiles::MakeFolders(kBase + "\\source");
    ASSERT_TRUE(WriteBytes(kBase + "\\file", "file"));
    EXPECT_EQ(ErrorOf([] { xqv::CopyFolder(kBase + "\\source", kBase + "\\file\\dest"); }),
              "Невозможно создать папку " + kBase + "\\file\\dest\\!");
}

TEST_F(Folders, CheckFolderLocksRenamesTheLocationAndBack) {
    const std::string location = kBase + "\\OrveLin";
    MakeTree(location);
    for (const std::string& typed : {location, location + "\\"}) {
        window.logLines.clear();
        xqv::Context.ProgramLocation = typed;
        EXPECT_NO_THROW(xqv::CheckFolderLocks());
        EXPECT_EQ(ReadBytes(location + "\\a\\b\\c\\all.txt"), "all");
        EXPECT_FALSE(Exists(location + "_"));
        EXPECT_EQ(window.logLines, (std::vector<std::string>{
                                       "Проверка наличия блокировок каталогов/файлов",
                                       "Завершена проверка наличия блокировок каталогов/файлов"}));
    }
}

TEST_F(Folders, CheckFolderLocksFailsWhenTheSiblingNameIsTaken) {
    const std::string location = kBase + "\\OrveLin";
    MakeTree(location);
    testfiles::MakeFolders(location + "_");
    xqv::Context.ProgramLocation = location;
    EXPECT_EQ(ErrorOf([] { xqv::CheckFolderLocks(); }),
              "Невозможно получить полный доступ к папке " + location +
                  ".\r\rЗакройте все открытые приложения, в том числе файл-менеджеры (Total "
                  "Commander, Проводник, Explorer и т.д.) и повторите обновление.\rТакже "
                  "проверьте, что данная программа обновления НЕ расположена в папке " +
                  location + ".\r\rЕсли ошибка повторяется, ПЕРЕЗАГРУЗИТЕ компьютер!");
    EXPECT_EQ(ReadBytes(location + "\\top.txt"), "top");
    EXPECT_TRUE(ListedNames(location + "_").empty());
    EXPECT_EQ(window.logLines,
              std::vector<std::string>{"Проверка наличия блокировок каталогов/файлов"});
}

} // namespace
