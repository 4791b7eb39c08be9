#include "backends/qt/ui/ItemListWindow.h"

#include <QApplication>
#include <QFrame>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "backends/qt/ui/QtUi.h"
#include "platform/Keys.h"

namespace rw::qtui {

namespace {

// The window's key as the presenter speaks it: Windows key codes.
int KeyCode(const QKeyEvent* e) {
    const int k = e->key();
    const bool keypad = (e->modifiers() & Qt::KeypadModifier) != 0;
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return 'A' + (k - Qt::Key_A);
    switch (k) {
        case Qt::Key_Delete:
            return vk::Delete;
        case Qt::Key_Minus:
            return keypad ? vk::Subtract : 0xBD;
        case Qt::Key_Plus:
            return keypad ? vk::Add : 0xBB;
        case Qt::Key_Space:
            return vk::Space;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return vk::Return;
        case Qt::Key_Escape:
            return vk::Escape;
        default:
            return 0;
    }
}

bool IsInside(QObject* o, QWidget* w) {
    for (QObject* p = o; p != nullptr; p = p->parent())
        if (p == w) return true;
    return false;
}

QToolButton* IconButton(QWidget* parent, const char* art, const std::string& tip, QRect where) {
    auto* b = new QToolButton(parent);
    b->setIcon(ButtonIcon(art));
    b->setIconSize(QSize(16, 16));
    b->setToolTip(Q(tip));
    b->setFocusPolicy(Qt::NoFocus);  // not a tab stop
    b->setAutoRaise(false);
    b->setGeometry(where);
    return b;
}

}  // namespace

ItemListWindow::ItemListWindow(clsItems& items, ItemRec& current, ItemListServices services,
                               std::function<void(QWidget*, const std::string&)> runEditor)
    : runEditor_(std::move(runEditor)) {
    const ItemListTexts t = services.texts;
    setObjectName("frmList");
    setWindowTitle(Q(t.caption));
    MakeFixedDialog(this, QSize(TwipsX(layout::list::kWindow.w), TwipsY(layout::list::kWindow.h)));
    setModal(true);
    UseDialogFont(this);

    auto* toolbar = new QFrame(this);
    toolbar->setFrameShape(QFrame::StyledPanel);
    toolbar->setGeometry(TwipsRect(layout::list::kToolbar));
    QToolButton* open = IconButton(toolbar, "open", t.readTip, TwipsRect(layout::list::kOpen));
    QToolButton* save = IconButton(toolbar, "save", t.saveTip, TwipsRect(layout::list::kSave));
    cut_ = IconButton(toolbar, "cut", t.cutTip, TwipsRect(layout::list::kCut));
    copy_ = IconButton(toolbar, "copy", t.copyTip, TwipsRect(layout::list::kCopy));
    paste_ = IconButton(toolbar, "paste", t.pasteTip, TwipsRect(layout::list::kPaste));
    open->setObjectName("cmdOpenSave10");
    save->setObjectName("cmdOpenSave11");
    cut_->setObjectName("cmdClip0");
    copy_->setObjectName("cmdClip1");
    paste_->setObjectName("cmdClip2");

    list_ = new QListWidget(this);
    list_->setObjectName("lst");
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSortingEnabled(false);
    list_->setUniformItemSizes(true);
    list_->setGeometry(TwipsRect(layout::list::kList));

    auto* up = IconButton(this, "up", t.moveTip, TwipsRect(layout::list::kMoveUp));
    auto* down = IconButton(this, "down", t.moveTip, TwipsRect(layout::list::kMoveDown));
    up->setObjectName("cmdMoveUp");
    down->setObjectName("cmdMoveDown");
    auto* arrange = new QLabel(Q(t.arrange), this);
    arrange->setAlignment(Qt::AlignCenter);
    arrange->setGeometry(TwipsRect(layout::list::kArrange));

    auto button = [this](const std::string& text, const char* name, QRect where) {
        auto* b = new QPushButton(Q(text), this);
        b->setObjectName(name);
        b->setGeometry(where);
        // Enter on a focused button presses it; elsewhere it is OK.
        b->setAutoDefault(true);
        return b;
    };
    QPushButton* ok = button(t.ok, "cmdOK", TwipsRect(layout::list::kOk));
    QPushButton* cancel = button(t.cancel, "cmdCancel", TwipsRect(layout::list::kCancel));
    QPushButton* add = button(t.add, "cmdAdd", TwipsRect(layout::list::kAdd));
    edit_ = button(t.edit, "cmdEdit", TwipsRect(layout::list::kEdit));
    remove_ = button(t.remove, "cmdDelete", TwipsRect(layout::list::kRemove));
    ok->setDefault(true);
    edit_->setEnabled(false);
    remove_->setEnabled(false);
    setTabOrder(list_, ok);
    setTabOrder(ok, cancel);
    setTabOrder(cancel, add);
    setTabOrder(add, edit_);
    setTabOrder(edit_, remove_);

    presenter_ = std::make_unique<ItemListPresenter>(*this, items, current, std::move(services));
    ItemListPresenter& p = *presenter_;
    connect(ok, &QPushButton::clicked, this, [&p] { p.Ok(); });
    connect(cancel, &QPushButton::clicked, this, [&p] { p.Cancel(); });
    connect(add, &QPushButton::clicked, this, [&p] { p.Add(); });
    connect(edit_, &QPushButton::clicked, this, [&p] { p.Edit(); });
    connect(remove_, &QPushButton::clicked, this, [&p] { p.Remove(); });
    connect(up, &QToolButton::clicked, this, [&p] { p.MoveUp(); });
    connect(down, &QToolButton::clicked, this, [&p] { p.MoveDown(); });
    // After a click on a clipboard button the list has the focus again.
    connect(cut_, &QToolButton::clicked, this, [this, &p] { p.Cut(); list_->setFocus(); });
    connect(copy_, &QToolButton::clicked, this, [this, &p] { p.Copy(); list_->setFocus(); });
    connect(paste_, &QToolButton::clicked, this, [this, &p] { p.Paste(); list_->setFocus(); });
    connect(open, &QToolButton::clicked, this, [&p] { p.ReadFromFile(); });
    connect(save, &QToolButton::clicked, this, [&p] { p.SaveToFile(); });
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] { ReportSelection(); });
    connect(list_, &QListWidget::currentRowChanged, this, [this] { ReportSelection(); });
    connect(list_, &QListWidget::itemDoubleClicked, this, [&p] { p.DoubleClicked(); });

    // The window sees every key before the control that has the focus.
    qApp->installEventFilter(this);
    p.Init();
}

