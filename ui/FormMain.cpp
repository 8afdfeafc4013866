#include "ui/FormMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QThread>
#include <cstring>
#include <stdexcept>

#include "audio/HostAudio.h"
#include "audio/AudioTap.h"
#include "audio/WavWriter.h"
#include "board/Machine.h"
#include "host/ZstdCompressor.h"
#include "ui/FormAbout.h"
#include "ui/FormDebug.h"
#include "ui/FormDiag.h"
#include "ui/FormOptions.h"
#include "ui/Settings.h"
#include "ui/HostKeys.h"

TMainForm* MainForm = nullptr;
std::atomic<Machine*> VexaMachine{nullptr};
std::atomic<TVexaBoard*> VexaBoard{nullptr};

namespace {

const char* const kCaption = "Vexa Z80 Board Emulator";
const char* const kRecentFoldersKey = "recentFolders";

bool OnUiThread() { return QThread::currentThread() == qApp->thread(); }

} // namespace

// ---------------------------------------------------------------------------
// Frame hand-over and the screen

TScreen::TScreen(FrameStore* frameStore, QWidget* parent)
    : QWidget(parent), store(frameStore), frame(FrameWidth, FrameHeight, QImage::Format_RGB32) {
    frame.fill(Qt::black);
    setObjectName("Screen");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

void TScreen::paintEvent(QPaintEvent*) {
    store->TakeInto(reinterpret_cast<uint32_t*>(frame.bits()));
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    painter.drawImage(PictureRect(size(), integerScale), frame);
}

// ---------------------------------------------------------------------------
// Status bar

TStatusPanels::TStatusPanels(QWidget* parent) : QStatusBar(parent) {
    setObjectName("StatusBar");
    setSizeGripEnabled(false);
    setFixedHeight(BarHeight);
    // The panels are narrow: the texts are sized for a small status-bar font.
    QFont small = font();
    small.setPixelSize(10);
    setFont(small);
    panels = {{
        {48, "IDLE", Centre, false}, // room for "PAUSED"
        {75, "", Centre, true}, // room for "1234.5 MHz" when fast-forwarding
        {60, "", Centre, true},
        {10, "", Left, false},
        {50, "SD/MMC", Centre, false},
        {25, "", Left, true},
        {25, "", Left, true},
        {10, "", Left, false},
        {40, "Video", Centre, false},
        {50, "N/R", Centre, true},
        {10, "", Left, false},
        {45, "VMODE", Right, false},
        {55, "", Centre, true},
        {10, "", Left, false},
        {50, "LINECOP", Right, false},
        {50, "IDLE", Centre, true},
        {50, "", Left, false},
    }};
}

void TStatusPanels::SetPanelText(int panel, const QString& text) {
    if (panel < 0 || panel >= PanelCount) return;
    if (panels[static_cast<size_t>(panel)].text == text) return;
    panels[static_cast<size_t>(panel)].text = text;
    update();
}

QString TStatusPanels::PanelText(int panel) const {
    if (panel < 0 || panel >= PanelCount) return QString();
    return panels[static_cast<size_t>(panel)].text;
}

int TStatusPanels::PanelWidth(int panel) const {
    return panel < 0 || panel >= PanelCount ? 0 : panels[static_cast<size_t>(panel)].width;
}

QRect TStatusPanels::PanelRect(int panel) const {
    int x = 0;
    for (int i = 0; i < panel && i < PanelCount; ++i) x += panels[static_cast<size_t>(i)].width;
    return QRect(x, 0, PanelWidth(panel), height());
}

void TStatusPanels::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette pal = palette();
    painter.fillRect(rect(), pal.color(QPalette::Window));
    auto* form = qobject_cast<TMainForm*>(window());
    for (int i = 0; i < PanelCount; ++i) {
        const Panel& p = panels[static_cast<size_t>(i)];
        const QRect r = PanelRect(i).adjusted(0, 1, -2, -1);
        if (p.bevel) {
            painter.setPen(pal.color(QPalette::Dark));
            painter.drawLine(r.topLeft(), r.topRight());
            painter.drawLine(r.topLeft(), r.bottomLeft());
            painter.setPen(pal.color(QPalette::Light));
            painter.drawLine(r.bottomLeft(), r.bottomRight());
            painter.drawLine(r.topRight(), r.bottomRight());
        }
        const QRect inner = r.adjusted(1, 1, -1, -1);
        if (form && (i == PanelSdReadLamp || i == PanelSdWriteLamp)) {
            painter.fillRect(inner, form->LampColour(i));
            continue;
        }
        if (p.text.isEmpty()) continue;
        const int align = p.align == Centre ? Qt::AlignHCenter : p.align == Right ? Qt::AlignRight : Qt::AlignLeft;
        painter.setPen(pal.color(QPalette::WindowText));
        painter.drawText(inner.adjusted(1, 0, -1, 0), align | Qt::AlignVCenter, p.text);
    }
}

