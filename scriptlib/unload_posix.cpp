// The library's unload elsewhere: a connection still open is detached by dlclose.
#include "script_session.h"

__attribute__((destructor)) static void CloseSessionOnUnload() {
    xqv::script::CloseLibrarySession();
}
