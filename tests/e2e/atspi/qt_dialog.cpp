// A small Qt dialog with its own push buttons, as a target for the
// accessibility bridge. Usage: rw_atspi_qt_dialog TITLE MESSAGE [BUTTONS]
// BUTTONS: which of Y(es), N(o), O(K), A(bbrechen) to show, default "YNOA";
// "msgbox": a standard QMessageBox question with Yes, No and Cancel instead;
// "child": a message box owned by a main window (exit 10 Yes, 11 No);
// "chain": Yes opens a second modal box "Second box"; exit 30 after its OK;
// "twins": two windows of the same title at different places (exit 20 when
// the left one's Yes is pressed, 21 for the right one's).
// Exit code: 10 Yes, 11 No, 12 OK, 13 Abbrechen/Cancel, 0 closed otherwise.
#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(3) == QStringLiteral("msgbox")) {
        const auto answer = QMessageBox::question(
            nullptr, args.value(1), args.value(2),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        return answer == QMessageBox::Yes ? 10 : answer == QMessageBox::No ? 11
             : answer == QMessageBox::Cancel ? 13 : 0;
    }
    if (args.value(3) == QStringLiteral("child")) {
        // A message box owned by a main window, as most programs ask.
        QMainWindow main;
        main.setWindowTitle(QStringLiteral("Main window"));
        main.setCentralWidget(new QLabel(QStringLiteral("The main window's own label")));
        main.show();
        QMessageBox box(QMessageBox::Question, args.value(1), args.value(2),
                        QMessageBox::Yes | QMessageBox::No, &main);
        const int answer = box.exec();
        return answer == QMessageBox::Yes ? 10 : answer == QMessageBox::No ? 11 : 0;
    }
    if (args.value(3) == QStringLiteral("chain")) {
        // Yes opens a second, modal box from inside the click: the press of
        // Yes must not wait for it.
        QMessageBox first(QMessageBox::Question, args.value(1), args.value(2),
                          QMessageBox::Yes | QMessageBox::No);
        QObject::connect(first.button(QMessageBox::Yes), &QPushButton::clicked, [&] {
            QMessageBox::information(&first, QStringLiteral("Second box"), QStringLiteral("Saved."));
            QApplication::exit(30);
        });
        first.show();
        return app.exec();
    }
    if (args.value(3) == QStringLiteral("twins")) {
        // Two windows of the same title side by side, told apart only by
        // where they are; each says where it is.
        auto* left = new QDialog;
        auto* right = new QDialog;
        for (QDialog* d : {left, right}) {
            const bool isLeft = d == left;
            d->setWindowTitle(args.value(1));
            auto* l = new QVBoxLayout(d);
            l->addWidget(new QLabel(isLeft ? QStringLiteral("The left twin") : QStringLiteral("The right twin")));
            auto* yes = new QPushButton(QStringLiteral("&Yes"));
            l->addWidget(yes);
            QObject::connect(yes, &QPushButton::clicked, [isLeft] { QApplication::exit(isLeft ? 20 : 21); });
            d->move(isLeft ? 100 : 700, 300);
            d->show();
        }
        return app.exec();
    }
    QDialog dialog;
    dialog.setWindowTitle(args.value(1, QStringLiteral("Replywick Qt dialog")));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(args.value(2, QStringLiteral("Shall the Qt dialog be answered?"))));
    auto* row = new QHBoxLayout;
    layout->addLayout(row);
    const QString which = args.value(3, QStringLiteral("YNOA"));
    struct Button {
        char key;
        const char* caption;
        int code;
    };
    for (const Button& b : {Button{'Y', "&Yes", 10}, Button{'N', "&No", 11}, Button{'O', "&OK", 12},
                            Button{'A', "Abbre&chen", 13}}) {
        if (!which.contains(QLatin1Char(b.key))) continue;
        auto* button = new QPushButton(QString::fromUtf8(b.caption));
        row->addWidget(button);
        const int code = b.code;
        QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, code] { dialog.done(code); });
    }
    dialog.show();
    return dialog.exec();
}