// ---------------------------------------------------------------------------
// Construction and destruction

TMainForm::TMainForm() {
    MainForm = this;
    setObjectName("MainForm");
    setWindowTitle(kCaption);
    setAttribute(Qt::WA_QuitOnClose, true);
    screen = new TScreen(&frames, this);
    setCentralWidget(screen);
    statusPanels = new TStatusPanels(this);
    setStatusBar(statusPanels);
    BuildMenus();
    // Keys come to the window itself unless a child takes the focus; either
    // way the window sees them first (the filter below).
    setFocusPolicy(Qt::StrongFocus);
    qApp->installEventFilter(this);

    resize(TScreen::DisplayWidth,
           menuBar()->sizeHint().height() + TScreen::DisplayHeight + TStatusPanels::BarHeight);

    if (QScreen* display = QGuiApplication::primaryScreen())
        move(display->availableGeometry().center() - QPoint(width() / 2, height() / 2));

    // Last: the machine starts its threads, which call back into this object.
    CreateMachine();
    if (!TerminateRequested()) RememberFolder(QDir::currentPath());
}

void TMainForm::CreateMachine() {
    MachineOptions options;
    options.startThreads = true;
    compressor = MakeZstdCompressor();
    options.compressor = compressor.get();
    machine = new Machine(this, options);
    if (DiagSink* sink = DiagForm.load(std::memory_order_acquire)) {
        // The first cold boot ran before the monitor was connected: what it
        // refused goes to the monitor and its log now.
        for (const FileRefusal& refusal : machine->FileRefusals())
            if (sink->IsTypeEnabled(refusal.type)) sink->AddMessage(refusal.type, refusal.text);
        machine->Diag().Connect(sink);
    }
    VexaMachine.store(machine, std::memory_order_release);
    VexaBoard.store(&machine->Board(), std::memory_order_release);
}

TMainForm::~TMainForm() {
    qApp->removeEventFilter(this);
    DestroyBoard();
    if (MainForm == this) MainForm = nullptr;
}

void TMainForm::DestroyBoard() {
    if (!machine) return;
    VexaBoard.store(nullptr, std::memory_order_release);
    VexaMachine.store(nullptr, std::memory_order_release);
    delete machine; // stops any thread still running
    machine = nullptr;
}

