// The folder chooser run in the test process on its own thread, driven from a second thread:
// which node it opens on, what OK, Enter, Cancel, Esc and the close box give back, lazy listing
// of sub-folders, and the right click. A screenshot of the open chooser goes to the build folder.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>
#include "folder_chooser.h"
#include "gui_driver.h"
#include "screenshot.h"
#include "test_env.h"

namespace {

namespace ids = xqv::chooser_ids;

const char* const kCaption = "Выбор папки";
const std::string kRoot = "C:\\xqvtest\\chooser";

void MakeFolders(const std::string& path) {
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
}

BOOL CALLBACK FindShownChooser(HWND hwnd, LPARAM found) {
    if (!IsWindowVisible(hwnd) || gui::Text(hwnd) != kCaption) return TRUE;
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
}

// The chooser window of the given thread, once it is shown.
HWND WaitChooser(DWORD thread, int seconds) {
    for (int i = 0; i < seconds * 20; ++i) {
        HWND found = nullptr;
        EnumThreadWindows(thread, FindShownChooser, reinterpret_cast<LPARAM>(&found));
        if (found) return found;
        Sleep(50);
    }
    return nullptr;
}

HTREEITEM Next(HWND tree, HTREEITEM item, UINT relation) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM Caret(HWND tree) {
    return Next(tree, nullptr, TVGN_CARET);
}

std::string ItemText(HWND tree, HTREEITEM item) {
    char text[MAX_PATH] = {};
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = MAX_PATH;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    return text;
}

bool Expanded(HWND tree, HTREEITEM item) {
    return (SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) &
            TVIS_EXPANDED) != 0;
}

std::vector<std::string> ChildTexts(HWND tree, HTREEITEM item) {
    std::vector<std::string> texts;
    for (HTREEITEM c = Next(tree, item, TVGN_CHILD); c; c = Next(tree, c, TVGN_NEXT))
        texts.push_back(ItemText(tree, c));
    return texts;
}

// The selected node and its ancestors up to the root, with their expanded states.
struct Chain {
    std::vector<std::string> texts;
    std::vector<bool> expanded;
};

Chain CaretChain(HWND tree) {
    Chain chain;
    for (HTREEITEM item = Caret(tree); item; item = Next(tree, item, TVGN_PARENT)) {
        chain.texts.push_back(ItemText(tree, item));
        chain.expanded.push_back(Expanded(tree, item));
    }
    return chain;
}

bool HasDriveC(const std::vector<std::string>& texts) {
    return std::any_of(texts.begin(), texts.end(),
                       [](const std::string& t) { return t.find("C:") != std::string::npos; });
}

// Polls until the condition holds: keys posted to the tree are handled on the chooser's thread.
bool WaitUntil(const std::function<bool()>& condition) {
    for (int i = 0; i < 100; ++i) {
        if (condition()) return true;
        Sleep(50);
    }
    return false;
}

void PostKey(HWND hwnd, WPARAM key) {
    PostMessageA(hwnd, WM_KEYDOWN, key, 1);
    PostMessageA(hwnd, WM_KEYUP, key, 0xC0000001);
}

void Click(HWND dialog, int id) {
    PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

std::string MyComputerParsingName() {
    IShellFolder* desktop = nullptr;
    ITEMIDLIST* drives = nullptr;
    std::string name;
    if (SUCCEEDED(SHGetDesktopFolder(&desktop)) &&
        SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &drives))) {
        STRRET text = {};
        char buffer[MAX_PATH] = {};
        if (SUCCEEDED(desktop->GetDisplayNameOf(drives, SHGDN_FORPARSING, &text)) &&
            SUCCEEDED(StrRetToBufA(&text, drives, buffer, MAX_PATH)))
            name = buffer;
    }
    if (drives) ILFree(drives);
    if (desktop) desktop->Release();
    return name;
}

void Screenshot(const char* name) {
    const std::string folder = testenv::Value("XQV_BUILD_DIR");
    if (folder.empty()) return;
    // The build folder is a Unix path; Wine maps it through drive Z:.
    std::string windows = "Z:" + folder + "/screenshots";
    std::replace(windows.begin(), windows.end(), '/', '\\');
    CreateDirectoryA(windows.c_str(), nullptr);
    EXPECT_TRUE(SaveScreenshot(windows + "\\" + name));
}

