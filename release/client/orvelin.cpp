// OrveLin, the sample client program of the sample release: it shows which version it is.
#include <windows.h>
#include "orvelin_version.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    MessageBoxA(nullptr, "OrveLin, версия " ORVELIN_VERSION_TEXT " (пример клиентской программы)",
                "OrveLin", MB_OK | MB_ICONINFORMATION);
    return 0;
}