void TMainForm::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu");

    QMenu* file = bar->addMenu("&File");
    file->setObjectName("MenuFile");
    QMenu* load = file->addMenu("&Load");
    load->setObjectName("MenuFileLoad");
    MenuFileLoadVXF = load->addAction("&VXF Binary...", this, &TMainForm::MenuFileLoadVXFClick);
    MenuFileLoadVXF->setObjectName("MenuFileLoadVXF");
    MenuFileLoadVXF->setEnabled(false);
    MenuFileLoadRaw = load->addAction("&Raw Binary...");
    MenuFileLoadRaw->setObjectName("MenuFileLoadRaw");
    MenuFileLoadRaw->setEnabled(false);
    file->addSeparator();
    MenuFileOpenFolder = file->addAction("&Open Run Folder...", this, &TMainForm::MenuFileOpenFolderClick);
    MenuFileOpenFolder->setObjectName("MenuFileOpenFolder");
    MenuFileRecent = file->addMenu("Open &Recent");
    MenuFileRecent->setObjectName("MenuFileRecent");
    FillRecentMenu();
    file->addSeparator();
    MenuFileExit = file->addAction("E&xit", this, &QWidget::close);
    MenuFileExit->setObjectName("MenuFileExit");

    QMenu* control = bar->addMenu("&Control");
    control->setObjectName("MenuControl");
    MenuControlReset = control->addAction("&Reset (Cold Boot)", this, &TMainForm::MenuControlResetClick);
    MenuControlReset->setObjectName("MenuControlReset");
    MenuControlNMI = control->addAction("&NMI (Warm Boot)", this, &TMainForm::MenuControlNMIClick);
    MenuControlNMI->setObjectName("MenuControlNMI");
    control->addSeparator();
    MenuControlOptions = control->addAction("&Options...", this, &TMainForm::MenuControlOptionsClick);
    MenuControlOptions->setObjectName("MenuControlOptions");
    control->addSeparator();
    MenuControlPause = control->addAction("&Pause Emulation", this, &TMainForm::MenuControlPauseClick);
    MenuControlPause->setObjectName("MenuControlPause");
    MenuControlResume = control->addAction("Resu&me Emulation", this, &TMainForm::MenuControlResumeClick);
    MenuControlResume->setObjectName("MenuControlResume");
    MenuControlResume->setEnabled(false);

    QMenu* debug = bar->addMenu("&Debug");
    debug->setObjectName("MenuDebug");
    MenuDebugDebugger = debug->addAction("&Debug Screen", this, &TMainForm::MenuDebugDebuggerClick);
    MenuDebugDebugger->setObjectName("MenuDebugDebugger");
    MenuDebugMonitor = debug->addAction("&I/O Monitor", this, &TMainForm::MenuDebugMonitorClick);
    MenuDebugMonitor->setObjectName("MenuDebugMonitor");

    QMenu* help = bar->addMenu("&Help");
    help->setObjectName("MenuHelp");
    MenuHelpAbout = help->addAction("&About", this, &TMainForm::MenuHelpAboutClick);
    MenuHelpAbout->setObjectName("MenuHelpAbout");

    BuildControlMenus(file, MenuFileExit, control, help, MenuHelpAbout);
    // Every menu and submenu, those just added included.
    for (QMenu* menu : bar->findChildren<QMenu*>()) {
        connect(menu, &QMenu::aboutToShow, this, &TMainForm::MenuShown);
        connect(menu, &QMenu::aboutToHide, this, &TMainForm::MenuHidden);
    }
}

// ---------------------------------------------------------------------------
// Menu commands

void TMainForm::MenuFileLoadVXFClick() {
    QFileDialog dialog(this, "Select VXF Binary to be Loaded");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix("VXF");
    dialog.setNameFilters({"VXF Binary Images (*.VXF)", "All Files (*.*)"});
    dialog.exec(); // loading VXF images is not supported: nothing is loaded
}

void TMainForm::MenuFileOpenFolderClick() {
    const QString folder =
        QFileDialog::getExistingDirectory(this, "Choose a Run Folder Holding config.txt", QDir::currentPath());
    if (!folder.isEmpty()) OpenRunFolder(folder);
}

bool TMainForm::OpenRunFolder(const QString& folder) {
    const QDir target(folder);
    if (!QFileInfo(target.filePath("config.txt")).isFile()) {
        QMessageBox::warning(this, kCaption,
                             QString("%1 holds no config.txt, so it is not a run folder.\nThe machine goes on as it was.")
                                 .arg(QDir::toNativeSeparators(target.absolutePath())));
        return false;
    }
    if (!FormCloseQuery()) return false;
    const QString previous = QDir::currentPath();
    FormClose();
    // The folder was checked a moment ago; should it have gone since, the
    // machine starts again where it was rather than not at all.
    if (!QDir::setCurrent(target.absolutePath())) QDir::setCurrent(previous);
    CreateMachine();
    if (!TerminateRequested()) RememberFolder(QDir::currentPath());
    if (DebugForm && !DebugForm->IsRunning()) DebugForm->BtnRunClick();
    return true;
}

QStringList TMainForm::RecentFolders() const { return OpenSettings()->value(kRecentFoldersKey).toStringList(); }

void TMainForm::RememberFolder(const QString& folder) {
    QStringList folders = RecentFolders();
    folders.removeAll(folder);
    folders.prepend(folder);
    while (folders.size() > MaxRecentFolders) folders.removeLast();
    OpenSettings()->setValue(kRecentFoldersKey, folders);
    FillRecentMenu();
}

