#include "run_window.h"

#include <cassert>

namespace xqv {

namespace {
RunWindow* current = nullptr;
}

RunWindow& Window() {
    assert(current && "no window is set");
    return *current;
}

void SetWindow(RunWindow* window) {
    current = window;
}

} // namespace xqv
