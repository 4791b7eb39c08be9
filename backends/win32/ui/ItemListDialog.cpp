#include "backends/win32/ui/ItemListDialog.h"

#include <algorithm>
#include <vector>

#include "backends/win32/ui/ControlIds.h"
#include "resources/ResourceIds.h"

namespace rw::win32ui {

ItemListDialog::ItemListDialog(clsItems& items, ItemRec& current, ItemListServices services,
                               std::function<void(HWND, const std::string&)> runEditor)
    : services_(std::move(services)),
      texts_(services_.texts),
      items_(items),
      current_(current),
      runEditor_(std::move(runEditor)) {}

ItemListDialog::~ItemListDialog() { SetWaitCursor(false); }

void ItemListDialog::Run(HWND owner) {
    presenter_ = std::make_unique<ItemListPresenter>(*this, items_, current_, services_);
    RunModal(owner, texts_.caption, TwipsX(layout::list::kWindow.w), TwipsY(layout::list::kWindow.h));
    presenter_.reset();
}

HWND ItemListDialog::AddIconButton(int id, int icon, const std::string& tip, const Box& where) {
    // Not a tab stop: the keyboard reaches these commands through the keys.
    HWND b = AddControl("BUTTON", "", BS_PUSHBUTTON | BS_ICON | BS_CENTER | BS_VCENTER, 0, id, where);
    SetWindowLongPtrA(b, GWLP_USERDATA, icon);
    EnableIconButton(id, true);
    AddTip(b, tip, true);
    return b;
}

void ItemListDialog::EnableIconButton(int id, bool enabled) {
    HWND b = Item(id);
    if (!b) return;
    const auto icon = static_cast<int>(GetWindowLongPtrA(b, GWLP_USERDATA));
    // The greyed face has the id of the normal one plus one.
    HANDLE face = LoadImageA(instance_, MAKEINTRESOURCEA(enabled ? icon : icon + 1), IMAGE_ICON, 16, 16, LR_SHARED);
    SendMessageA(b, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(face));
    EnableWindow(b, enabled);
}

void ItemListDialog::OnInit() {
    const ItemListTexts& t = texts_;
    // Creation order is the tab order: the list, OK, Cancel, Add, Edit,
    // Remove; the icon buttons and the labels are no tab stops.
    list_ = AddControl("LISTBOX", "",
                       WS_TABSTOP | WS_VSCROLL | LBS_EXTENDEDSEL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                       WS_EX_CLIENTEDGE, id::kLst, TwipsBox(layout::list::kList));
    AddControl("BUTTON", t.ok, WS_TABSTOP | BS_DEFPUSHBUTTON, 0, IDOK, TwipsBox(layout::list::kOk));
    AddControl("BUTTON", t.cancel, WS_TABSTOP | BS_PUSHBUTTON, 0, IDCANCEL, TwipsBox(layout::list::kCancel));
    AddControl("BUTTON", t.add, WS_TABSTOP | BS_PUSHBUTTON, 0, id::kCmdAdd, TwipsBox(layout::list::kAdd));
    AddControl("BUTTON", t.edit, WS_TABSTOP | BS_PUSHBUTTON | WS_DISABLED, 0, id::kCmdEdit,
               TwipsBox(layout::list::kEdit));
    AddControl("BUTTON", t.remove, WS_TABSTOP | BS_PUSHBUTTON | WS_DISABLED, 0, id::kCmdDelete,
               TwipsBox(layout::list::kRemove));
    SendMessageA(Hwnd(), DM_SETDEFID, IDOK, 0);

    // The toolbar's buttons, placed as inside a panel whose top lies 105
    // twips above the window's edge.
    auto inBar = [](const layout::Box& b) {
        return TwipsBox(b.x + layout::list::kToolbar.x, b.y + layout::list::kToolbar.y, b.w, b.h);
    };
    AddIconButton(id::kCmdOpenSave10, IDI_BTN_OPEN, t.readTip, inBar(layout::list::kOpen));
    AddIconButton(id::kCmdOpenSave11, IDI_BTN_SAVE, t.saveTip, inBar(layout::list::kSave));
    AddIconButton(id::kCmdClip0, IDI_BTN_CUT, t.cutTip, inBar(layout::list::kCut));
    AddIconButton(id::kCmdClip1, IDI_BTN_COPY, t.copyTip, inBar(layout::list::kCopy));
    AddIconButton(id::kCmdClip2, IDI_BTN_PASTE, t.pasteTip, inBar(layout::list::kPaste));
    AddIconButton(id::kCmdMoveUp, IDI_BTN_UP, t.moveTip, TwipsBox(layout::list::kMoveUp));
    AddIconButton(id::kCmdMoveDown, IDI_BTN_DOWN, t.moveTip, TwipsBox(layout::list::kMoveDown));
    AddControl("STATIC", t.arrange, SS_CENTER | SS_NOPREFIX, 0, id::kLblArrange, TwipsBox(layout::list::kArrange));
    // The panel behind the toolbar's buttons: last in the z-order, and
    // clipped by them, so it never paints over them.
    HWND bar = AddControl("STATIC", "", SS_ETCHEDFRAME | WS_CLIPSIBLINGS, 0, id::kFraToolbar,
                          TwipsBox(layout::list::kToolbar));
    SetWindowPos(bar, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    presenter_->Init();
    SetFocus(list_);
}

void ItemListDialog::OnCancel() {
    // Esc and the title bar's close are Cancel.
    if (!closing_ && presenter_) presenter_->Cancel();
}

void ItemListDialog::OnCommand(int id, int code, HWND) {
    ItemListPresenter& p = *presenter_;
    if (id == id::kLst) {
        if (code == LBN_SELCHANGE) ReportSelection();
        if (code == LBN_DBLCLK) p.DoubleClicked();
        return;
    }
    if (code != BN_CLICKED) return;
    switch (id) {
        case IDOK:
            p.Ok();
            break;
        case id::kCmdAdd:
            p.Add();
            break;
        case id::kCmdEdit:
            p.Edit();
            break;
        case id::kCmdDelete:
            p.Remove();
            break;
        case id::kCmdMoveUp:
            p.MoveUp();
            break;
        case id::kCmdMoveDown:
            p.MoveDown();
            break;
        // After a click on a clipboard button the list has the focus again.
        case id::kCmdClip0:
            p.Cut();
            FocusList();
            break;
        case id::kCmdClip1:
            p.Copy();
            FocusList();
            break;
        case id::kCmdClip2:
            p.Paste();
            FocusList();
            break;
        case id::kCmdOpenSave10:
            p.ReadFromFile();
            break;
        case id::kCmdOpenSave11:
            p.SaveToFile();
            break;
        default:
            break;
    }
}

bool ItemListDialog::OnMessage(UINT msg, WPARAM, LPARAM, INT_PTR& result) {
    if (msg == WM_SETCURSOR && waiting_) {
        SetCursor(LoadCursor(nullptr, IDC_WAIT));
        result = TRUE;
        return true;
    }
    return false;
}

bool ItemListDialog::PreviewMessage(const MSG& m) {
    // The window sees every key before the control that has the focus.
    if (m.message != WM_KEYDOWN && m.message != WM_SYSKEYDOWN) return false;
    if (!presenter_ || (m.hwnd != Hwnd() && !IsChild(Hwnd(), m.hwnd))) return false;
    ListKey key;
    key.code = static_cast<int>(m.wParam);
    key.ctrl = GetKeyState(VK_CONTROL) < 0;
    key.shift = GetKeyState(VK_SHIFT) < 0;
    key.alt = GetKeyState(VK_MENU) < 0;
    key.listHasFocus = GetFocus() == list_;
    for (int button : {IDOK, IDCANCEL, static_cast<int>(id::kCmdAdd), static_cast<int>(id::kCmdEdit),
                       static_cast<int>(id::kCmdDelete)})
        if (GetFocus() == Item(button)) key.buttonHasFocus = true;
    return presenter_->KeyDown(key);
}

void ItemListDialog::ReportSelection() {
    const auto count = static_cast<int>(SendMessageA(list_, LB_GETSELCOUNT, 0, 0));
    std::vector<int> picked(static_cast<std::size_t>(std::max(count, 0)));
    if (count > 0)
        SendMessageA(list_, LB_GETSELITEMS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(picked.data()));
    std::sort(picked.begin(), picked.end());
    const std::vector<std::int32_t> rows(picked.begin(), picked.end());
    const auto caret = static_cast<std::int32_t>(SendMessageA(list_, LB_GETCARETINDEX, 0, 0));
    presenter_->SelectionChanged(caret, rows);
}

void ItemListDialog::InsertRow(std::int32_t row, const std::string& text) {
    SendMessageA(list_, LB_INSERTSTRING, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.c_str()));
}

void ItemListDialog::RemoveRow(std::int32_t row) { SendMessageA(list_, LB_DELETESTRING, static_cast<WPARAM>(row), 0); }

void ItemListDialog::SetRowText(std::int32_t row, const std::string& text) {
    // A list box has no way to change a row's text: the row is replaced,
    // keeping its selection, the caret and the scroll position.
    const auto w = static_cast<WPARAM>(row);
    const bool selected = SendMessageA(list_, LB_GETSEL, w, 0) > 0;
    const LRESULT caret = SendMessageA(list_, LB_GETCARETINDEX, 0, 0);
    const LRESULT top = SendMessageA(list_, LB_GETTOPINDEX, 0, 0);
    SendMessageA(list_, LB_DELETESTRING, w, 0);
    SendMessageA(list_, LB_INSERTSTRING, w, reinterpret_cast<LPARAM>(text.c_str()));
    if (selected) SendMessageA(list_, LB_SETSEL, TRUE, static_cast<LPARAM>(row));
    if (caret >= 0) SendMessageA(list_, LB_SETCARETINDEX, static_cast<WPARAM>(caret), FALSE);
    SendMessageA(list_, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
}

void ItemListDialog::SetRowSelected(std::int32_t row, bool selected) {
    SendMessageA(list_, LB_SETSEL, selected ? TRUE : FALSE, static_cast<LPARAM>(row));
}

void ItemListDialog::SetCurrentRow(std::int32_t row) {
    SendMessageA(list_, LB_SETCARETINDEX, static_cast<WPARAM>(row), FALSE);
    // Shift+click and Shift+arrows extend from the current row.
    SendMessageA(list_, LB_SETANCHORINDEX, static_cast<WPARAM>(row), 0);
}

void ItemListDialog::ShowCommandStates(const ListCommandStates& s) {
    EnableWindow(Item(id::kCmdEdit), s.edit);
    EnableWindow(Item(id::kCmdDelete), s.remove);
    EnableIconButton(id::kCmdClip0, s.cut);
    EnableIconButton(id::kCmdClip1, s.copy);
    EnableIconButton(id::kCmdClip2, s.paste);
}

void ItemListDialog::FocusList() {
    if (Hwnd() && !Ending()) SendMessageA(Hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list_), TRUE);
}

void ItemListDialog::SetWaitCursor(bool wait) {
    if (wait == waiting_) return;
    waiting_ = wait;
    SetCursor(LoadCursor(nullptr, wait ? IDC_WAIT : IDC_ARROW));
}

void ItemListDialog::SuspendDrawing(bool suspend) { LockWindowUpdate(suspend ? list_ : nullptr); }

void ItemListDialog::ShowInformation(const std::string& text) {
    // Over the window while it is shown; once it has closed (OK's message
    // about the settings file), on its own but still on top.
    HWND owner = Hwnd() && IsWindowVisible(Hwnd()) ? Hwnd() : nullptr;
    MessageBoxA(owner, text.c_str(), texts_.caption.c_str(),
                MB_OK | MB_ICONINFORMATION | (owner ? 0u : static_cast<UINT>(MB_TOPMOST | MB_SETFOREGROUND)));
}

void ItemListDialog::RunItemEditor(const std::string& caption) {
    if (runEditor_) runEditor_(Hwnd(), caption);
}

void ItemListDialog::CloseWindow() {
    closing_ = true;
    EndModal();
}

}  // namespace rw::win32ui