void TMainForm::FillRecentMenu() {
    if (!MenuFileRecent) return;
    MenuFileRecent->clear();
    const QStringList folders = RecentFolders();
    for (int i = 0; i < folders.size(); ++i) {
        const QString folder = folders[i];
        QAction* action = MenuFileRecent->addAction(
            QString("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(folder)), this,
            // Queued: the switch rebuilds this menu, and the action must not
            // be deleted while it is still being triggered.
            [this, folder] { QMetaObject::invokeMethod(this, [this, folder] { OpenRunFolder(folder); }, Qt::QueuedConnection); });
        action->setObjectName(QString("MenuFileRecent%1").arg(i + 1));
    }
    MenuFileRecent->setEnabled(!folders.isEmpty());
}

void TMainForm::MenuControlResetClick() {
    if (Machine* m = VexaMachine.load(std::memory_order_acquire)) m->ColdBoot();
    if (DebugForm) DebugForm->RefreshView();
}

void TMainForm::MenuControlNMIClick() {
    if (TVexaBoard* b = VexaBoard.load(std::memory_order_acquire)) b->RequestNmi();
}

namespace {

// A dialog opens where it was last left (Qt centres it the first time).
void ExecWhereLastLeft(QDialog* dialog, const char* key) {
    if (const auto settings = OpenSettings(); settings->contains(key))
        dialog->restoreGeometry(settings->value(key).toByteArray());
    dialog->exec();
    OpenSettings()->setValue(key, dialog->saveGeometry());
}

} // namespace

void TMainForm::MenuControlOptionsClick() {
    if (OptionsForm) ExecWhereLastLeft(OptionsForm, "window/options");
}

void TMainForm::MenuDebugDebuggerClick() {
    if (!DebugForm) return;
    DebugForm->show(); // it places itself beside the picture, narrowing if need be
    DebugForm->raise();
    DebugForm->activateWindow();
}

void TMainForm::MenuDebugMonitorClick() {
    TDiagForm* monitor = DiagFormWindow();
    if (!monitor) return;
    PlaceBeside(monitor);
    monitor->show();
    monitor->raise();
    monitor->activateWindow();
}

void TMainForm::MenuHelpAboutClick() {
    if (AboutForm) ExecWhereLastLeft(AboutForm, "window/about");
}

// ---------------------------------------------------------------------------
// Keys

void TMainForm::FormKeyDown(uint16_t key, int shift) {
    if (TVexaBoard* b = VexaBoard.load(std::memory_order_acquire)) b->HostKeyDown(key, shift);
}

void TMainForm::FormKeyUp(uint16_t key, int shift) {
    if (TVexaBoard* b = VexaBoard.load(std::memory_order_acquire)) b->HostKeyUp(key, shift);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* e) {
    const QEvent::Type type = e->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
        return QMainWindow::eventFilter(watched, e);
    // Key preview: the window sees a key before the control that has the
    // focus, once (not again as the event travels up to the parents).
    auto* target = qobject_cast<QWidget*>(watched);
    if (!target) return false;
    if (target->window() != this) {
        // Another window (a menu, a dialog) has the keyboard now.
        if (!keysDown.empty()) ReleaseHeldKeys();
        return false;
    }
    QWidget* focus = QApplication::focusWidget();
    if (focus ? target != focus : target != this) return false;
    return HandleKey(e);
}

namespace {

// The physical key of an event: its scan code, or (for events made up without
// one) its machine code, so that a release finds the press it belongs to.
uint32_t PhysicalKey(const QKeyEvent& key, uint16_t vk) {
    return key.nativeScanCode() != 0 ? key.nativeScanCode() : 0x80000000u | vk;
}

// True while a menu has the keyboard: one is open, or the menu bar is in its
// keyboard mode (it then holds the focus).
bool MenuHasKeyboard() {
    return QApplication::activePopupWidget() != nullptr || qobject_cast<QMenuBar*>(QApplication::focusWidget());
}

} // namespace

void TMainForm::ReleaseHeldKeys() {
    for (const auto& [physical, vk] : keysDown) FormKeyUp(vk, 0);
    keysDown.clear();
    ReleaseHeldShortcuts(); // a held fast-forward or rewind ends with its key
}

void TMainForm::MenuShown() {
    // The menu takes the keyboard: nothing may stay held down in the machine
    // (Alt, after Alt+F) while its release goes to the menu instead.
    ReleaseHeldKeys();
}

void TMainForm::MenuHidden() {
    // Once the menus are closed (Esc, or a command chosen), the keyboard is
    // the machine's again: the menu bar leaves its keyboard mode, which would
    // otherwise go on taking letters as menu titles. Checked after the event,
    // as moving between menus hides one just before showing the next.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (QApplication::activePopupWidget() == nullptr && QApplication::focusWidget() == menuBar() &&
                isActiveWindow())
                setFocus();
        },
        Qt::QueuedConnection);
}

