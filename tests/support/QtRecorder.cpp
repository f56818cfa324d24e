// A Qt window that records what is typed into it: every change of its text is
// written whole to the file named by its argument. It stands for the
// toolkit applications Kestrun types into.

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QSaveFile>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    if (argc < 2)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    QPlainTextEdit editor;
    editor.setWindowTitle("Qt recorder");
    QObject::connect(&editor, &QPlainTextEdit::textChanged, [&] {
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(editor.toPlainText().toUtf8());
            file.commit();
        }
    });
    editor.show();
    return application.exec();
}
