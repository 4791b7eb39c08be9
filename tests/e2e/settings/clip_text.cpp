// Prints the text of the X clipboard (CLIPBOARD selection) to standard
// output, so that the settings scenarios can see what the program put there
// and read its edit fields back after a Ctrl+C.
#include <QClipboard>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    // Not an accessible program: it must not show up among the dialogs.
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "0");
    QGuiApplication app(argc, argv);
    const QByteArray text = QGuiApplication::clipboard()->text(QClipboard::Clipboard).toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
    return text.isEmpty() ? 1 : 0;
}
