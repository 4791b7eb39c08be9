// The About window as a Win32 dialog; behaviour is the presenter's.
#pragma once

#include <memory>
#include <vector>

#include "backends/win32/ui/DialogWindow.h"
#include "ui/AboutPresenter.h"

namespace rw::win32ui {

class AboutDialog final : public DialogWindow, public AboutView {
public:
    // The texts in services are ANSI (see AnsiText.h).
    explicit AboutDialog(AboutServices services);
    ~AboutDialog() override;

    void Run(HWND owner);

    // AboutView
    void ShowProgram(const std::string& nameAndVersion, const std::string& build) override;
    void ShowLinks(const std::vector<AboutLink>& links) override;
    void SetLinkWaitCursor(bool wait) override;
    void ShowInformation(const std::string& text) override;
    void CloseWindow() override;

protected:
    void OnInit() override;
    void OnCancel() override;
    void OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    int LinkIndex(HWND control) const;
    void ShowLinkMenu(std::size_t link, int x, int y);

    AboutTexts texts_;
    std::unique_ptr<AboutPresenter> presenter_;
    HFONT bigFont_ = nullptr;
    HFONT linkFont_ = nullptr;
    HCURSOR hand_ = nullptr;
    bool linkWait_ = false;
    bool closing_ = false;
};

}  // namespace rw::win32ui
