// The About window as a Qt dialog; behaviour is the presenter's.
#pragma once

#include <QDialog>

#include <memory>
#include <vector>

#include "ui/AboutPresenter.h"

class QLabel;
class QMenu;

namespace rw::qtui {

class AboutWindow final : public QDialog, public AboutView {
public:
    AboutWindow(QWidget* owner, AboutServices services);
    ~AboutWindow() override;

    void ShowProgram(const std::string& nameAndVersion, const std::string& build) override;
    void ShowLinks(const std::vector<AboutLink>& links) override;
    void SetLinkWaitCursor(bool wait) override;
    void ShowInformation(const std::string& text) override;
    void CloseWindow() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<AboutPresenter> presenter_;
    QLabel* app_ = nullptr;
    QLabel* build_ = nullptr;
    std::vector<QLabel*> links_;
    QMenu* menu_ = nullptr;
    std::size_t menuLink_ = 0;
};

}  // namespace rw::qtui
