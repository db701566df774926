// A stand-in for a package program left running, for the Wine tests: a
// program with one top-level window.
//
//   standin.exe /ready=FILE [/ignore]
//
// It writes FILE once its window exists. WM_CLOSE ends it, as a close
// button would, unless /ignore is given: then it keeps running until it
// is ended from outside.
#include <windows.h>

#include <string.h>

static bool IgnoreClose;

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_CLOSE) {
        if (!IgnoreClose)
            DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    IgnoreClose = strstr(commandLine, "/ignore") != 0;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "StandInClock";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("StandInClock", "clock", WS_OVERLAPPEDWINDOW, 0, 0, 160, 120, 0,
                                0, instance, 0);
    if (!window)
        return 1;
    ShowWindow(window, SW_SHOWNOACTIVATE);

    const char* ready = strstr(commandLine, "/ready=");
    if (ready) {
        char path[MAX_PATH];
        lstrcpynA(path, ready + 7, MAX_PATH);
        for (char* p = path; *p; p++) {
            if (*p == ' ')
                *p = 0;
        }
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
        CloseHandle(file);
    }
    MSG message;
    while (GetMessageA(&message, 0, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
