// The library's unload on Windows: a connection still open is detached when the library is
// freed. At process exit (reserved not null) other libraries may be gone already, so nothing
// is called then; the server notices the closed connection by itself.
#include <windows.h>
#include "script_session.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) xqv::script::CloseLibrarySession();
    return TRUE;
}
