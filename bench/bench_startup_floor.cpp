// The floor for kestrun's start-up: a bare Qt Widgets application that only
// shows a tray icon (the image given as its argument).
#include <QApplication>
#include <QIcon>
#include <QSystemTrayIcon>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QSystemTrayIcon icon(QIcon(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString()));
    icon.setToolTip(QStringLiteral("floor"));
    icon.show();
    return QApplication::exec();
}
