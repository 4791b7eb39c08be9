#include "backends/win32/ui/AboutDialog.h"

#include "backends/win32/ui/ControlIds.h"
#include "resources/ResourceIds.h"

namespace rw::win32ui {

namespace {

constexpr int kLinkIds[] = {id::kLblLink0, id::kLblLink1};
enum MenuId : UINT { kMnuOpen = 1, kMnuCopy };

HFONT DerivedFont(HFONT base, double scale, int weight, bool underline) {
    LOGFONTA lf{};
    if (!GetObjectA(base ? static_cast<HGDIOBJ>(base) : GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf))
        return nullptr;
    lf.lfHeight = static_cast<LONG>(lf.lfHeight * scale);
    lf.lfWeight = weight;
    lf.lfUnderline = underline ? TRUE : FALSE;
    return CreateFontIndirectA(&lf);
}

}  // namespace

AboutDialog::AboutDialog(AboutServices services)
    : texts_(services.texts), presenter_(std::make_unique<AboutPresenter>(*this, std::move(services))) {}

AboutDialog::~AboutDialog() {
    if (bigFont_) DeleteObject(bigFont_);
    if (linkFont_) DeleteObject(linkFont_);
}

void AboutDialog::Run(HWND owner) { RunModal(owner, texts_.caption, Px96(layout::about::kWindow.w), Px96(layout::about::kWindow.h)); }

void AboutDialog::OnInit() {
    hand_ = LoadCursorA(instance_, MAKEINTRESOURCEA(IDC_HANDPOINT));
    bigFont_ = DerivedFont(Font(), 1.6, FW_BOLD, false);
    linkFont_ = DerivedFont(Font(), 1.0, FW_NORMAL, true);

    // A click on the program's name says where the program and its items
    // live (SS_NOTIFY: the label reports clicks).
    HWND app = AddControl("STATIC", "", SS_LEFTNOWORDWRAP | SS_NOTIFY | SS_NOPREFIX, 0, id::kLblApp,
                          Px96Box(layout::about::kApp));
    if (bigFont_) SendMessageA(app, WM_SETFONT, reinterpret_cast<WPARAM>(bigFont_), FALSE);
    AddControl("STATIC", "", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, id::kLblBuild, Px96Box(layout::about::kBuild));
    const Box dev = Px96Box(layout::about::kDevelopmentFrame);
    AddControl("BUTTON", texts_.development, BS_GROUPBOX, 0, id::kFraDev, dev);
    // The makers: the project, not a person, as the links carry no contact
    // data of anyone.
    {
        const Box b = Px96Box(layout::about::kMakers);
        AddControl("STATIC", texts_.makers, SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, id::kLblMakers,
                   Box{dev.x + b.x, dev.y + b.y, b.w, b.h});
    }
    for (int i = 0; i < 2; ++i) {
        const layout::Box& link = layout::about::kLink;
        const Box b = Px96Box(link.x, link.y + layout::about::kLinkStep * i, link.w, link.h);
        HWND l = AddControl("STATIC", "", SS_LEFTNOWORDWRAP | SS_NOTIFY | SS_NOPREFIX, 0, kLinkIds[i],
                            Box{dev.x + b.x, dev.y + b.y, b.w, b.h});
        if (linkFont_) SendMessageA(l, WM_SETFONT, reinterpret_cast<WPARAM>(linkFont_), FALSE);
        ShowWindow(l, SW_HIDE);
    }
    HWND ok = AddControl("BUTTON", texts_.ok, WS_TABSTOP | BS_DEFPUSHBUTTON, 0, IDOK, Px96Box(layout::about::kOk));
    SendMessageA(Hwnd(), DM_SETDEFID, IDOK, 0);
    presenter_->Load();
    SendMessageA(Hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ok), TRUE);
}

void AboutDialog::OnCancel() {
    if (!closing_) presenter_->Close();
}

int AboutDialog::LinkIndex(HWND control) const {
    for (int i = 0; i < 2; ++i)
        if (control && control == Item(kLinkIds[i])) return i;
    return -1;
}

void AboutDialog::OnCommand(int id, int code, HWND control) {
    if (id == IDOK && code == BN_CLICKED) {
        presenter_->Close();
    } else if (id == id::kLblApp && code == STN_CLICKED) {
        presenter_->ProgramNameClicked();
    } else if (code == STN_CLICKED) {
        const int link = LinkIndex(control);
        if (link >= 0) presenter_->OpenLink(static_cast<std::size_t>(link));
    }
}

void AboutDialog::ShowLinkMenu(std::size_t link, int x, int y) {
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, kMnuOpen, texts_.openLink.c_str());
    AppendMenuA(menu, MF_STRING, kMnuCopy, texts_.copyLink.c_str());
    const auto chosen =
        static_cast<UINT>(TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, x, y, 0, Hwnd(), nullptr));
    DestroyMenu(menu);
    if (chosen == kMnuOpen) presenter_->OpenLink(link);
    if (chosen == kMnuCopy) presenter_->CopyLink(link);
}

bool AboutDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (msg) {
        case WM_CONTEXTMENU: {
            const int link = LinkIndex(reinterpret_cast<HWND>(wParam));
            if (link < 0) return false;
            int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
            if (x == -1 && y == -1) {  // from the keyboard: at the link
                RECT r{};
                GetWindowRect(reinterpret_cast<HWND>(wParam), &r);
                x = r.left;
                y = r.bottom;
            }
            ShowLinkMenu(static_cast<std::size_t>(link), x, y);
            result = TRUE;
            return true;
        }
        case WM_SETCURSOR: {
            auto over = reinterpret_cast<HWND>(wParam);
            const bool link = LinkIndex(over) >= 0;
            if (!link && over != Item(id::kLblApp)) return false;
            SetCursor(link && linkWait_ ? LoadCursor(nullptr, IDC_WAIT) : (hand_ ? hand_ : LoadCursor(nullptr, IDC_HAND)));
            result = TRUE;
            return true;
        }
        case WM_CTLCOLORSTATIC:
            if (LinkIndex(reinterpret_cast<HWND>(lParam)) >= 0) {
                auto dc = reinterpret_cast<HDC>(wParam);
                SetTextColor(dc, GetSysColor(COLOR_HOTLIGHT));
                SetBkMode(dc, TRANSPARENT);
                result = reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
                return true;
            }
            return false;
        default:
            return false;
    }
}

void AboutDialog::ShowProgram(const std::string& nameAndVersion, const std::string& build) {
    SetWindowTextA(Item(id::kLblApp), nameAndVersion.c_str());
    SetWindowTextA(Item(id::kLblBuild), build.c_str());
}

void AboutDialog::ShowLinks(const std::vector<AboutLink>& links) {
    for (std::size_t i = 0; i < 2; ++i) {
        HWND l = Item(kLinkIds[i]);
        const bool shown = i < links.size();
        if (shown) SetWindowTextA(l, links[i].text.c_str());
        ShowWindow(l, shown ? SW_SHOW : SW_HIDE);
    }
}

void AboutDialog::SetLinkWaitCursor(bool wait) {
    linkWait_ = wait;
    POINT pt{};
    GetCursorPos(&pt);
    if (LinkIndex(WindowFromPoint(pt)) >= 0) SetCursor(wait ? LoadCursor(nullptr, IDC_WAIT) : hand_);
}

void AboutDialog::ShowInformation(const std::string& text) {
    MessageBoxA(Hwnd(), text.c_str(), texts_.caption.c_str(), MB_OK | MB_ICONINFORMATION);
}

void AboutDialog::CloseWindow() {
    closing_ = true;
    EndModal();
}

}  // namespace rw::win32ui
