#pragma once

#include <QObject>

namespace kestrun {

/// Lets only digits and backspace be typed into the widget it watches, by way
/// of FilterNumericKey. Keys that type no character (arrows, Delete,
/// Shift+Insert) and the dialog keys Enter, Esc and Tab pass untouched; text that
/// arrives without a typed character, such as a paste from the context menu,
/// is not filtered.
class NumericKeyFilter : public QObject {
public:
    explicit NumericKeyFilter(QObject* parent = nullptr) : QObject(parent) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace kestrun
