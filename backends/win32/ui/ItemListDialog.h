// The item list window as a Win32 dialog; behaviour is the presenter's.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "backends/win32/ui/DialogWindow.h"
#include "ui/ItemListPresenter.h"

namespace rw::win32ui {

class ItemListDialog final : public DialogWindow, public ItemListView {
public:
    // runEditor shows the item editor modally over the given owner with the
    // given caption. The texts in services are ANSI (see AnsiText.h).
    ItemListDialog(clsItems& items, ItemRec& current, ItemListServices services,
                   std::function<void(HWND owner, const std::string& caption)> runEditor);
    ~ItemListDialog() override;

    // Shows the window modally over owner until OK or Cancel.
    void Run(HWND owner);

    // ItemListView
    void InsertRow(std::int32_t row, const std::string& text) override;
    void RemoveRow(std::int32_t row) override;
    void SetRowText(std::int32_t row, const std::string& text) override;
    void SetRowSelected(std::int32_t row, bool selected) override;
    void SetCurrentRow(std::int32_t row) override;
    void ShowCommandStates(const ListCommandStates& states) override;
    void FocusList() override;
    void SetWaitCursor(bool wait) override;
    void SuspendDrawing(bool suspend) override;
    void ShowInformation(const std::string& text) override;
    void RunItemEditor(const std::string& caption) override;
    void CloseWindow() override;

protected:
    void OnInit() override;
    void OnCancel() override;
    void OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    bool PreviewMessage(const MSG& m) override;

private:
    struct IconButton {
        int id;
        int icon;  // the greyed face is icon + 1
        bool enabled;
    };
    void ReportSelection();
    HWND AddIconButton(int id, int icon, const std::string& tip, const Box& where);
    void EnableIconButton(int id, bool enabled);

    ItemListServices services_;
    ItemListTexts texts_;
    clsItems& items_;
    ItemRec& current_;
    std::function<void(HWND, const std::string&)> runEditor_;
    std::unique_ptr<ItemListPresenter> presenter_;
    HWND list_ = nullptr;
    bool waiting_ = false;
    bool closing_ = false;
};

}  // namespace rw::win32ui
