// The item editor as a Win32 dialog; behaviour is the presenter's.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "backends/win32/ui/DialogWindow.h"
#include "ui/ItemEditorPresenter.h"

namespace rw::win32ui {

class ItemEditorDialog final : public DialogWindow, public ItemEditorView {
public:
    // The texts are ANSI (see AnsiText.h).
    ItemEditorDialog(ItemRec& item, std::vector<std::string> keyNames, WindowFacts& facts, ItemEditorTexts texts);
    ~ItemEditorDialog() override;

    // Shows the editor modally, centred over owner, until OK or Cancel.
    void Run(HWND owner, const std::string& caption);

    // ItemEditorView
    void ShowTokenLists(const std::vector<std::string>& keys, const std::vector<std::string>& functions) override;
    void ShowDelayChoices(const std::vector<std::string>& choices) override;
    void ShowFields(const EditorFields& fields) override;
    EditorFields ReadFields() override;
    void ShowFoundWindow(const FoundWindow& found) override;
    void InsertIntoMacro(const std::string& token) override;
    void ShowSearchFace(bool dragging) override;
    void ShowNormalPointer() override;
    void CloseWindow() override;

protected:
    void OnInit() override;
    void OnCancel() override;
    void OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void Place() override;

private:
    static LRESULT CALLBACK SearchToolProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                           DWORD_PTR self);
    LRESULT SearchTool(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    std::string Text(int id) const;
    void SetText(int id, const std::string& text);
    std::string ListRow(HWND list, int row) const;

    ItemEditorTexts texts_;
    std::unique_ptr<ItemEditorPresenter> presenter_;
    HWND owner_ = nullptr;
    HBITMAP faceFull_ = nullptr;
    HBITMAP faceEmpty_ = nullptr;
    HCURSOR crossHair_ = nullptr;
    bool closing_ = false;
};

}  // namespace rw::win32ui