struct Outcome {
    bool result = false;
    std::string chosen = "unchanged";
    HWND dialog = nullptr;
    bool leftOpen = false;
};

class FolderChooser : public ::testing::Test {
protected:
    void SetUp() override {
        MakeFolders(kRoot + "\\A\\B");
        owner_ =
            CreateWindowExA(0, "STATIC", "chooser owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80,
                            640, 520, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    void TearDown() override { DestroyWindow(owner_); }

    // Opens the chooser on this thread; `drive` works the open dialog from another thread.
    // A dialog still open ten seconds after the driving is a failure; it is closed then, so that
    // the test cannot hang.
    Outcome Open(const std::string& location, const std::function<void(HWND dialog)>& drive) {
        Outcome outcome;
        const DWORD thread = GetCurrentThreadId();
        std::thread driver([&] {
            HWND dialog = WaitChooser(thread, 20);
            outcome.dialog = dialog;
            if (!dialog) return;
            drive(dialog);
            if (gui::WaitGone(dialog, 10)) return;
            outcome.leftOpen = true;
            PostMessageA(dialog, WM_CLOSE, 0, 0);
        });
        try {
            outcome.result = xqv::ChooseFolder(owner_, location, outcome.chosen);
        } catch (...) {
            driver.join();
            throw;
        }
        driver.join();
        EXPECT_NE(outcome.dialog, nullptr) << "the chooser did not show";
        EXPECT_FALSE(outcome.leftOpen) << "the chooser did not close";
        EXPECT_FALSE(IsWindow(outcome.dialog)) << "the chooser outlived its call";
        return outcome;
    }

    HWND owner_ = nullptr;
};

TEST_F(FolderChooser, OpensOnExistingFolderWithAncestorsExpandedAndOkReturnsItsPath) {
    Chain chain;
    RECT client = {}, frame = {}, ownerFrame = {};
    bool ownerEnabled = true;
    const Outcome outcome = Open(kRoot + "\\A\\B", [&](HWND dialog) {
        chain = CaretChain(GetDlgItem(dialog, ids::stvChoiceFolder));
        GetClientRect(dialog, &client);
        GetWindowRect(dialog, &frame);
        GetWindowRect(owner_, &ownerFrame);
        ownerEnabled = IsWindowEnabled(owner_) != 0;
        Screenshot("folder-chooser.bmp");
        Click(dialog, ids::OKBtn);
    });

    EXPECT_TRUE(outcome.result);
    EXPECT_EQ(outcome.chosen, kRoot + "\\A\\B");
    ASSERT_EQ(chain.texts.size(), 6u) << "B, A, chooser, xqvtest, the drive, My Computer";
    EXPECT_EQ(chain.texts[0], "B");
    EXPECT_EQ(chain.texts[1], "A");
    EXPECT_EQ(chain.texts[2], "chooser");
    EXPECT_EQ(chain.texts[3], "xqvtest");
    EXPECT_NE(chain.texts[4].find("C:"), std::string::npos) << chain.texts[4];
    for (size_t i = 1; i < chain.texts.size(); ++i)
        EXPECT_TRUE(chain.expanded[i]) << chain.texts[i] << " is not expanded";

    EXPECT_EQ(client.right, 306);
    EXPECT_EQ(client.bottom, 303);
    EXPECT_NEAR((frame.left + frame.right) / 2, (ownerFrame.left + ownerFrame.right) / 2, 1);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, (ownerFrame.top + ownerFrame.bottom) / 2, 1);
    EXPECT_FALSE(ownerEnabled) << "the chooser is modal to its owner";
    EXPECT_TRUE(IsWindowEnabled(owner_));
}

TEST_F(FolderChooser, CancelEscAndCloseBoxReturnFalseAndLeaveTheResultAlone) {
    const std::vector<std::pair<const char*, std::function<void(HWND)>>> ways = {
        {"Cancel button", [](HWND d) { Click(d, ids::CancelBtn); }},
        {"Esc in the tree",
         [](HWND d) { PostKey(GetDlgItem(d, ids::stvChoiceFolder), VK_ESCAPE); }},
        {"Esc to the dialog", [](HWND d) { PostKey(d, VK_ESCAPE); }},
        {"Esc sent to the tree",
         [](HWND d) {
             SendMessageA(GetDlgItem(d, ids::stvChoiceFolder), WM_KEYDOWN, VK_ESCAPE, 1);
         }},
        {"Esc sent to the dialog", [](HWND d) { SendMessageA(d, WM_KEYDOWN, VK_ESCAPE, 1); }},
        {"close box", [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& way : ways) {
        const Outcome outcome = Open(kRoot + "\\A\\B", way.second);
        EXPECT_FALSE(outcome.result) << way.first;
        EXPECT_EQ(outcome.chosen, "unchanged") << way.first;
    }
}

TEST_F(FolderChooser, EnterChoosesTheSelectedFolderUnlessCancelHasTheFocus) {
    // A trailing backslash names the same folder.
    std::string selected;
    Outcome outcome = Open(kRoot + "\\A\\", [&](HWND dialog) {
        HWND tree = GetDlgItem(dialog, ids::stvChoiceFolder);
        selected = ItemText(tree, Caret(tree));
        PostKey(tree, VK_RETURN);
    });
    EXPECT_EQ(selected, "A");
    EXPECT_TRUE(outcome.result);
    EXPECT_EQ(outcome.chosen, kRoot + "\\A");

    outcome = Open(kRoot + "\\A", [&](HWND dialog) {
        HWND cancel = GetDlgItem(dialog, ids::CancelBtn);
        PostKey(dialog, VK_TAB); // from the tree to OK
        PostKey(dialog, VK_TAB); // to Cancel
        WaitUntil([&] { return SendMessageA(cancel, BM_GETSTATE, 0, 0) & BST_FOCUS; });
        PostKey(cancel, VK_RETURN);
    });
    EXPECT_FALSE(outcome.result);
}

TEST_F(FolderChooser, DriveRootGivesTheRootWithItsBackslash) {
    std::string selected;
    const Outcome outcome = Open("C:\\", [&](HWND dialog) {
        HWND tree = GetDlgItem(dialog, ids::stvChoiceFolder);
        selected = ItemText(tree, Caret(tree));
        Click(dialog, ids::OKBtn);
    });
    EXPECT_NE(selected.find("C:"), std::string::npos) << selected;
    EXPECT_TRUE(outcome.result);
    EXPECT_EQ(outcome.chosen, "C:\\");
}

TEST_F(FolderChooser, NoFolderAtTheLocationOpensOnMyComputer) {
    HANDLE file = CreateFileA((kRoot + "\\file.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    for (const std::string& location : {kRoot + "\\missing", std::string(), kRoot + "\\file.txt"}) {
        Chain chain;
        std::vector<std::string> children;
        const Outcome outcome = Open(location, [&](HWND dialog) {
            HWND tree = GetDlgItem(dialog, ids::stvChoiceFolder);
            chain = CaretChain(tree);
            children = ChildTexts(tree, Caret(tree));
            Click(dialog, ids::CancelBtn);
        });
        ASSERT_EQ(chain.texts.size(), 1u) << "'" << location << "': the root is selected";
        EXPECT_TRUE(chain.expanded[0]) << location;
        EXPECT_TRUE(HasDriveC(children)) << location;
        EXPECT_FALSE(outcome.result);
        EXPECT_EQ(outcome.chosen, "unchanged");
    }
}

TEST_F(FolderChooser, OkOnMyComputerGivesItsParsingNameWhichIsNoFileSystemPath) {
    const Outcome outcome =
        Open(kRoot + "\\missing", [&](HWND dialog) { Click(dialog, ids::OKBtn); });
    const std::string expected = MyComputerParsingName();
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(outcome.result);
    EXPECT_EQ(outcome.chosen, expected);
    const DWORD attributes = GetFileAttributesA(outcome.chosen.c_str());
    EXPECT_TRUE(attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY));
}

TEST_F(FolderChooser, ExistingFolderWithoutANodeLeavesNothingSelectedAndOkGivesNothing) {
    // Hidden folders are not listed: the folder exists but the tree cannot show it.
    const std::string hidden = kRoot + "\\Hidden";
    MakeFolders(hidden);
    SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
    bool nothingSelected = false;
    Outcome outcome = Open(hidden, [&](HWND dialog) {
        nothingSelected = Caret(GetDlgItem(dialog, ids::stvChoiceFolder)) == nullptr;
        Click(dialog, ids::OKBtn);
    });
    EXPECT_TRUE(nothingSelected);
    EXPECT_FALSE(outcome.result);
    EXPECT_EQ(outcome.chosen, "unchanged");

    // The same when the user takes the selection away.
    outcome = Open(kRoot + "\\A", [&](HWND dialog) {
        SendMessageA(GetDlgItem(dialog, ids::stvChoiceFolder), TVM_SELECTITEM, TVGN_CARET, 0);
        Click(dialog, ids::OKBtn);
    });
    EXPECT_FALSE(outcome.result);
    EXPECT_EQ(outcome.chosen, "unchanged");
}

TEST_F(FolderChooser, SubfoldersAreListedOnExpansionAndListedAfreshTheNextTime) {
    const std::string lazy = kRoot + "\\Lazy";
    RemoveDirectoryA((lazy + "\\Two").c_str());
    RemoveDirectoryA((lazy + "\\Three").c_str());
    MakeFolders(lazy + "\\One");
    std::vector<std::string> before, first, second;
    bool collapsed = false;
    Open(lazy, [&](HWND dialog) {
        HWND tree = GetDlgItem(dialog, ids::stvChoiceFolder);
        HTREEITEM item = Caret(tree);
        before = ChildTexts(tree, item);
        CreateDirectoryA((lazy + "\\Two").c_str(), nullptr);
        PostKey(tree, VK_RIGHT);
        WaitUntil([&] { return ChildTexts(tree, item).size() == 2; });
        first = ChildTexts(tree, item);

        PostKey(tree, VK_LEFT);
        collapsed = WaitUntil([&] { return !Expanded(tree, item); });
        RemoveDirectoryA((lazy + "\\Two").c_str());
        CreateDirectoryA((lazy + "\\Three").c_str(), nullptr);
        PostKey(tree, VK_RIGHT);
        WaitUntil([&] {
            const std::vector<std::string> texts = ChildTexts(tree, item);
            return !texts.empty() && texts.back() == "Three";
        });
        second = ChildTexts(tree, item);
        Click(dialog, ids::CancelBtn);
    });
    EXPECT_TRUE(before.empty()) << "sub-folders are listed only when the node opens";
    EXPECT_EQ(first, (std::vector<std::string>{"One", "Two"}));
    EXPECT_TRUE(collapsed);
    EXPECT_EQ(second, (std::vector<std::string>{"One", "Three"}));
}

TEST_F(FolderChooser, RightClickSelectsTheNodeUnderThePointer) {
    std::string selected;
    bool contextMenu = false;
    Open(kRoot + "\\A\\B", [&](HWND dialog) {
        HWND tree = GetDlgItem(dialog, ids::stvChoiceFolder);
        HTREEITEM target = Next(tree, Caret(tree), TVGN_PARENT); // A
        RECT rect = {};
        std::memcpy(&rect, &target, sizeof target); // the item goes in, its rectangle out
        SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect));
        POINT at = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        PostMessageA(tree, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
        PostMessageA(tree, WM_RBUTTONUP, 0, MAKELPARAM(at.x, at.y));
        WaitUntil([&] { return Caret(tree) == target; });
        selected = ItemText(tree, Caret(tree));
        contextMenu =
            FindWindowA("#32768", nullptr) && IsWindowVisible(FindWindowA("#32768", nullptr));
        Click(dialog, ids::CancelBtn);
    });
    EXPECT_EQ(selected, "A");
    EXPECT_FALSE(contextMenu);
}

} // namespace

int main(int argc, char** argv) {
    // The chooser's shell tree needs OLE on its thread, as the program entry provides.
    OleInitialize(nullptr);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    OleUninitialize();
    return result;
}
