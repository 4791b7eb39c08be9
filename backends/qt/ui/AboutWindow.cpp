#include "backends/qt/ui/AboutWindow.h"

#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include "backends/qt/ui/QtUi.h"

namespace rw::qtui {

AboutWindow::AboutWindow(QWidget* owner, AboutServices services) : QDialog(owner) {
    const AboutTexts t = services.texts;
    setObjectName("frmAbout");
    setWindowTitle(Q(t.caption));
    MakeFixedDialog(this, QSize(Px96(layout::about::kWindow.w), Px96(layout::about::kWindow.h)));
    setModal(true);
    UseDialogFont(this);

    app_ = new QLabel(this);
    app_->setObjectName("lblApp");
    QFont big = app_->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    app_->setFont(big);
    app_->setGeometry(Px96Rect(layout::about::kApp));
    app_->setCursor(Qt::PointingHandCursor);
    app_->installEventFilter(this);
    build_ = new QLabel(this);
    build_->setObjectName("lblBuild");
    build_->setGeometry(Px96Rect(layout::about::kBuild));

    auto* dev = new QGroupBox(Q(t.development), this);
    dev->setObjectName("fraDev");
    dev->setGeometry(Px96Rect(layout::about::kDevelopmentFrame));
    // The makers: the project, not a person; no contact data is invented.
    auto* makers = new QLabel(Q(t.makers), dev);
    makers->setObjectName("lblMakers");
    makers->setGeometry(Px96Rect(layout::about::kMakers));
    for (int i = 0; i < 2; ++i) {
        auto* l = new QLabel(dev);
        const layout::Box& b = layout::about::kLink;
        l->setGeometry(Px96Rect(b.x, b.y + layout::about::kLinkStep * i, b.w, b.h));
        l->setCursor(Qt::PointingHandCursor);
        l->setStyleSheet("color: palette(link); text-decoration: underline;");
        l->installEventFilter(this);
        l->hide();
        links_.push_back(l);
    }

    auto* ok = new QPushButton(Q(t.ok), this);
    ok->setObjectName("cmdOK");
    ok->setGeometry(Px96Rect(layout::about::kOk));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { presenter_->Close(); });

    menu_ = new QMenu(this);
    QAction* open = menu_->addAction(Q(t.openLink));
    QAction* copy = menu_->addAction(Q(t.copyLink));
    connect(open, &QAction::triggered, this, [this] { presenter_->OpenLink(menuLink_); });
    connect(copy, &QAction::triggered, this, [this] { presenter_->CopyLink(menuLink_); });

    presenter_ = std::make_unique<AboutPresenter>(*this, std::move(services));
    presenter_->Load();
}

AboutWindow::~AboutWindow() = default;

void AboutWindow::ShowProgram(const std::string& nameAndVersion, const std::string& build) {
    app_->setText(Q(nameAndVersion));
    build_->setText(Q(build));
}

void AboutWindow::ShowLinks(const std::vector<AboutLink>& links) {
    for (std::size_t i = 0; i < links_.size(); ++i) {
        const bool shown = i < links.size();
        links_[i]->setVisible(shown);
        if (shown) links_[i]->setText(Q(links[i].text));
    }
}

void AboutWindow::SetLinkWaitCursor(bool wait) {
    for (QLabel* l : links_) l->setCursor(wait ? Qt::WaitCursor : Qt::PointingHandCursor);
}

void AboutWindow::ShowInformation(const std::string& text) {
    QMessageBox::information(this, windowTitle(), Q(text));
}

void AboutWindow::CloseWindow() { accept(); }

void AboutWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    activateWindow();
    raise();
    QTimer::singleShot(200, this, [this] { TraceControls(this); });
}

bool AboutWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseButtonPress) return false;
    auto* e = static_cast<QMouseEvent*>(event);
    if (watched == app_) {
        presenter_->ProgramNameClicked();
        return true;
    }
    for (std::size_t i = 0; i < links_.size(); ++i) {
        if (watched != links_[i]) continue;
        if (e->button() == Qt::RightButton) {
            menuLink_ = i;
            menu_->exec(e->globalPosition().toPoint());
        } else {
            presenter_->OpenLink(i);
        }
        return true;
    }
    return false;
}

}  // namespace rw::qtui
