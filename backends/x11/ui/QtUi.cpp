#include "backends/x11/ui/QtUi.h"

#include <cmath>

#include "base/AppValues.h"

namespace rw::x11ui {

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
QRect Px96Rect(int left, int top, int width, int height) {
    return {Px96(left), Px96(top), Px96(width), Px96(height)};
}

QIcon ButtonIcon(const char* name) {
    QIcon icon;
    icon.addPixmap(QPixmap(QString(":/icons/btn-%1-16.png").arg(name)), QIcon::Normal);
    icon.addPixmap(QPixmap(QString(":/icons/btn-%1-grey-16.png").arg(name)), QIcon::Disabled);
    return icon;
}

QPixmap Art(const char* name) { return QPixmap(QString(":/icons/%1.png").arg(name)); }

}  // namespace rw::x11ui
