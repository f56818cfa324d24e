#include "tray/CSysTray.h"

#include <QMenu>

#include <algorithm>
#include <cmath>

namespace kestrun {

namespace {

constexpr std::int32_t kErrTray = -1;
constexpr std::int32_t kErrObjectNotSet = 91;

}  // namespace

CSysTray::CSysTray(NotifyArea& area) : area_(area)
{
    SetTrayTip("CSysTray");
    // A new instance holds "CSysTray" and a NUL, nothing after it.
    std::fill(record_.szTip.begin() + 9, record_.szTip.end(), '\0');
}

CSysTray::~CSysTray()
{
    if (inTray_)
        RemoveIcon();
}

void CSysTray::SetParentForm(TrayForm* fForm)
{
    parentForm_ = fForm;
    record_.hWnd = fForm ? fForm->hWnd() : 0;
}

void CSysTray::SetTrayIcon(const std::optional<TrayPicture>& Icon)
{
    if (!Icon || Icon->Type != kPicTypeIcon)
        return;
    record_.hIcon = Icon->Handle;
    if (inTray_)
        area_.NotifyIcon(NotifyMessage::Modify, record_);
    trayIcon_ = Icon;
}

std::string CSysTray::TrayTip() const { return std::string(record_.szTip.begin(), record_.szTip.end()); }

void CSysTray::SetTrayTip(const std::string& Tip)
{
    std::string field = Tip + '\0';
    field.resize(kTrayTipSize, ' ');
    std::copy(field.begin(), field.end(), record_.szTip.begin());
    if (inTray_)
        area_.NotifyIcon(NotifyMessage::Modify, record_);
}

void CSysTray::SetInTray(bool Show)
{
    if (Show == inTray_)
        return;
    inTray_ = Show;
    if (Show)
        AddIcon();
    else
        RemoveIcon();
}

void CSysTray::AddIcon()
{
    if (record_.hWnd == 0)
        throw TrayError(kErrTray, "CSysTray:AddIcon", "CSysTray - No Parent Form Specified");
    if (record_.hIcon.isNull())
        throw TrayError(kErrTray, "CSysTray:AddIcon", "CSysTray - No Icon Specified");
    if (!formToShow_)
        formToShow_ = parentForm_;
    area_.NotifyIcon(NotifyMessage::Add, record_);
}

void CSysTray::RemoveIcon() { area_.NotifyIcon(NotifyMessage::Delete, record_); }

void CSysTray::Notify(double X, double Y)
{
    if (Y != 0)
        return;
    try {
        Decode(X);
    } catch (const TrayError& error) {
        throw TrayError(error.number(), "CSysTray:Notify", "CSysTray - " + error.description());
    }
}

void CSysTray::Decode(double X)
{
    if (!parentForm_)
        throw TrayError(kErrTray, {}, "No Parent Form Specified");
    // Rounding follows the current mode: halves go to the even neighbour.
    const double message = parentForm_->ScaleMode() == kScaleModePixels
                               ? std::nearbyint(X)
                               : std::nearbyint(X / area_.TwipsPerPixelX());
    if (message == kMessageLeftDoubleClick) {
        if (!formToShow_)
            throw TrayError(kErrObjectNotSet, {}, "Object variable or With block variable not set");
        formToShow_->SetForeground();
        formToShow_->ShowForm();
    } else if (message == kMessageRightButtonUp) {
        if (!trayMenu_)
            throw TrayError(kErrTray, {}, "No Parent Form Menu Specified");
        parentForm_->SetForeground();
        parentForm_->PopupMenu(*trayMenu_);
    }
}

std::string TipText(const NotifyIconData& record)
{
    const auto end = std::find(record.szTip.begin(), record.szTip.end(), '\0');
    return std::string(record.szTip.begin(), end);
}

}  // namespace kestrun
