// A Qt window that records what is typed into it, for the toolkit
// applications Kestrun types into: every change of its text is written whole
// to the file named by its argument.

#include <QApplication>
#include <QPlainTextEdit>
#include <QSaveFile>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "xcb");
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
