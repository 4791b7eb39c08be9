// Prints the text of the X clipboard (CLIPBOARD selection) to standard
// output, so that the settings scenarios can see what the program put there
// and read its edit fields back after a Ctrl+C.
//
// "rw_clip_text --set FILE" instead puts the bytes of FILE on the clipboard,
// as they are (line breaks included), and serves them until another program
// takes the clipboard over or the helper is ended.
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    // Not an accessible program: it must not show up among the dialogs.
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "0");
    QGuiApplication app(argc, argv);
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (argc == 3 && std::strcmp(argv[1], "--set") == 0) {
        QFile file(QString::fromLocal8Bit(argv[2]));
        if (!file.open(QIODevice::ReadOnly)) return 2;
        clipboard->setText(QString::fromUtf8(file.readAll()), QClipboard::Clipboard);
        QObject::connect(clipboard, &QClipboard::dataChanged, &app, [clipboard] {
            if (!clipboard->ownsClipboard()) QCoreApplication::quit();
        });
        std::puts("set");
        std::fflush(stdout);
        return QGuiApplication::exec();
    }
    const QByteArray text = clipboard->text(QClipboard::Clipboard).toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
    return text.isEmpty() ? 1 : 0;
}
