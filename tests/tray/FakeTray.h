#pragma once

#include "tray/NotifyArea.h"

#include <QMenu>

#include <string>
#include <vector>

namespace kestrun::test {

/// A notification area that records each call: "add <tip>", "modify <tip>",
/// "delete".
class FakeNotifyArea : public NotifyArea {
public:
    void NotifyIcon(NotifyMessage message, const NotifyIconData& record) override
    {
        const std::string tip(record.szTip.begin(), record.szTip.end());
        const std::string shown = tip.substr(0, tip.find('\0'));
        switch (message) {
        case NotifyMessage::Add: calls.push_back("add " + shown); break;
        case NotifyMessage::Modify: calls.push_back("modify " + shown); break;
        case NotifyMessage::Delete: calls.push_back("delete"); break;
        }
        lastWindow = record.hWnd;
    }
    double TwipsPerPixelX() const override { return twipsPerPixel; }

    double twipsPerPixel = 15;
    std::vector<std::string> calls;
    std::uintptr_t lastWindow = 0;
};

/// A window that records what the tray controller did to it.
class FakeTrayForm : public TrayForm {
public:
    explicit FakeTrayForm(std::uintptr_t handle = 42, int scaleMode = kScaleModeTwips)
        : handle_(handle), scaleMode_(scaleMode) {}

    std::uintptr_t hWnd() const override { return handle_; }
    int ScaleMode() const override { return scaleMode_; }
    void SetForeground() override { calls.push_back("foreground"); }
    void ShowForm() override { calls.push_back("show"); }
    void PopupMenu(QMenu& menu) override { calls.push_back("popup " + menu.title().toStdString()); }

    std::vector<std::string> calls;

private:
    std::uintptr_t handle_;
    int scaleMode_;
};

}  // namespace kestrun::test
