// A Qt window, as applications Kestrun types into: it writes its whole text to the file named by its
// argument once the keys that came together are handled (a write and a flush to disk at each key made
// the window, not the typist, the slow one), and makes <that file>.active once it has the keyboard focus.

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QString path = QString::fromLocal8Bit(argc > 1 ? argv[1] : "recorded.txt");
    QPlainTextEdit editor;
    QTimer write;
    write.setSingleShot(true);
    write.setInterval(0);
    QObject::connect(&write, &QTimer::timeout, [&] {
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly) && file.write(editor.toPlainText().toUtf8()) >= 0)
            file.commit();
    });
    QObject::connect(&editor, &QPlainTextEdit::textChanged, &write, qOverload<>(&QTimer::start));
    QObject::connect(&application, &QGuiApplication::applicationStateChanged, [&](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            QFile(path + ".active").open(QIODevice::WriteOnly);
    });
    editor.show();
    return application.exec();
}
