#include "editor/NumericKeyFilter.h"

#include "editor/MValidation.h"

#include <QKeyEvent>

namespace kestrun {

namespace {

// Keys that move focus, press a dialog button or edit without typing a
// character; Qt gives some of them a control character as text.
bool IsUntypedKey(int key)
{
    switch (key) {
    case Qt::Key_Delete:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return true;
    default:
        return false;
    }
}

}  // namespace

bool NumericKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    if (text.isEmpty() || IsUntypedKey(key->key()))
        return false;
    // Qt reports Backspace with the text "\b"; a key typing several
    // characters (an input method's commit) passes only if all are digits.
    for (QChar c : text)
        if (FilterNumericKey(c.unicode()) == 0)
            return true;
    return false;
}

}  // namespace kestrun