ItemListWindow::~ItemListWindow() {
    qApp->removeEventFilter(this);
    SetWaitCursor(false);
}

void ItemListWindow::ReportSelection() {
    if (syncing_ > 0) return;
    std::vector<std::int32_t> rows;
    for (const QModelIndex& i : list_->selectionModel()->selectedIndexes()) rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    presenter_->SelectionChanged(list_->currentRow(), rows);
}

void ItemListWindow::InsertRow(std::int32_t row, const std::string& text) {
    ++syncing_;
    list_->insertItem(row, Q(text));
    --syncing_;
}

void ItemListWindow::RemoveRow(std::int32_t row) {
    ++syncing_;
    delete list_->takeItem(row);
    --syncing_;
}

void ItemListWindow::SetRowText(std::int32_t row, const std::string& text) {
    if (QListWidgetItem* it = list_->item(row)) it->setText(Q(text));
}

void ItemListWindow::SetRowSelected(std::int32_t row, bool selected) {
    if (batching_) {
        pendingSelection_.emplace_back(row, selected);
        return;
    }
    ++syncing_;
    if (QListWidgetItem* it = list_->item(row)) it->setSelected(selected);
    --syncing_;
}

void ItemListWindow::SetCurrentRow(std::int32_t row) {
    ++syncing_;
    list_->setCurrentRow(row, QItemSelectionModel::NoUpdate);
    --syncing_;
}

void ItemListWindow::ShowCommandStates(const ListCommandStates& s) {
    edit_->setEnabled(s.edit);
    remove_->setEnabled(s.remove);
    cut_->setEnabled(s.cut);
    copy_->setEnabled(s.copy);
    paste_->setEnabled(s.paste);
}

void ItemListWindow::FocusList() { list_->setFocus(); }

void ItemListWindow::SetWaitCursor(bool wait) { SetWaitPointer(wait); }

void ItemListWindow::SuspendDrawing(bool suspend) {
    if (suspend) {
        batching_ = true;
        pendingSelection_.clear();
        list_->setUpdatesEnabled(false);
        return;
    }
    batching_ = false;
    if (!pendingSelection_.empty()) {
        // The presenter's model is the truth: the list gets its whole
        // selection in one go.
        QItemSelection selection;
        const std::vector<std::int32_t> rows = presenter_->SelectedRows();
        for (std::size_t i = 0; i < rows.size();) {
            std::size_t j = i;
            while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1) ++j;
            selection.select(list_->model()->index(rows[i], 0), list_->model()->index(rows[j], 0));
            i = j + 1;
        }
        ++syncing_;
        list_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
        --syncing_;
        pendingSelection_.clear();
    }
    list_->setUpdatesEnabled(true);
}

void ItemListWindow::ShowInformation(const std::string& text) {
    QMessageBox box(QMessageBox::Information, windowTitle(), Q(text), QMessageBox::Ok, isVisible() ? this : nullptr);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

void ItemListWindow::RunItemEditor(const std::string& caption) {
    if (runEditor_) runEditor_(this, caption);
}

void ItemListWindow::CloseWindow() {
    closing_ = true;
    done(QDialog::Accepted);
}

bool ItemListWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !isActiveWindow() || !IsInside(watched, this)) return false;
    auto* e = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers m = e->modifiers();
    ListKey key;
    key.code = KeyCode(e);
    key.ctrl = (m & Qt::ControlModifier) != 0;
    key.shift = (m & Qt::ShiftModifier) != 0;
    key.alt = (m & Qt::AltModifier) != 0;
    key.listHasFocus = list_->hasFocus();
    key.buttonHasFocus = qobject_cast<QPushButton*>(QApplication::focusWidget()) != nullptr;
    if (key.code == 0 && !key.ctrl) return false;
    return presenter_->KeyDown(key);
}

void ItemListWindow::reject() {
    // Esc and the title bar's close are Cancel.
    if (!closing_) presenter_->Cancel();
}

void ItemListWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    activateWindow();
    raise();
    QTimer::singleShot(200, this, [this] { TraceControls(this); });
    list_->setFocus();
}

}  // namespace rw::qtui
