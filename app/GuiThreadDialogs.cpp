#include "app/GuiThreadDialogs.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

namespace kestrun {

template <typename Ask>
auto GuiThreadDialogs::OnOwnerThread(Ask ask)
{
    if (QThread::currentThread() == owner_.thread())
        return ask();
    decltype(ask()) answer{};
    QMetaObject::invokeMethod(&owner_, [&] { answer = ask(); }, Qt::BlockingQueuedConnection);
    return answer;
}

MessageAnswer GuiThreadDialogs::Message(const std::string& text, MessageButtons buttons, MessageIcon icon,
                                        const std::string& title)
{
    return OnOwnerThread([&] { return dialogs_.Message(text, buttons, icon, title); });
}

std::optional<std::string> GuiThreadDialogs::Input(const std::string& prompt, const std::string& title,
                                                   const std::string& initialText)
{
    return OnOwnerThread([&] { return dialogs_.Input(prompt, title, initialText); });
}

std::optional<std::string> GuiThreadDialogs::OpenFile(const std::string& title, const std::vector<FileFilter>& filters,
                                                      const std::string& initialPath)
{
    return OnOwnerThread([&] { return dialogs_.OpenFile(title, filters, initialPath); });
}

}  // namespace kestrun
