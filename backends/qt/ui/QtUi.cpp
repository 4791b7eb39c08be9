#include "backends/qt/ui/QtUi.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>

#include <algorithm>
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

namespace {

// A caption as drawn: an access key's "&" takes no room, "&&" is one "&".
QString Drawn(const QString& caption) {
    QString s = caption;
    s.replace("&&", QChar(0x1));
    s.remove('&');
    s.replace(QChar(0x1), '&');
    return s;
}

// Texts that do not fit their control: "x11: cut WINDOW 'TEXT' NEED HAVE".
void TraceCutTexts(QWidget* window, const std::string& win) {
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisible()) continue;
        QString text;
        int have = 0;
        if (auto* l = qobject_cast<QLabel*>(w)) {
            if (l->text().isEmpty() || l->wordWrap()) continue;
            text = l->buddy() != nullptr || l->text().contains('&') ? Drawn(l->text()) : l->text();
            have = l->contentsRect().width() - 2 * std::max(l->indent(), 0) - 2 * l->margin();
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            if (g->title().isEmpty()) continue;
            text = Drawn(g->title());
            have = g->width() - 8;  // the title's inset from the frame's edges
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            if (b->text().isEmpty()) continue;
            text = Drawn(b->text());
            have = b->width() - 8;  // the button's bevel and padding
        } else {
            continue;
        }
        const int need = w->fontMetrics().horizontalAdvance(text);
        if (need > have)
            std::fprintf(stderr, "x11: cut %s '%s' %d %d\n", win.c_str(), S(text).c_str(), need, have);
    }
}

}  // namespace

void TraceControls(QWidget* window) {
    if (std::getenv("RW_X11_TRACE") == nullptr || window == nullptr) return;
    const std::string win = S(window->objectName());
    TraceCutTexts(window, win);
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