bool TMainForm::HandleKey(QEvent* e) {
    if (MenuHasKeyboard()) {
        // Keys the menus consume never reach the machine.
        ReleaseHeldKeys();
        return false;
    }
    if (e->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(e);
        uint16_t vk = VirtualKeyFromEvent(*key);
        const uint32_t physical = PhysicalKey(*key, vk);
        // A key the machine holds stays the machine's until it is released.
        if (keysDown.count(physical) == 0 && HandleHostShortcut(key, vk, true)) return true;
        // A repeat keeps the code of the first press.
        auto [it, inserted] = keysDown.try_emplace(physical, vk);
        if (!inserted) vk = it->second;
        if (vk == 0) keysDown.erase(it);
        // Tab and F10 are the machine's keys, not focus or menu navigation.
        if (vk == VK_TAB_CODE || vk == VK_F10_CODE) {
            FormKeyDown(vk, 0);
            return true;
        }
        if (vk != 0) FormKeyDown(vk, ShiftStateFrom(key->modifiers(), QGuiApplication::mouseButtons()));
    } else if (e->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(e);
        // X11 reports auto-repeat as release and press pairs; the machine sees
        // only the presses, as a held key on a PS/2 keyboard.
        if (key->isAutoRepeat()) return true;
        if (HandleHostShortcut(key, VirtualKeyFromEvent(*key), false)) return true;
        // Only the release of a key whose press the machine saw: not the Esc
        // that closed a menu, nor keys pressed in another window.
        const auto it = keysDown.find(PhysicalKey(*key, VirtualKeyFromEvent(*key)));
        if (it == keysDown.end()) return false;
        const uint16_t vk = it->second;
        keysDown.erase(it);
        FormKeyUp(vk, ShiftStateFrom(key->modifiers(), QGuiApplication::mouseButtons()));
        if (vk == VK_TAB_CODE || vk == VK_F10_CODE) return true;
    } else if (e->type() == QEvent::ShortcutOverride) {
        // F10 and Tab never reach a shortcut or the menu bar.
        auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() == Qt::Key_F10 || key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            e->accept();
            return true;
        }
    }
    return false;
}

bool TMainForm::event(QEvent* e) {
    // Keys released while another window has the focus, or while a modal
    // dialog blocks this one, never arrive here: release them now, so that
    // none stays held down in the machine.
    if (e->type() == QEvent::WindowDeactivate || e->type() == QEvent::WindowBlocked) ReleaseHeldKeys();
    return QMainWindow::event(e);
}

// ---------------------------------------------------------------------------
// Show and close

void TMainForm::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (shown) return;
    shown = true;
    RestoreWindowPlaces();
    UpdateRunState();
    setFocus();
    if (DebugForm) DebugForm->BtnRunClick();
}

bool TMainForm::FormCloseQuery() {
    Machine* m = VexaMachine.load(std::memory_order_acquire);
    return m == nullptr || m->QueryClose();
}

void TMainForm::FormClose() {
    if (!machine) return;
    SaveWindowPlaces();
    ReleaseHeldShortcuts();
    if (IsRecording()) StopRecording();
    if (DebugForm) DebugForm->MachineGone();
    try {
        machine->Shutdown();
    } catch (const std::exception& e) {
        // The dumps failed; the machine still goes away, so the program can end.
        shutdownFailed = true;
        QMessageBox::critical(this, kCaption, QString::fromLocal8Bit(e.what()));
    }
    DestroyBoard();
    RepaintStatusBar();
}

