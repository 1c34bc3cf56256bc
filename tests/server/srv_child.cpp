// Helper program for the tests of the server and engine units.
//   srv_child report FILE CODE  writes its own path and its current folder into FILE (one line
//                               each) and exits with CODE
//   srv_child hold FILE EVENT   opens FILE with no sharing, signals the named event EVENT and
//                               waits until it is ended
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "report") == 0) {
        char self[MAX_PATH] = {}, folder[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        GetCurrentDirectoryA(MAX_PATH, folder);
        FILE* out = std::fopen(argv[2], "wb");
        if (!out) return 250;
        std::fprintf(out, "%s\n%s\n", self, folder);
        std::fclose(out);
        return std::atoi(argv[3]);
    }
    if (argc == 4 && std::strcmp(argv[1], "hold") == 0) {
        HANDLE file = CreateFileA(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 251;
        HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
        if (!ready) return 252;
        SetEvent(ready);
        Sleep(INFINITE);
    }
    return 253;
}
