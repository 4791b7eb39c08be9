#include "backends/x11/X11Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QString>

namespace rw::x11 {

bool X11Clipboard::GetText(std::string& text) {
    QClipboard* cb = QGuiApplication::clipboard();
    if (cb == nullptr) return false;
    text = cb->text().toStdString();
    return true;
}

bool X11Clipboard::Empty() {
    QClipboard* cb = QGuiApplication::clipboard();
    if (cb == nullptr) return false;
    cb->clear();
    return true;
}

bool X11Clipboard::SetText(const std::string& text) {
    QClipboard* cb = QGuiApplication::clipboard();
    if (cb == nullptr) return false;
    cb->setText(QString::fromStdString(text));
    return true;
}

}  // namespace rw::x11
