#include "backends/qt/ui/ItemEditorWindow.h"

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QScreen>

#include <algorithm>

#include "backends/qt/ui/QtUi.h"

namespace rw::qtui {

namespace {

// The cross-hair's hot spot is its centre.
QCursor CrossHair() {
    const QPixmap p = Art("crosshair-32");
    return p.isNull() ? QCursor(Qt::CrossCursor) : QCursor(p, p.width() / 2, p.height() / 2);
}

QString ToQtLines(const std::string& crlf) {
    QString s = Q(crlf);
    s.replace("\r\n", "\n");
    return s;
}

std::string ToItemLines(const QString& text) {
    QString s = text;
    s.replace("\n", "\r\n");
    return S(s);
}

}  // namespace

SearchTool::SearchTool(QWidget* parent) : QLabel(parent) {}

void SearchTool::mousePressEvent(QMouseEvent* e) {
    if (presenter == nullptr) return;
    presenter->SearchPressed();
    // Capturing the next window in front (Wayland) needs no pointer.
    if (!presenter->Capturing()) grabMouse(CrossHair());
    e->accept();
}

void SearchTool::mouseMoveEvent(QMouseEvent* e) {
    if (presenter == nullptr) return;
    // Screen pixels, as the window system counts them.
    const qreal ratio = screen() != nullptr ? screen()->devicePixelRatio() : 1.0;
    const QPointF g = e->globalPosition() * ratio;
    presenter->SearchMoved(static_cast<std::int32_t>(g.x()), static_cast<std::int32_t>(g.y()),
                           e->buttons() == Qt::LeftButton);
}

void SearchTool::keyPressEvent(QKeyEvent* e) {
    // Space, as on a button; Return stays the dialog's (OK).
    if (presenter == nullptr || e->key() != Qt::Key_Space || presenter->Searching()) {
        QLabel::keyPressEvent(e);
        return;
    }
    presenter->SearchPressed();
    e->accept();
}

void SearchTool::mouseReleaseEvent(QMouseEvent*) {
    releaseMouse();
    if (presenter != nullptr) presenter->SearchReleased();
}

ItemEditorWindow::ItemEditorWindow(QWidget* owner, const std::string& caption, ItemRec& item,
                                   std::vector<std::string> keyNames, WindowFacts& facts, ItemEditorTexts texts)
    : QDialog(owner) {
    const ItemEditorTexts t = texts;
    setObjectName("frmEditItem");
    setWindowTitle(Q(caption));
    MakeFixedDialog(this, QSize(Px96(layout::editor::kWindow.w), Px96(layout::editor::kWindow.h)));
    setModal(true);
    UseDialogFont(this);

    auto frame = [this](const std::string& title, QRect where, QWidget* parent) {
        auto* g = new QGroupBox(Q(title), parent != nullptr ? parent : this);
        g->setGeometry(where);
        return g;
    };
    auto label = [](const std::string& text, QRect where, QWidget* parent) {
        auto* l = new QLabel(Q(text), parent);
        l->setGeometry(where);
        return l;
    };
    auto line = [](const char* name, QRect where, QWidget* parent, bool buttonFace) {
        auto* e = new QLineEdit(parent);
        e->setObjectName(name);
        e->setGeometry(where);
        if (buttonFace) {
            QPalette p = e->palette();
            p.setColor(QPalette::Base, p.color(QPalette::Button));
            e->setPalette(p);
        }
        return e;
    };

    QGroupBox* entry = frame(t.entry, Px96Rect(layout::editor::kEntryFrame), nullptr);
    QLabel* lblName = label(t.name, Px96Rect(layout::editor::kNameLabel), entry);
    desc_ = line("txtDesc", Px96Rect(layout::editor::kName), entry, false);
    lblName->setBuddy(desc_);

    QGroupBox* window = frame(t.window, Px96Rect(layout::editor::kWindowFrame), nullptr);
    QLabel* lblTitle = label(t.title, Px96Rect(layout::editor::kTitleLabel), window);
    title_ = line("txtTitle", Px96Rect(layout::editor::kTitle), window, false);
    lblTitle->setBuddy(title_);
    titleTest_ = new QComboBox(window);
    titleTest_->setObjectName("cboTitleTestType");
    for (const auto& s : t.titleTests) titleTest_->addItem(Q(s));
    titleTest_->setGeometry(Px96Rect(layout::editor::kTitleTest));
    label(t.cls, Px96Rect(layout::editor::kClassLabel), window);
    class_ = line("txtClass", Px96Rect(layout::editor::kClass), window, true);
    label(t.text, Px96Rect(layout::editor::kTextLabel), window);
    text_ = new QPlainTextEdit(window);
    text_->setObjectName("txtText");
    text_->setGeometry(Px96Rect(layout::editor::kText));
    // Tab moves on to the module, as in every other field; Enter is OK as
    // everywhere in the dialog, and Ctrl+Enter starts a new line.
    text_->setTabChangesFocus(true);
    text_->installEventFilter(this);
    {
        QPalette p = text_->palette();
        p.setColor(QPalette::Base, p.color(QPalette::Button));
        text_->setPalette(p);
    }
    label(t.module, Px96Rect(layout::editor::kModuleLabel), window);
    module_ = line("txtModul", Px96Rect(layout::editor::kModule), window, true);
    label(t.size, Px96Rect(layout::editor::kSizeLabel), window);
    size_ = line("txtSize", Px96Rect(layout::editor::kSize), window, true);
    label(t.searchTool, Px96Rect(layout::editor::kSearchLabel), window)->setAlignment(Qt::AlignHCenter);
    search_ = new SearchTool(window);
    search_->setObjectName("picSearch");
    search_->setGeometry(Px96Rect(layout::editor::kSearch));
    search_->setToolTip(Q(t.searchTip));
    ShowSearchFace(false);

    QGroupBox* settings = frame(t.settings, Px96Rect(layout::editor::kSettingsFrame), window);
    QLabel* lblDelay = label(t.delay, Px96Rect(layout::editor::kDelayLabel), settings);
    delay_ = new QComboBox(settings);
    delay_->setObjectName("cboDelay");
    delay_->setGeometry(Px96Rect(layout::editor::kDelay));
    lblDelay->setBuddy(delay_);

    QGroupBox* macroFrame = frame(t.macro, Px96Rect(layout::editor::kMacroFrame), nullptr);
    macro_ = line("txtMacro", Px96Rect(layout::editor::kMacro), macroFrame, false);
    macro_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The line edit drops its selection when a token list takes the focus;
    // a token chosen there replaces what was selected, so it is kept here.
    auto keepSelection = [this] {
        if (!macro_->hasFocus()) return;
        macroSelStart_ = macro_->hasSelectedText() ? macro_->selectionStart() : macro_->cursorPosition();
        macroSelLength_ = macro_->hasSelectedText() ? static_cast<int>(macro_->selectedText().size()) : 0;
    };
    connect(macro_, &QLineEdit::selectionChanged, this, keepSelection);
    connect(macro_, &QLineEdit::cursorPositionChanged, this, keepSelection);
    connect(macro_, &QLineEdit::textChanged, this, keepSelection);
    QLabel* lblKeys = label(t.keys, Px96Rect(layout::editor::kKeysLabel), macroFrame);
    keys_ = new QListWidget(macroFrame);
    keys_->setObjectName("lstKeys");
    keys_->setGeometry(Px96Rect(layout::editor::kKeys));
    keys_->setToolTip(Q(t.listTip));
    keys_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lblKeys->setBuddy(keys_);
    QLabel* lblFunctions = label(t.functions, Px96Rect(layout::editor::kFunctionsLabel), macroFrame);
    functions_ = new QListWidget(macroFrame);
    functions_->setObjectName("lstMisc");
    functions_->setGeometry(Px96Rect(layout::editor::kFunctions));
    functions_->setToolTip(Q(t.listTip));
    functions_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lblFunctions->setBuddy(functions_);

    auto* ok = new QPushButton(Q(t.ok), this);
    ok_ = ok;
    ok->setObjectName("cmdOK");
    ok->setGeometry(Px96Rect(layout::editor::kOk));
    ok->setDefault(true);
    auto* cancel = new QPushButton(Q(t.cancel), this);
    cancel->setObjectName("cmdCancel");
    cancel->setGeometry(Px96Rect(layout::editor::kCancel));
    // Enter presses the default button, OK, unless the focus is on a
    // button: then that button, as in a Windows dialog.
    cancel->setAutoDefault(true);

    QWidget* order[] = {desc_, title_, titleTest_, class_, text_, module_, macro_, keys_, ok, cancel, size_, functions_,
                        delay_};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    if (!facts.PointerFindsWindows()) {
        // Pressed from the keyboard too, last in the tab order.
        search_->setFocusPolicy(Qt::StrongFocus);
        setTabOrder(delay_, search_);
    }

    presenter_ = std::make_unique<ItemEditorPresenter>(*this, item, std::move(keyNames), facts, t);
    ItemEditorPresenter& p = *presenter_;
    search_->presenter = &p;
    connect(ok, &QPushButton::clicked, this, [&p] { p.Ok(); });
    connect(cancel, &QPushButton::clicked, this, [&p] { p.Cancel(); });
    auto chosen = [&p](QListWidgetItem* it) {
        if (it != nullptr) p.TokenChosen(S(it->text()));
    };
    connect(keys_, &QListWidget::itemDoubleClicked, this, chosen);
    connect(functions_, &QListWidget::itemDoubleClicked, this, chosen);
    captureTimer_.setInterval(100);
    connect(&captureTimer_, &QTimer::timeout, this, [&p] { p.CaptureTick(); });
    p.Load();
    p.SetOwnWindow(static_cast<WinHandle>(winId()));
}

ItemEditorWindow::~ItemEditorWindow() = default;

void ItemEditorWindow::ShowTokenLists(const std::vector<std::string>& keys, const std::vector<std::string>& functions) {
    keys_->clear();
    for (const auto& k : keys) keys_->addItem(Q(k));
    functions_->clear();
    for (const auto& f : functions) functions_->addItem(Q(f));
}

void ItemEditorWindow::ShowDelayChoices(const std::vector<std::string>& choices) {
    delay_->clear();
    for (const auto& c : choices) delay_->addItem(Q(c));
}

void ItemEditorWindow::ShowFields(const EditorFields& f) {
    desc_->setText(Q(f.desc));
    title_->setText(Q(f.title));
    titleTest_->setCurrentIndex(f.titleTest);
    class_->setText(Q(f.cls));
    text_->setPlainText(ToQtLines(f.text));
    module_->setText(Q(f.module));
    size_->setText(Q(f.size));
    macro_->setText(Q(f.macro));
    // Until the user puts it elsewhere, the caret stands after the text.
    macroSelStart_ = static_cast<int>(macro_->text().size());
    macroSelLength_ = 0;
    delay_->setCurrentIndex(f.delayChoice);
}

EditorFields ItemEditorWindow::ReadFields() {
    EditorFields f;
    f.desc = S(desc_->text());
    f.title = S(title_->text());
    f.titleTest = titleTest_->currentIndex();
    f.cls = S(class_->text());
    f.text = ToItemLines(text_->toPlainText());
    f.module = S(module_->text());
    f.size = S(size_->text());
    f.macro = S(macro_->text());
    f.delayChoice = delay_->currentIndex();
    return f;
}

void ItemEditorWindow::ShowFoundWindow(const FoundWindow& found) {
    title_->setText(Q(found.title));
    class_->setText(Q(found.cls));
    text_->setPlainText(ToQtLines(found.text));
    if (found.hasModule) module_->setText(Q(found.module));
    size_->setText(Q(found.size));
}

void ItemEditorWindow::InsertIntoMacro(const std::string& token) {
    const int length = static_cast<int>(macro_->text().size());
    const int start = std::clamp(macroSelStart_, 0, length);
    macro_->setFocus();
    if (macroSelLength_ > 0) {
        macro_->setSelection(start, std::min(macroSelLength_, length - start));
    } else {
        macro_->setCursorPosition(start);
    }
    macro_->insert(Q(token));
}

void ItemEditorWindow::ShowNormalPointer() { SetWaitPointer(false); }

bool ItemEditorWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != text_ || event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    auto* e = static_cast<QKeyEvent*>(event);
    if (e->key() != Qt::Key_Return && e->key() != Qt::Key_Enter) return false;
    if ((e->modifiers() & Qt::ControlModifier) != 0) {
        text_->insertPlainText(QStringLiteral("\n"));
    } else {
        ok_->click();
    }
    return true;
}

void ItemEditorWindow::ShowSearchFace(bool dragging) {
    search_->setPixmap(Art(dragging ? "search-empty" : "search-full"));
    // While the tool waits for a window to come to the front, the window
    // in front is looked at a few times a second.
    if (dragging && presenter_ != nullptr && presenter_->Capturing()) {
        captureTimer_.start();
    } else {
        captureTimer_.stop();
    }
}

void ItemEditorWindow::CloseWindow() {
    closing_ = true;
    done(QDialog::Accepted);
}

void ItemEditorWindow::reject() {
    // Escape while the tool waits for a window ends only that.
    if (presenter_->SearchCancelled()) return;
    if (!closing_) presenter_->Cancel();
}

void ItemEditorWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Centred over its owner.
    if (QWidget* owner = parentWidget()) {
        const QRect o = owner->frameGeometry();
        move(o.center() - rect().center());
    }
    activateWindow();
    raise();
    QTimer::singleShot(200, this, [this] { TraceControls(this); });
}

}  // namespace rw::qtui
