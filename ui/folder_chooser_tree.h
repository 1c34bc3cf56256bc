// The folder tree of the chooser (stvChoiceFolder): a TreeView control showing the shell
// namespace under My Computer, folders only, with the shell's icons. A node's sub-folders are
// listed when it is expanded, and listed afresh at every later expansion, so folders created or
// removed meanwhile show up (or vanish) the next time their parent is opened.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <memory>
#include <string>
#include <unordered_map>
#include "folder_chooser_shell.h"

namespace xqv {

class ShellFolderTree {
public:
    ShellFolderTree() = default;
    ShellFolderTree(const ShellFolderTree&) = delete;
    ShellFolderTree& operator=(const ShellFolderTree&) = delete;

    // Configures the control and builds the root node My Computer, expanded and selected.
    // Raises an error when the shell gives no desktop or no My Computer folder.
    void Build(HWND tree);

    // Expands the tree along the folder's ancestors and selects its node. A path that names
    // no existing folder changes nothing; shell errors are ignored and leave the selection as it
    // is. An existing folder that has no node in the tree (outside My Computer, or hidden from
    // the listing) leaves no node selected, so that OK cannot put another folder in its place.
    void SelectFolder(const std::string& path);

    // The selected folder's name for parsing (a file-system path for a folder on a drive);
    // false when no node is selected or the shell gives no name.
    bool SelectedPath(std::string& path) const;

    // The tree control's notifications, passed on by its parent; the result is the parent's.
    LRESULT OnNotify(const NMHDR& header);

    HWND Handle() const { return tree_; }

private:
    struct Node {
        shell::Pidl pidl; // absolute, from the desktop
        std::wstring key; // parsing name inside the parent folder
        bool listed = false;
    };

    Node* NodeOf(HTREEITEM item) const;
    HTREEITEM InsertNode(HTREEITEM parent, shell::Pidl pidl, std::wstring key,
                         const std::string& label, bool hasSubfolders);
    // Lists the node's sub-folders: keeps the nodes still present (with their own sub-trees),
    // removes those gone, adds the new ones, and sorts them in the shell's order.
    void ListChildren(HTREEITEM item);
    void Expand(HTREEITEM item);
    HTREEITEM FindChild(HTREEITEM parent, const ITEMIDLIST* pidl) const;
    void SelectAt(POINT point);
    static LRESULT CALLBACK TreeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                     DWORD_PTR self);
    // Children in the order the shell shows them (drives by letter, folders by name).
    static int CALLBACK CompareNodes(LPARAM first, LPARAM second, LPARAM folder);

    HWND tree_ = nullptr;
    HTREEITEM root_ = nullptr;
    shell::ComRef<IShellFolder> desktop_;
    // The nodes of the tree's items, by the address each item carries; an item's node goes when
    // the item is deleted, the rest with the tree object.
    std::unordered_map<Node*, std::unique_ptr<Node>> nodes_;
    bool expandingByProgram_ = false;
};

} // namespace xqv