void TMainForm::closeEvent(QCloseEvent* e) {
    if (!FormCloseQuery()) {
        e->ignore();
        return;
    }
    FormClose();
    e->accept();
}

// ---------------------------------------------------------------------------
// Lamps

QColor TMainForm::LampColour(int panel) {
    TVexaBoard* b = VexaBoard.load(std::memory_order_acquire);
    if (b && panel == PanelSdReadLamp && b->TakeSdReadLamp()) return QColor(0, 255, 0);
    if (b && panel == PanelSdWriteLamp && b->TakeSdWriteLamp()) return QColor(255, 0, 0);
    return QApplication::palette().color(QPalette::Button);
}

// ---------------------------------------------------------------------------
// Host

MsgAnswer TMainForm::ShowMessage(const std::string& text, const std::string& caption, MsgButtons buttons,
                                 MsgIcon icon) {
    if (!OnUiThread()) {
        MsgAnswer answer = MsgAnswer::Cancel;
        QMetaObject::invokeMethod(
            this, [&] { answer = ShowMessage(text, caption, buttons, icon); }, Qt::BlockingQueuedConnection);
        return answer;
    }
    QString body = QString::fromLocal8Bit(text.c_str());
    body.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(icon == MsgIcon::Question ? QMessageBox::Question
                    : icon == MsgIcon::Error  ? QMessageBox::Critical
                                              : QMessageBox::Warning,
                    QString::fromLocal8Bit(caption.c_str()), body, QMessageBox::NoButton,
                    isVisible() ? this : nullptr);
    box.setObjectName("MessageBox");
    if (buttons == MsgButtons::YesNoCancel) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    case QMessageBox::Ok: return MsgAnswer::Ok;
    default: return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
    }
}

void TMainForm::RequestTerminate() {
    terminateRequested.store(true, std::memory_order_release);
    // Queued: before the event loop runs this ends it as soon as it starts.
    QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
}

void TMainForm::PostToUi(std::atomic<bool>& posted, void (TMainForm::*apply)()) {
    // At most one hand-over of each kind waits in the queue: a program that
    // writes a register in a loop cannot flood the event loop.
    if (posted.exchange(true, std::memory_order_acq_rel)) return;
    QMetaObject::invokeMethod(
        this,
        [this, &posted, apply] {
            posted.store(false, std::memory_order_release);
            (this->*apply)();
        },
        Qt::QueuedConnection);
}

void TMainForm::SetStatusPanel(int panel, std::string_view text) {
    if (panel < 0 || panel >= TStatusPanels::PanelCount) return;
    {
        std::lock_guard<std::mutex> lock(panelMutex);
        pendingPanels[static_cast<size_t>(panel)] = std::string(text);
    }
    PostToUi(panelsPosted, &TMainForm::ApplyPendingPanels);
}

void TMainForm::ApplyPendingPanels() {
    // Panels are independent, so applying the newest text of each at once
    // leaves the bar as applying every text in posting order would.
    std::array<std::optional<std::string>, TStatusPanels::PanelCount> texts;
    {
        std::lock_guard<std::mutex> lock(panelMutex);
        texts.swap(pendingPanels);
    }
    for (int i = 0; i < TStatusPanels::PanelCount; ++i)
        if (texts[static_cast<size_t>(i)])
            statusPanels->SetPanelText(i, QString::fromLatin1(texts[static_cast<size_t>(i)]->c_str()));
}

void TMainForm::RepaintStatusBar() {
    if (OnUiThread()) statusPanels->update();
    else PostToUi(statusRepaintPosted, &TMainForm::ApplyStatusBarRepaint);
}

void TMainForm::ApplyStatusBarRepaint() { statusPanels->update(); }

void TMainForm::RepaintScreen() { PostToUi(screenRepaintPosted, &TMainForm::ApplyScreenRepaint); }

void TMainForm::ApplyScreenRepaint() { screen->update(); }

void TMainForm::PresentFrame(const uint32_t* argb) {
    frames.Put(argb);
    PostToUi(screenRepaintPosted, &TMainForm::ApplyScreenRepaint);
}

std::unique_ptr<AudioOutput> TMainForm::OpenAudioOutput() {
    std::unique_ptr<AudioOutput> output = OpenHostAudioOutput();
    audioOutput = output.get();
    return output;
}
