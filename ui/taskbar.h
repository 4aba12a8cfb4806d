// A render's progress on the window's taskbar button, where the taskbar
// offers it (Windows 7 on; not under every shell).
#pragma once

#include <windows.h>
#include <shobjidl.h>

class TaskbarProgress {
public:
    TaskbarProgress() = default;
    ~TaskbarProgress() { release(); }
    TaskbarProgress(const TaskbarProgress&) = delete;
    TaskbarProgress& operator=(const TaskbarProgress&) = delete;

    // The message Explorer sends once the button exists ("TaskbarButtonCreated").
    static UINT buttonCreatedMessage();
    // The button was made (anew, when Explorer restarted): the old interface
    // is let go and what was shown is shown again.
    void buttonCreated(HWND window);
    // percent 0..100, or -1 for no progress.
    void show(HWND window, int percent);
    void release();

private:
    ITaskbarList3* taskbar_ = nullptr;  // null where the taskbar offers none
    int percent_ = -1;                  // what the button should show
};
