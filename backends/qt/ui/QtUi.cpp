#include "backends/qt/ui/QtUi.h"

#include <QApplication>
#include <QCursor>
#include <QListWidget>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/AppValues.h"

namespace rw::qtui {

namespace {
int Scale(int twips, int perPixel) {
    if (perPixel <= 0) perPixel = 15;
    return static_cast<int>(std::lround(static_cast<double>(twips) / perPixel));
}
}  // namespace

int TwipsX(int twips) { return Scale(twips, App.TwipsPerPixelX); }
int TwipsY(int twips) { return Scale(twips, App.TwipsPerPixelY); }
QRect TwipsRect(int left, int top, int width, int height) {
    return {TwipsX(left), TwipsY(top), TwipsX(width), TwipsY(height)};
}
int Px96(int px) { return Scale(px * 15, App.TwipsPerPixelX); }
QRect TwipsRect(const layout::Box& b) { return TwipsRect(b.x, b.y, b.w, b.h); }
QRect Px96Rect(const layout::Box& b) { return Px96Rect(b.x, b.y, b.w, b.h); }
QRect Px96Rect(int left, int top, int width, int height) {
    return {Px96(left), Px96(top), Px96(width), Px96(height)};
}

namespace {
bool gWaiting = false;
}  // namespace

void SetWaitPointer(bool wait) {
    if (wait == gWaiting) return;
    gWaiting = wait;
    if (wait) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void MakeFixedDialog(QWidget* window, QSize size) {
    // CustomizeWindowHint: only the buttons named here, so the window
    // manager offers neither minimise nor maximise.
    window->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint);
    window->setFixedSize(size);
}

void TraceControls(QWidget* window) {
    if (std::getenv("RW_X11_TRACE") == nullptr || window == nullptr) return;
    const std::string win = S(window->objectName());
    const QCursor* pointer = QApplication::overrideCursor();
    std::fprintf(stderr, "x11: pointer %s %s\n", win.c_str(),
                 pointer != nullptr && pointer->shape() == Qt::WaitCursor ? "wait" : "normal");
    for (QWidget* w : window->findChildren<QWidget*>()) {
        // Qt's own parts of a control (scroll-area viewports) are no controls.
        if (w->objectName().isEmpty() || w->objectName().startsWith("qt_") || !w->isVisible()) continue;
        if (w->objectName() == "hcontainer" || w->objectName() == "vcontainer") continue;
        const QPoint g = w->mapToGlobal(QPoint(0, 0));
        std::fprintf(stderr, "x11: control %s %s %d %d %d %d\n", win.c_str(), S(w->objectName()).c_str(), g.x(),
                     g.y(), w->width(), w->height());
        auto* list = qobject_cast<QListWidget*>(w);
        if (list == nullptr) continue;
        for (int i = 0; i < list->count() && i < 40; ++i) {
            const QRect r = list->visualItemRect(list->item(i));
            if (!list->viewport()->rect().intersects(r)) continue;
            const QPoint rg = list->viewport()->mapToGlobal(r.topLeft());
            std::fprintf(stderr, "x11: row %s %s %d %d %d %d %d '%s'\n", win.c_str(), S(w->objectName()).c_str(), i,
                         rg.x(), rg.y(), r.width(), r.height(), S(list->item(i)->text()).c_str());
        }
    }
    std::fflush(stderr);
}

void UseDialogFont(QWidget* window) {
    QFont f = window->font();
    f.setPixelSize(Px96(11));
    window->setFont(f);
}

QIcon ButtonIcon(const char* name) {
    QIcon icon;
    icon.addPixmap(QPixmap(QString(":/icons/btn-%1-16.png").arg(name)), QIcon::Normal);
    icon.addPixmap(QPixmap(QString(":/icons/btn-%1-grey-16.png").arg(name)), QIcon::Disabled);
    return icon;
}

QPixmap Art(const char* name) { return QPixmap(QString(":/icons/%1.png").arg(name)); }

}  // namespace rw::qtui
