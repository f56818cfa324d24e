// A Qt window, as applications Kestrun types into: it writes its whole text to the file named by its
// argument on each change.

#include <QApplication>
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
    editor.show();
    return application.exec();
}
