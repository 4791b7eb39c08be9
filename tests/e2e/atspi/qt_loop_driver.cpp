// The bridge inside a Qt GUI event loop, as the program uses it: a timer
// examines a zenity dialog until its text is seen, then presses Yes. Checks
// that the bridge's bus traffic never runs inside Qt's loop nor Qt's loop
// inside the bridge's calls, and that the dialog is answered.
// Exit code 0 when all holds; a message on standard error otherwise.
#include <QApplication>
#include <QProcess>
#include <QTimer>

#include <cstdio>

#include "AccessibilityBridge.h"
#include "XWindows.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    rw::atspi::AccessibilityBridge bridge;
    rwtest::XDisplay x;
    if (!x.get()) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }

    QProcess zenity;
    zenity.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    zenity.setStandardErrorFile(QProcess::nullDevice());
    zenity.start(QStringLiteral("zenity"),
                 {QStringLiteral("--question"), QStringLiteral("--title=Inside Qt"),
                  QStringLiteral("--text=Answered from a Qt event loop?")});
    if (!zenity.waitForStarted(5000)) {
        std::fprintf(stderr, "zenity did not start\n");
        return 1;
    }
    const auto pid = static_cast<std::uint32_t>(zenity.processId());

    bool inBridge = false;
    int reentered = 0;   // Qt events handled while a bridge call ran
    int ticks = 0;
    bool pressed = false;

    // A busy second timer: had Qt's loop run inside a bridge call, it would
    // fire there.
    QTimer busy;
    QObject::connect(&busy, &QTimer::timeout, [&] {
        if (inBridge) ++reentered;
    });
    busy.start(0);

    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (++ticks > 200) {
            std::fprintf(stderr, "dialog text not seen in time\n");
            app.exit(1);
            return;
        }
        auto win = x.FindByPid(static_cast<pid_t>(pid), 0);
        if (!win) return;
        inBridge = true;
        const rw::atspi::AccWindow window{pid, win->title, win->x, win->y, win->w, win->h};
        const std::string text = rw::atspi::DialogTextFromNodes(bridge.Snapshot(window));
        if (text == "Answered from a Qt event loop?") pressed = bridge.PressButton(window, {6}) == 6;
        inBridge = false;
        if (pressed) app.exit(0);
    });
    tick.start(50);

    const int rc = app.exec();
    busy.stop();
    tick.stop();
    if (rc != 0) return rc;
    if (!zenity.waitForFinished(5000) || zenity.exitStatus() != QProcess::NormalExit ||
        zenity.exitCode() != 0) {
        std::fprintf(stderr, "zenity did not end with Yes\n");
        return 1;
    }
    if (reentered != 0) {
        std::fprintf(stderr, "Qt's loop ran %d times inside bridge calls\n", reentered);
        return 1;
    }
    std::printf("answered after %d examinations\n", ticks);
    return 0;
}
