// A Qt window, as applications Kestrun types into: it writes its whole text to the file named by its
// argument on each change, and makes <that file>.active once it has the keyboard focus.

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QSaveFile>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QString path = QString::fromLocal8Bit(argc > 1 ? argv[1] : "recorded.txt");
    QPlainTextEdit editor;
    QObject::connect(&editor, &QPlainTextEdit::textChanged, [&] {
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly) && file.write(editor.toPlainText().toUtf8()) >= 0)
            file.commit();
    });
    QObject::connect(&application, &QGuiApplication::applicationStateChanged, [&](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            QFile(path + ".active").open(QIODevice::WriteOnly);
    });
    editor.show();
    return application.exec();
}
