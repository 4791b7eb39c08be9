#include "backends/win32/ui/ItemEditorDialog.h"

#include "actions/SendKeys.h"
#include "backends/win32/Win32Handle.h"
#include "backends/win32/ui/ControlIds.h"
#include "resources/ResourceIds.h"

namespace rw::win32ui {

namespace {

constexpr UINT_PTR kSearchSubclass = 1;
constexpr WPARAM kAnyButton = MK_LBUTTON | MK_RBUTTON | MK_MBUTTON | MK_XBUTTON1 | MK_XBUTTON2;

// The found window's facts are shown in fields with the buttons' face.
bool HasButtonFace(int id) {
    return id == id::kTxtClass || id == id::kTxtText || id == id::kTxtModul || id == id::kTxtSize;
}

}  // namespace

ItemEditorDialog::ItemEditorDialog(ItemRec& item, std::vector<std::string> keyNames, WindowFacts& facts,
                                   ItemEditorTexts texts)
    : texts_(texts),
      presenter_(std::make_unique<ItemEditorPresenter>(*this, item, std::move(keyNames), facts, std::move(texts))) {}

ItemEditorDialog::~ItemEditorDialog() {
    if (faceFull_) DeleteObject(faceFull_);
    if (faceEmpty_) DeleteObject(faceEmpty_);
}

void ItemEditorDialog::Run(HWND owner, const std::string& caption) {
    owner_ = owner;
    RunModal(owner, caption, Px96(layout::editor::kWindow.w), Px96(layout::editor::kWindow.h));
}

void ItemEditorDialog::Place() { CentreOver(owner_); }

void ItemEditorDialog::OnInit() {
    const ItemEditorTexts& t = texts_;
    faceFull_ = static_cast<HBITMAP>(
        LoadImageA(instance_, MAKEINTRESOURCEA(IDB_SEARCH_FULL), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
    faceEmpty_ = static_cast<HBITMAP>(
        LoadImageA(instance_, MAKEINTRESOURCEA(IDB_SEARCH_EMPTY), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
    crossHair_ = LoadCursorA(instance_, "T");

    // Places controls given relative to a frame, as the frames hold them.
    auto in = [](const Box& frame, const layout::Box& where) {
        const Box b = Px96Box(where);
        return Box{frame.x + b.x, frame.y + b.y, b.w, b.h};
    };
    auto group = [this](const std::string& text, int id, const Box& where) {
        AddControl("BUTTON", text, BS_GROUPBOX, 0, id, where);
    };
    auto label = [this](const std::string& text, int id, const Box& where) {
        return AddControl("STATIC", text, SS_LEFTNOWORDWRAP, 0, id, where);
    };
    auto edit = [this](int id, const Box& where, DWORD extra = ES_AUTOHSCROLL) {
        return AddControl("EDIT", "", WS_TABSTOP | extra, WS_EX_CLIENTEDGE, id, where);
    };
    auto combo = [this](int id, const Box& where) {
        // The height given to a combo box includes its open list.
        Box b = where;
        b.h = Px96(200);
        return AddControl("COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, id, b);
    };
    auto tokenList = [this, &t](int id, const Box& where) {
        HWND l = AddControl("LISTBOX", "", WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                            WS_EX_CLIENTEDGE, id, where);
        AddTip(l, t.listTip);
        return l;
    };

    // Creation order is the tab order: name, title, title test, class,
    // text, module, macro, keys, OK, Cancel, size, functions, delay. A
    // label stands right before the control its access key leads to.
    const Box entry = Px96Box(layout::editor::kEntryFrame);
    const Box window = Px96Box(layout::editor::kWindowFrame);
    const Box settings = in(window, layout::editor::kSettingsFrame);
    const Box macro = Px96Box(layout::editor::kMacroFrame);

    group(t.entry, id::kFraEntry, entry);
    label(t.name, id::kLblName, in(entry, layout::editor::kNameLabel));
    edit(id::kTxtDesc, in(entry, layout::editor::kName));

    group(t.window, id::kFraWindow, window);
    label(t.title, id::kLblTitle, in(window, layout::editor::kTitleLabel));
    edit(id::kTxtTitle, in(window, layout::editor::kTitle));
    HWND titleTest = combo(id::kCboTitleTestType, in(window, layout::editor::kTitleTest));
    for (const auto& s : t.titleTests)
        SendMessageA(titleTest, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
    label(t.cls, id::kLblClass, in(window, layout::editor::kClassLabel));
    edit(id::kTxtClass, in(window, layout::editor::kClass));
    label(t.text, id::kLblText, in(window, layout::editor::kTextLabel));
    // Enter in the message text is OK, as anywhere in the dialog; Ctrl+Enter
    // starts a new line, Tab moves on.
    edit(id::kTxtText, in(window, layout::editor::kText), ES_MULTILINE | ES_AUTOVSCROLL);
    label(t.module, id::kLblModule, in(window, layout::editor::kModuleLabel));
    edit(id::kTxtModul, in(window, layout::editor::kModule));

    group(t.macro, id::kFraMacro, macro);
    edit(id::kTxtMacro, in(macro, layout::editor::kMacro));
    label(t.keys, id::kLblKeys, in(macro, layout::editor::kKeysLabel));
    tokenList(id::kLstKeys, in(macro, layout::editor::kKeys));

    AddControl("BUTTON", t.ok, WS_TABSTOP | BS_DEFPUSHBUTTON, 0, IDOK, Px96Box(layout::editor::kOk));
    AddControl("BUTTON", t.cancel, WS_TABSTOP | BS_PUSHBUTTON, 0, IDCANCEL, Px96Box(layout::editor::kCancel));
    SendMessageA(Hwnd(), DM_SETDEFID, IDOK, 0);

    label(t.size, id::kLblSize, in(window, layout::editor::kSizeLabel));
    edit(id::kTxtSize, in(window, layout::editor::kSize));
    label(t.functions, id::kLblFunctions, in(macro, layout::editor::kFunctionsLabel));
    tokenList(id::kLstMisc, in(macro, layout::editor::kFunctions));

    group(t.settings, id::kFraSettings, settings);
    label(t.delay, id::kLblDelay, in(settings, layout::editor::kDelayLabel));
    combo(id::kCboDelay, in(settings, layout::editor::kDelay));

    // Centred over the search tool.
    AddControl("STATIC", t.searchTool, SS_CENTER | SS_NOPREFIX, 0, id::kLblSearch, in(window, layout::editor::kSearchLabel));
    HWND search = AddControl("STATIC", "", SS_BITMAP | SS_NOTIFY | SS_CENTERIMAGE, 0, id::kPicSearch,
                             in(window, layout::editor::kSearch));
    SetWindowSubclass(search, SearchToolProc, kSearchSubclass, reinterpret_cast<DWORD_PTR>(this));
    AddTip(search, t.searchTip);
    ShowSearchFace(false);

    presenter_->Load();
    presenter_->SetOwnWindow(FromHwnd(Hwnd()));
    SendMessageA(Hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id::kTxtDesc)), TRUE);
}

void ItemEditorDialog::OnCancel() {
    if (!closing_) presenter_->Cancel();
}

void ItemEditorDialog::OnCommand(int id, int code, HWND control) {
    if (id == IDOK && code == BN_CLICKED) {
        presenter_->Ok();
        return;
    }
    if ((id == id::kLstKeys || id == id::kLstMisc) && code == LBN_DBLCLK) {
        const auto row = static_cast<int>(SendMessageA(control, LB_GETCURSEL, 0, 0));
        if (row >= 0) presenter_->TokenChosen(ListRow(control, row));
    }
}

bool ItemEditorDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    if (msg == WM_CTLCOLOREDIT && HasButtonFace(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)))) {
        auto dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        result = reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
        return true;
    }
    return false;
}

LRESULT CALLBACK ItemEditorDialog::SearchToolProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                  DWORD_PTR self) {
    return reinterpret_cast<ItemEditorDialog*>(self)->SearchTool(hwnd, msg, wParam, lParam);
}

// The search tool: pressed, it holds the pointer (so moves outside the
// window still arrive) and the cross-hair rides on it; each move with the
// left button alone shows the window under it.
LRESULT ItemEditorDialog::SearchTool(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    ItemEditorPresenter& p = *presenter_;
    switch (msg) {
        case WM_LBUTTONDOWN:
            p.SearchPressed();
            SetCapture(hwnd);
            SetCursor(crossHair_);
            return 0;
        case WM_MOUSEMOVE:
            if (GetCapture() == hwnd && p.Searching()) {
                SetCursor(crossHair_);
                POINT pt{};
                GetCursorPos(&pt);
                p.SearchMoved(pt.x, pt.y, (wParam & kAnyButton) == MK_LBUTTON);
            }
            return 0;
        case WM_LBUTTONUP:
            if (GetCapture() == hwnd) ReleaseCapture();
            p.SearchReleased();
            return 0;
        case WM_CAPTURECHANGED:
            // Taken away (another window grabbed the pointer): the search ends.
            if (p.Searching()) p.SearchReleased();
            return 0;
        case WM_SETCURSOR:
            if (p.Searching()) {
                SetCursor(crossHair_);
                return TRUE;
            }
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, SearchToolProc, kSearchSubclass);
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

std::string ItemEditorDialog::Text(int id) const {
    HWND c = Item(id);
    const int n = GetWindowTextLengthA(c);
    if (n <= 0) return {};
    std::string s(static_cast<std::size_t>(n) + 1, '\0');
    const int got = GetWindowTextA(c, s.data(), n + 1);
    s.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return s;
}

void ItemEditorDialog::SetText(int id, const std::string& text) { SetWindowTextA(Item(id), text.c_str()); }

std::string ItemEditorDialog::ListRow(HWND list, int row) const {
    const LRESULT n = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
    if (n <= 0) return {};
    std::string s(static_cast<std::size_t>(n) + 1, '\0');
    const LRESULT got = SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(s.data()));
    s.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return s;
}

void ItemEditorDialog::ShowTokenLists(const std::vector<std::string>& keys,
                                      const std::vector<std::string>& functions) {
    for (auto [id, rows] : {std::pair{id::kLstKeys, &keys}, std::pair{id::kLstMisc, &functions}}) {
        HWND l = Item(id);
        SendMessageA(l, LB_RESETCONTENT, 0, 0);
        for (const auto& r : *rows) SendMessageA(l, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(r.c_str()));
    }
}

void ItemEditorDialog::ShowDelayChoices(const std::vector<std::string>& choices) {
    HWND c = Item(id::kCboDelay);
    SendMessageA(c, CB_RESETCONTENT, 0, 0);
    for (const auto& s : choices) SendMessageA(c, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
}

void ItemEditorDialog::ShowFields(const EditorFields& f) {
    SetText(id::kTxtDesc, f.desc);
    SetText(id::kTxtTitle, f.title);
    SendMessageA(Item(id::kCboTitleTestType), CB_SETCURSEL, static_cast<WPARAM>(f.titleTest), 0);
    SetText(id::kTxtClass, f.cls);
    SetText(id::kTxtText, f.text);
    SetText(id::kTxtModul, f.module);
    SetText(id::kTxtSize, f.size);
    SetText(id::kTxtMacro, f.macro);
    SendMessageA(Item(id::kCboDelay), CB_SETCURSEL, static_cast<WPARAM>(f.delayChoice), 0);
}

EditorFields ItemEditorDialog::ReadFields() {
    EditorFields f;
    f.desc = Text(id::kTxtDesc);
    f.title = Text(id::kTxtTitle);
    f.titleTest = static_cast<std::int32_t>(SendMessageA(Item(id::kCboTitleTestType), CB_GETCURSEL, 0, 0));
    f.cls = Text(id::kTxtClass);
    f.text = Text(id::kTxtText);
    f.module = Text(id::kTxtModul);
    f.size = Text(id::kTxtSize);
    f.macro = Text(id::kTxtMacro);
    f.delayChoice = static_cast<std::int32_t>(SendMessageA(Item(id::kCboDelay), CB_GETCURSEL, 0, 0));
    return f;
}

void ItemEditorDialog::ShowFoundWindow(const FoundWindow& found) {
    SetText(id::kTxtTitle, found.title);
    SetText(id::kTxtClass, found.cls);
    SetText(id::kTxtText, found.text);
    if (found.hasModule) SetText(id::kTxtModul, found.module);
    SetText(id::kTxtSize, found.size);
}

void ItemEditorDialog::InsertIntoMacro(const std::string& token) {
    // Typed as characters, so the box puts them at its caret over its
    // selection; a plain SetFocus keeps that selection (the dialog manager's
    // focus change would select the whole box first).
    HWND box = Item(id::kTxtMacro);
    PostText(FromHwnd(box), token);
    SetFocus(box);
}

void ItemEditorDialog::ShowSearchFace(bool dragging) {
    SendMessageA(Item(id::kPicSearch), STM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(dragging ? faceEmpty_ : faceFull_));
}

void ItemEditorDialog::ShowNormalPointer() { SetCursor(LoadCursor(nullptr, IDC_ARROW)); }

void ItemEditorDialog::CloseWindow() {
    closing_ = true;
    if (GetCapture() == Item(id::kPicSearch)) ReleaseCapture();
    EndModal();
}

}  // namespace rw::win32ui
