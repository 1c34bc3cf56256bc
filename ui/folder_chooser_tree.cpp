#include "folder_chooser_tree.h"

#include <set>
#include <vector>
#include "errors.h"

namespace xqv {

namespace {

const int kIndent = 19;

int IconIndex(const ITEMIDLIST* pidl, UINT extra) {
    SHFILEINFOA info = {};
    if (!SHGetFileInfoA(reinterpret_cast<LPCSTR>(pidl), 0, &info, sizeof info,
                        SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | extra))
        return 0;
    return info.iIcon;
}

// The folder as a full path without a trailing backslash (a drive root keeps its own); empty
// when no existing folder has that path.
std::string ExistingFolder(const std::string& path) {
    if (path.empty()) return "";
    char full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return "";
    std::string folder = full;
    while (folder.size() > 3 && folder.back() == '\\')
        folder.pop_back();
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return "";
    return folder;
}

} // namespace

int CALLBACK ShellFolderTree::CompareNodes(LPARAM first, LPARAM second, LPARAM folder) {
    const ITEMIDLIST* a = ILFindLastID(reinterpret_cast<const Node*>(first)->pidl.get());
    const ITEMIDLIST* b = ILFindLastID(reinterpret_cast<const Node*>(second)->pidl.get());
    const HRESULT result = reinterpret_cast<IShellFolder*>(folder)->CompareIDs(0, a, b);
    return FAILED(result) ? 0 : static_cast<short>(HRESULT_CODE(result));
}

ShellFolderTree::Node* ShellFolderTree::NodeOf(HTREEITEM item) const {
    TVITEMA tv = {};
    tv.mask = TVIF_PARAM | TVIF_HANDLE;
    tv.hItem = item;
    if (!item || !TreeView_GetItem(tree_, &tv)) return nullptr;
    return reinterpret_cast<Node*>(tv.lParam);
}

void ShellFolderTree::Build(HWND tree) {
    tree_ = tree;
    // A right click selects the node under the pointer where the button went down.
    SetWindowSubclass(tree_, TreeProc, 1, reinterpret_cast<DWORD_PTR>(this));
    if (FAILED(SHGetDesktopFolder(desktop_.Put())) || !desktop_)
        throw Error("Невозможно получить доступ к папкам компьютера!");
    ITEMIDLIST* drives = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(GetParent(tree_), CSIDL_DRIVES, &drives)) || !drives)
        throw Error("Невозможно получить доступ к папкам компьютера!");
    shell::Pidl pidl(drives);

    SHFILEINFOA info = {};
    auto images = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA(reinterpret_cast<LPCSTR>(pidl.get()), 0, &info, sizeof info,
                       SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    // The system image list belongs to the shell; a tree control never destroys its lists.
    if (images) TreeView_SetImageList(tree_, images, TVSIL_NORMAL);
    TreeView_SetIndent(tree_, kIndent);

    const std::string label =
        shell::AnsiText(shell::DisplayName(desktop_.Get(), pidl.get(), SHGDN_INFOLDER));
    root_ = InsertNode(TVI_ROOT, std::move(pidl), L"", label, true);
    Expand(root_);
    TreeView_SelectItem(tree_, root_);
}

HTREEITEM ShellFolderTree::InsertNode(HTREEITEM parent, shell::Pidl pidl, std::wstring key,
                                      const std::string& label, bool hasSubfolders) {
    auto node = std::make_unique<Node>();
    node->key = std::move(key);
    node->pidl = std::move(pidl);
    std::string text = label;
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN | TVIF_PARAM;
    insert.item.pszText = text.data();
    insert.item.iImage = IconIndex(node->pidl.get(), 0);
    insert.item.iSelectedImage = IconIndex(node->pidl.get(), SHGFI_OPENICON);
    // Sub-folders are listed when the node is expanded; until then it only shows a button.
    insert.item.cChildren = hasSubfolders ? 1 : 0;
    insert.item.lParam = reinterpret_cast<LPARAM>(node.get());
    Node* address = node.get();
    nodes_.emplace(address, std::move(node));
    HTREEITEM item = TreeView_InsertItem(tree_, &insert);
    if (!item) nodes_.erase(address);
    return item;
}

