#pragma once

#include "tray/NotifyArea.h"

#include <QMenu>

#include <algorithm>
#include <string>
#include <vector>

namespace kestrun::test {

/// A notification area that records each call: "add <tip>", "modify <tip>", "delete".
struct FakeNotifyArea : NotifyArea {
    void NotifyIcon(NotifyMessage message, const NotifyIconData& record) override
    {
        const std::string tip(record.szTip.begin(), std::find(record.szTip.begin(), record.szTip.end(), '\0'));
        const char* verbs[] = {"add ", "modify ", "delete"};
        calls.push_back(verbs[int(message)] + (message == NotifyMessage::Delete ? "" : tip));
        lastWindow = record.hWnd;
    }
    double TwipsPerPixelX() const override { return 15; }

    std::vector<std::string> calls;
    std::uintptr_t lastWindow = 0;
};

/// A window that records what the tray controller did to it.
struct FakeTrayForm : TrayForm {
    explicit FakeTrayForm(std::uintptr_t handle = 42, int scaleMode = kScaleModeTwips)
        : handle(handle), scaleMode(scaleMode) {}

    std::uintptr_t hWnd() const override { return handle; }
    int ScaleMode() const override { return scaleMode; }
    void SetForeground() override { calls.push_back("foreground"); }
    void ShowForm() override { calls.push_back("show"); }
    void PopupMenu(QMenu& menu) override { calls.push_back("popup " + menu.title().toStdString()); }

    std::uintptr_t handle;
    int scaleMode;
    std::vector<std::string> calls;
};

}  // namespace kestrun::test
