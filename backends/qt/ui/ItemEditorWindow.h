// The item editor as a Qt dialog, with the window search tool. All
// behaviour is the presenter's; this renders and reports.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QTimer>

#include <memory>

#include "ui/ItemEditorPresenter.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace rw::qtui {

// The search tool: a press on it takes the pointer with the cross-hair until
// the button goes up, and every movement meanwhile is reported in screen
// pixels. Where it captures the next window in front instead (Wayland), it
// also takes the keyboard focus, and Space presses it.
class SearchTool final : public QLabel {
public:
    explicit SearchTool(QWidget* parent);
    ItemEditorPresenter* presenter = nullptr;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
};

class ItemEditorWindow final : public QDialog, public ItemEditorView {
public:
    ItemEditorWindow(QWidget* owner, const std::string& caption, ItemRec& item, std::vector<std::string> keyNames,
                     WindowFacts& facts, ItemEditorTexts texts);
    ~ItemEditorWindow() override;

    ItemEditorPresenter& Presenter() { return *presenter_; }

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
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<ItemEditorPresenter> presenter_;
    QLineEdit* desc_ = nullptr;
    QLineEdit* title_ = nullptr;
    QComboBox* titleTest_ = nullptr;
    QLineEdit* class_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    QLineEdit* module_ = nullptr;
    QLineEdit* size_ = nullptr;
    QLineEdit* macro_ = nullptr;
    QListWidget* keys_ = nullptr;
    QListWidget* functions_ = nullptr;
    QComboBox* delay_ = nullptr;
    SearchTool* search_ = nullptr;
    QPushButton* ok_ = nullptr;
    // The macro box's selection when it last had the focus.
    int macroSelStart_ = 0;
    int macroSelLength_ = 0;
    QTimer captureTimer_;
    bool closing_ = false;
};

}  // namespace rw::qtui
