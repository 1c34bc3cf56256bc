// The folder operations on real trees, with files held open by another process.
#include <windows.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include "error_of.h"
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
    EXPECT_EQ(notCopied, std::vector<std::string>{"Невозможно скопировать файл " + source +
                                                  "\\a\\b\\locked.txt!"});
    EXPECT_FALSE(Exists(dest + "\\a\\b\\locked.txt"));
    EXPECT_EQ(ReadBytes(dest + "\\a\\b\\c\\all.txt"), "all");
}

// A folder that cannot be read (here held open by another program without sharing) would
// otherwise come out as an empty folder in the copy.
TEST_F(Folders, CopyFolderNamesASubfolderItCannotRead) {
    const std::string source = kBase + "\\source", dest = kBase + "\\dest";
    MakeTree(source);
    HANDLE held = CreateFileA((source + "\\a\\b").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const std::vector<std::string> notCopied = xqv::CopyFolder(source, dest);
    CloseHandle(held);
    EXPECT_EQ(notCopied, std::vector<std::string>{"Невозможно прочитать содержимое папки " +
                                                  source + "\\a\\b!"});
    EXPECT_EQ(ReadBytes(dest + "\\a\\hidden.txt"), "hidden");
}

// Folder links inside a tree (Wine shows a Unix symbolic link as one): the operations never go
// through a link into the folder it stands for, outside the tree or round in a circle.
class FolderLinks : public Folders {
protected:
    void SetUp() override {
        Folders::SetUp();
        outside = kBase + "\\outside";
        tree = kBase + "\\tree";
        MakeTree(tree);
        ASSERT_TRUE(WriteBytes(testfiles::FreshFolder(outside) + "\\data.txt", "data"));
        testfiles::MakeFolders(kBase + "\\empty outside");
        ASSERT_TRUE(testfiles::MakeFolderLink(tree + "\\a\\to outside", outside));
        ASSERT_TRUE(testfiles::MakeFolderLink(tree + "\\to empty", kBase + "\\empty outside"));
        ASSERT_TRUE(testfiles::MakeFolderLink(tree + "\\a\\b\\round", tree));
    }
    // The links go first: a link whose folder is gone is not listed by name any more.
    void TearDown() override {
        for (const std::string& link :
             {tree + "\\a\\to outside", tree + "\\to empty", tree + "\\a\\b\\round"})
            testfiles::RunUnix("rm -f '" + testfiles::UnixPath(link) + "'");
        Folders::TearDown();
    }
    std::string outside, tree;
};

TEST_F(FolderLinks, DeleteFolderLeavesWhatLinksStandFor) {
    EXPECT_NO_THROW(xqv::DeleteFolder(tree));
    EXPECT_EQ(ReadBytes(outside + "\\data.txt"), "data");
    EXPECT_TRUE(Exists(kBase + "\\empty outside"));
    EXPECT_FALSE(Exists(tree + "\\top.txt"));
    // The link given as the folder to delete is not emptied either.
    EXPECT_NO_THROW(xqv::DeleteFolder(tree + "\\a\\to outside"));
    EXPECT_EQ(ReadBytes(outside + "\\data.txt"), "data");
}

TEST_F(FolderLinks, CopyFolderNamesLinksInsteadOfFollowingThem) {
    const std::string dest = kBase + "\\dest";
    std::vector<std::string> notCopied = xqv::CopyFolder(tree, dest);
    std::sort(notCopied.begin(), notCopied.end());
    const std::string tail = " является ссылкой на другую папку и не копируется!";
    EXPECT_EQ(notCopied, (std::vector<std::string>{"Папка " + tree + "\\a\\b\\round" + tail,
                                                   "Папка " + tree + "\\a\\to outside" + tail,
                                                   "Папка " + tree + "\\to empty" + tail}));
    EXPECT_EQ(ReadBytes(dest + "\\a\\b\\c\\all.txt"), "all");
    EXPECT_FALSE(Exists(dest + "\\a\\to outside\\data.txt"));
    // Nor does a copy write through a link standing in the target.
    EXPECT_EQ(xqv::CopyFolder(kBase + "\\outside", tree + "\\to empty"),
              std::vector<std::string>{"Папка " + tree + "\\to empty" + tail});
    EXPECT_EQ(testfiles::ListNames(kBase + "\\empty outside"), std::vector<std::string>{});
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

// A rename that the system refuses: the folder's parent is made immutable on the Unix side
// (processes under Wine run as root, so permissions alone would not stop them).
TEST_F(Folders, CheckFolderLocksFailsWhenTheRenameIsRefused) {
    const std::string parent = kBase + "\\fixed";
    const std::string location = parent + "\\OrveLin";
    MakeTree(location);
    const std::string unixParent = testfiles::UnixPath(parent);
    if (testfiles::RunUnix("chattr +i '" + unixParent + "'") != 0)
        GTEST_SKIP() << "the file system cannot make a folder immutable";
    xqv::Context.ProgramLocation = location;
    const std::string message = ErrorOf([] { xqv::CheckFolderLocks(); });
    testfiles::RunUnix("chattr -i '" + unixParent + "'");
    EXPECT_EQ(message.rfind("Невозможно получить полный доступ к папке " + location + ".\r", 0), 0u)
        << message;
    EXPECT_EQ(ReadBytes(location + "\\top.txt"), "top");
    EXPECT_FALSE(Exists(location + "_"));
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
