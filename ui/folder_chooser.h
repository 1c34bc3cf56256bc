// The folder chooser behind the "..." button of the main window: a modal dialog with the tree
// of the computer's folders under My Computer.
#pragma once

#include <windows.h>
#include <string>

namespace xqv {

// Control identifiers of the chooser's elements.
namespace chooser_ids {
enum : int {
    lChoiceFolder = 500,
    stvChoiceFolder = 501,
    OKBtn = 502,
    CancelBtn = 503,
};
} // namespace chooser_ids

// Opens the chooser owned by `owner`, starting from `location`. Returns true and sets
// `chosen` to the selected folder's parsing name when the user pressed OK with a node
// selected; false for Cancel, Esc, the close box, or OK with no node selected.
// The calling thread must have OLE initialised (the program entry does it). The dialog is
// destroyed before the function returns, also when it raises an error (xqv::Error).
bool ChooseFolder(HWND owner, const std::string& location, std::string& chosen);

} // namespace xqv