void ShellFolderTree::ListChildren(HTREEITEM item) {
    Node* node = NodeOf(item);
    if (!node) return;
    shell::ComRef<IShellFolder> folder;
    if (FAILED(desktop_->BindToObject(node->pidl.get(), nullptr, IID_IShellFolder,
                                      folder.PutVoid())) ||
        !folder)
        return;
    shell::ComRef<IEnumIDList> list;
    // S_FALSE: the folder refused to be listed (a drive without a disk, the user cancelled).
    if (folder->EnumObjects(GetParent(tree_), SHCONTF_FOLDERS, list.Put()) != S_OK || !list) return;

    struct Found {
        shell::Pidl child;
        std::wstring key;
        bool hasSubfolders;
    };
    std::vector<Found> found;
    std::set<std::wstring> present;
    for (;;) {
        ITEMIDLIST* raw = nullptr;
        ULONG fetched = 0;
        if (list->Next(1, &raw, &fetched) != S_OK || fetched == 0 || !raw) break;
        shell::Pidl child(raw);
        ULONG attributes = SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_STREAM;
        const ITEMIDLIST* items[] = {child.get()};
        if (FAILED(folder->GetAttributesOf(1, items, &attributes)))
            attributes = SFGAO_FOLDER | SFGAO_HASSUBFOLDER;
        // Archives that the shell opens like folders are files: no program lives in them.
        if (!(attributes & SFGAO_FOLDER) || (attributes & SFGAO_STREAM)) continue;
        std::wstring key =
            shell::DisplayName(folder.Get(), child.get(), SHGDN_INFOLDER | SHGDN_FORPARSING);
        if (key.empty() || !present.insert(key).second) continue;
        found.push_back({std::move(child), std::move(key), (attributes & SFGAO_HASSUBFOLDER) != 0});
    }

    std::set<std::wstring> kept;
    HTREEITEM child = TreeView_GetChild(tree_, item);
    while (child) {
        HTREEITEM next = TreeView_GetNextSibling(tree_, child);
        Node* childNode = NodeOf(child);
        if (childNode && present.count(childNode->key))
            kept.insert(childNode->key);
        else
            TreeView_DeleteItem(tree_, child);
        child = next;
    }
    for (Found& f : found) {
        if (kept.count(f.key)) continue;
        const std::string label =
            shell::AnsiText(shell::DisplayName(folder.Get(), f.child.get(), SHGDN_INFOLDER));
        shell::Pidl full(ILCombine(node->pidl.get(), f.child.get()));
        if (!full) continue;
        InsertNode(item, std::move(full), std::move(f.key), label, f.hasSubfolders);
    }

    TVSORTCB sort = {};
    sort.hParent = item;
    sort.lpfnCompare = CompareNodes;
    sort.lParam = reinterpret_cast<LPARAM>(folder.Get());
    TreeView_SortChildrenCB(tree_, &sort, FALSE);

    node->listed = true;
    if (!TreeView_GetChild(tree_, item)) {
        TVITEMA tv = {};
        tv.mask = TVIF_CHILDREN | TVIF_HANDLE;
        tv.hItem = item;
        tv.cChildren = 0;
        TreeView_SetItem(tree_, &tv);
    }
}

void ShellFolderTree::Expand(HTREEITEM item) {
    Node* node = NodeOf(item);
    if (node && !node->listed) ListChildren(item);
    // A first expansion by program may notify as well: the node is listed already.
    expandingByProgram_ = true;
    TreeView_Expand(tree_, item, TVE_EXPAND);
    expandingByProgram_ = false;
}

HTREEITEM ShellFolderTree::FindChild(HTREEITEM parent, const ITEMIDLIST* pidl) const {
    for (HTREEITEM child = TreeView_GetChild(tree_, parent); child;
         child = TreeView_GetNextSibling(tree_, child)) {
        Node* node = NodeOf(child);
        if (node && ILIsEqual(node->pidl.get(), pidl)) return child;
    }
    return nullptr;
}

void ShellFolderTree::SelectFolder(const std::string& path) {
    const std::string folder = ExistingFolder(path);
    if (folder.empty() || !root_) return;
    std::wstring name = shell::WideText(folder);
    ITEMIDLIST* raw = nullptr;
    ULONG eaten = 0;
    if (FAILED(desktop_->ParseDisplayName(GetParent(tree_), nullptr, name.data(), &eaten, &raw,
                                          nullptr)) ||
        !raw)
        return;
    shell::Pidl target(raw);

    const Node* root = NodeOf(root_);
    const int rootDepth = shell::PidlDepth(root->pidl.get());
    const int depth = shell::PidlDepth(target.get());
    HTREEITEM item = nullptr;
    if (depth >= rootDepth) {
        shell::Pidl top = shell::PidlPrefix(target.get(), rootDepth);
        if (top && ILIsEqual(top.get(), root->pidl.get())) item = root_;
    }
    for (int level = rootDepth + 1; item && level <= depth; ++level) {
        Expand(item);
        shell::Pidl ancestor = shell::PidlPrefix(target.get(), level);
        item = ancestor ? FindChild(item, ancestor.get()) : nullptr;
    }
    TreeView_SelectItem(tree_, item);
    if (item) TreeView_EnsureVisible(tree_, item);
}

bool ShellFolderTree::SelectedPath(std::string& path) const {
    const Node* node = NodeOf(TreeView_GetSelection(tree_));
    if (!node) return false;
    const std::string name =
        shell::AnsiText(shell::DisplayName(desktop_.Get(), node->pidl.get(), SHGDN_FORPARSING));
    if (name.empty()) return false;
    path = name;
    return true;
}

void ShellFolderTree::SelectAt(POINT point) {
    TVHITTESTINFO hit = {};
    hit.pt = point;
    HTREEITEM item = TreeView_HitTest(tree_, &hit);
    if (item && (hit.flags & TVHT_ONITEM)) TreeView_SelectItem(tree_, item);
}

LRESULT CALLBACK ShellFolderTree::TreeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                           DWORD_PTR self) {
    if (msg == WM_RBUTTONDOWN)
        reinterpret_cast<ShellFolderTree*>(self)->SelectAt(
            {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))});
    else if (msg == WM_NCDESTROY)
        RemoveWindowSubclass(hwnd, TreeProc, id);
    return DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT ShellFolderTree::OnNotify(const NMHDR& header) {
    switch (header.code) {
    case TVN_ITEMEXPANDINGA:
    case TVN_ITEMEXPANDINGW: {
        // The item handle and the action lie at the same places in both character forms.
        const auto& change = reinterpret_cast<const NMTREEVIEWA&>(header);
        if (change.action & TVE_EXPAND) {
            Node* node = NodeOf(change.itemNew.hItem);
            if (!(expandingByProgram_ && node && node->listed)) ListChildren(change.itemNew.hItem);
        }
        return FALSE;
    }
    case TVN_DELETEITEMA:
    case TVN_DELETEITEMW: {
        const auto& change = reinterpret_cast<const NMTREEVIEWA&>(header);
        nodes_.erase(reinterpret_cast<Node*>(change.itemOld.lParam));
        return 0;
    }
    case NM_RCLICK:
        // The right click has selected its node already; there is no context menu.
        return TRUE;
    }
    return 0;
}

} // namespace xqv
