// The item list window as a Qt dialog. It renders what the presenter says
// and reports what the user does; all behaviour is the presenter's.
#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "ui/ItemListPresenter.h"

class QListWidget;
class QPushButton;
class QToolButton;

namespace rw::qtui {

class ItemListWindow final : public QDialog, public ItemListView {
public:
    // runEditor shows the item editor modally over this window.
    ItemListWindow(clsItems& items, ItemRec& current, ItemListServices services,
                   std::function<void(QWidget* owner, const std::string& caption)> runEditor);
    ~ItemListWindow() override;

    ItemListPresenter& Presenter() { return *presenter_; }

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
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;
    void showEvent(QShowEvent* event) override;

private:
    void ReportSelection();

    std::unique_ptr<ItemListPresenter> presenter_;
    std::function<void(QWidget*, const std::string&)> runEditor_;
    QListWidget* list_ = nullptr;
    QPushButton* edit_ = nullptr;
    QPushButton* remove_ = nullptr;
    QToolButton* cut_ = nullptr;
    QToolButton* copy_ = nullptr;
    QToolButton* paste_ = nullptr;
    int syncing_ = 0;  // > 0 while the presenter changes the list
    // While drawing is suspended, row selections are collected and applied
    // as one selection: one by one they cost time in the number of
    // selected ranges each.
    bool batching_ = false;
    std::vector<std::pair<std::int32_t, bool>> pendingSelection_;
    bool closing_ = false;
};

}  // namespace rw::qtui
