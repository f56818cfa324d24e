#include "settings/MWindow.h"

#include "core/AsciiText.h"
#include "settings/CRegSettings.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace kestrun {

namespace {

constexpr const char* kPositionSection = "Position";

struct WorkAreaTwips {
    double width = 0;
    double height = 0;
};

// The primary screen's work area in twips, rounded to whole twips.
WorkAreaTwips GetWorkArea(const WindowGeometry& fForm)
{
    PixelRect area = fForm.WorkArea();
    return {std::nearbyint((static_cast<double>(area.right) - area.left) * fForm.TwipsPerPixelX()),
            std::nearbyint((static_cast<double>(area.bottom) - area.top) * fForm.TwipsPerPixelY())};
}

// Nearest integer with halves to even (the default rounding mode), or nothing
// when it does not fit the range.
template <typename Integer>
std::optional<Integer> RoundToEven(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<Integer>::min() || rounded > std::numeric_limits<Integer>::max())
        return std::nullopt;
    return static_cast<Integer>(rounded);
}

// Shortest decimal text of the number; a half stays in it ("4672.5").
std::string DecimalText(double value)
{
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return ec == std::errc() ? std::string(text, end) : std::string();
}

// Centred in the work area, or on the whole screen when the window is larger.
double CentredEdge(double size, double workSize, double screenSize)
{
    return size > workSize ? (screenSize - size) / 2 : (workSize - size) / 2;
}

void SaveEdge(CRegSettings& settings, const std::string& valueName, double edge)
{
    if (std::optional<std::int32_t> twips = RoundToEven<std::int32_t>(edge))
        settings.SaveSetting(kPositionSection, valueName, {}, *twips);
}

// The stored edge, else the centred one; nothing when neither fits a window
// position, and the window then stays where it is.
std::optional<std::int16_t> RestoredEdge(CRegSettings& settings, const std::string& valueName, double centred)
{
    std::string centredText = DecimalText(centred);
    if (std::optional<std::int16_t> stored = PositionFromText(settings.GetSetting(kPositionSection, valueName, centredText)))
        return stored;
    return PositionFromText(centredText);
}

}  // namespace

std::optional<std::int16_t> PositionFromText(std::string_view text)
{
    text = Trim(text, " ");
    if (text.empty())
        return std::nullopt;
    if (text.starts_with('+'))
        text.remove_prefix(1);
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return RoundToEven<std::int16_t>(value);
}

void FormPosition(WindowGeometry& fForm, bool bSave, CRegSettings& settings)
{
    if (fForm.WindowState() != kWindowStateNormal)
        return;
    const std::string name = fForm.Name();
    if (bSave) {
        SaveEdge(settings, name + " Left", fForm.Left());
        SaveEdge(settings, name + " Top", fForm.Top());
        return;
    }
    WorkAreaTwips work = GetWorkArea(fForm);
    if (std::optional<std::int16_t> left = RestoredEdge(
            settings, name + " Left", CentredEdge(fForm.Width(), work.width, fForm.ScreenWidth())))
        fForm.SetLeft(*left);
    if (std::optional<std::int16_t> top = RestoredEdge(
            settings, name + " Top", CentredEdge(fForm.Height(), work.height, fForm.ScreenHeight())))
        fForm.SetTop(*top);
}

void FormPosition(WindowGeometry& fForm, bool bSave, CRegSettings* settings)
{
    if (settings)
        FormPosition(fForm, bSave, *settings);
}

}  // namespace kestrun
