#include "backends/linux/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QString>

namespace rw::lnx {

bool QtClipboard::ClipboardGetText(std::string& text) {
    QClipboard* cb = QGuiApplication::clipboard();
    if (cb == nullptr) return false;
    text = cb->text().toStdString();
    return true;
}

bool QtClipboard::ClipboardEmpty() {
    QClipboard* cb = QGuiApplication::clipboard();
    if (cb == nullptr) return false;
    cb->clear();
    return true;
}

bool QtClipboard::ClipboardSetText(const std::string& text) {
    QClipboard* cb = QGuiApplication::clipboard();
    if (cb == nullptr) return false;
    cb->setText(QString::fromStdString(text));
    return true;
}

}  // namespace rw::lnx
