// Program entry of the updater: the main window with the preset project, until it is closed.
#include <windows.h>
#include <ole2.h>
#include "main_window.h"
#ifdef XQV_SERVICE_STOP_PAUSE_MS
#include "service_control.h"
#endif

#ifndef XQV_PRESET_PROJECT
#define XQV_PRESET_PROJECT OrveLin
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    // The folder tree of the folder chooser needs OLE on this thread.
    OleInitialize(nullptr);
#ifdef XQV_SERVICE_STOP_PAUSE_MS
    // A test build: the pause after the service stop shortened, so that many runs stay short.
    xqv::ServiceStopPauseMs = XQV_SERVICE_STOP_PAUSE_MS;
#endif
    {
        xqv::Application.Title = "Updater_OrveLin";
        xqv::TfrmMain window;
        window.Create(instance);
        window.ApplyPresetProfile(xqv::Project::XQV_PRESET_PROJECT);
        window.Show(show);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (IsDialogMessageA(window.Handle(), &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    OleUninitialize();
    return 0;
}
