// The updater's own message dialog: icon of its type, English caption and button texts whatever
// the Windows language, centred on the screen, modal to the owner.
#pragma once

#include <windows.h>
#include <string>
#include "run_window.h"

namespace xqv {

// Esc and the close box answer No in a Yes/No dialog, OK in an OK dialog; Enter answers the
// button that holds the focus (focusButton at the start).
DialogAnswer ShowMessageDialog(HWND owner, const std::string& text, MessageKind kind,
                               DialogButtons buttons, DialogAnswer focusButton);

// Captions by type: "Warning", "Error", "Information", "Confirm".
const char* MessageDialogCaption(MessageKind kind);

} // namespace xqv
