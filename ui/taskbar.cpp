#include "taskbar.h"

UINT TaskbarProgress::buttonCreatedMessage() {
    static const UINT message = RegisterWindowMessageA("TaskbarButtonCreated");
    return message;
}

void TaskbarProgress::buttonCreated(HWND window) {
    release();
    ITaskbarList3* taskbar = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&taskbar))))
        return;
    if (FAILED(taskbar->HrInit())) {
        taskbar->Release();
        return;
    }
    taskbar_ = taskbar;
    const int percent = percent_;
    percent_ = -1;
    show(window, percent);
}

void TaskbarProgress::show(HWND window, int percent) {
    if (percent == percent_) return;
    percent_ = percent;
    if (!taskbar_) return;
    if (percent < 0)
        taskbar_->SetProgressState(window, TBPF_NOPROGRESS);
    else
        taskbar_->SetProgressValue(window, static_cast<ULONGLONG>(percent), 100);
}

void TaskbarProgress::release() {
    if (taskbar_) taskbar_->Release();
    taskbar_ = nullptr;
}
