// The main window's control of the emulation: pause and frame advance, speed
// and fast-forward, rewind, save states and quick slots, screenshots, sound
// recording, the picture's scaling and full screen, the host shortcuts, the
// speed readouts, and the places of the windows.
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "audio/AudioTap.h"
#include "audio/WavWriter.h"
#include "board/Machine.h"
#include "host/Files.h"
#include "ui/FormDebug.h"
#include "ui/FormDiag.h"
#include "ui/FormMain.h"
#include "ui/FormOptions.h"
#include "ui/Settings.h"

namespace {

const char* const kCaption = "Vexa Z80 Board Emulator";
// Rewind steps while its key is held: about eleven snapshots a second.
constexpr int RewindStepMs = 90;
constexpr int ReadoutMs = 500;
constexpr const char* StateFilter = "Vexa Save States (*.vxs);;All Files (*)";

Machine* CurrentMachine() { return VexaMachine.load(std::memory_order_acquire); }

QString Native(const std::string& text) { return QString::fromLocal8Bit(text.c_str()); }

} // namespace

// ---------------------------------------------------------------------------
// The picture

void TScreen::SetFiltering(bool smoothScaling, bool integerScaling) {
    smooth = smoothScaling;
    integerScale = integerScaling;
    update();
}

QRect TScreen::PictureRect(QSize area, bool integerScaling) {
    int w = 0, h = 0;
    if (integerScaling) {
        // Whole screen pixels per emulated pixel each way, as close to the
        // 600 x 408 proportion (1.5 : 1.7 per pixel) as whole numbers allow.
        for (int a = std::max(area.width() / FrameWidth, 1); a >= 1 && w == 0; --a) {
            const int b = std::max(1, static_cast<int>(std::lround(a * 17.0 / 15.0)));
            if ((a * FrameWidth <= area.width() && b * FrameHeight <= area.height()) || a == 1) {
                w = a * FrameWidth;
                h = b * FrameHeight;
            }
        }
    } else {
        // The largest 600 x 408 proportion that fits.
        w = area.width();
        h = static_cast<int>(std::lround(static_cast<double>(w) * DisplayHeight / DisplayWidth));
        if (h > area.height()) {
            h = area.height();
            w = static_cast<int>(std::lround(static_cast<double>(h) * DisplayWidth / DisplayHeight));
        }
    }
    return QRect((area.width() - w) / 2, (area.height() - h) / 2, w, h);
}

// ---------------------------------------------------------------------------
// Menus

void TMainForm::BuildControlMenus(QMenu* file, QAction* fileExit, QMenu* control, QMenu* help, QAction* helpAbout) {
    auto add = [this](QMenu* menu, QAction* before, const char* caption, const char* name, auto slot) {
        auto* action = new QAction(caption, menu);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, slot);
        menu->insertAction(before, action);
        return action;
    };
    MenuFileSaveState = add(file, fileExit, "&Save State...", "MenuFileSaveState", &TMainForm::MenuFileSaveStateClick);
    MenuFileLoadState = add(file, fileExit, "L&oad State...", "MenuFileLoadState", &TMainForm::MenuFileLoadStateClick);
    MenuFileQuickSave = new QMenu("&Quick Save", file);
    MenuFileQuickSave->setObjectName("MenuFileQuickSave");
    MenuFileQuickLoad = new QMenu("Quick Loa&d", file);
    MenuFileQuickLoad->setObjectName("MenuFileQuickLoad");
    for (int slot = 1; slot <= 9; ++slot) {
        QAction* save = MenuFileQuickSave->addAction(QString("Slot &%1\tCtrl+Alt+Shift+%1").arg(slot));
        save->setObjectName(QString("MenuFileQuickSave%1").arg(slot));
        connect(save, &QAction::triggered, this, [this, slot] { SaveStateTo(QuickSlotPath(slot)); });
        QAction* load = MenuFileQuickLoad->addAction(QString("Slot &%1\tCtrl+Alt+%1").arg(slot));
        load->setObjectName(QString("MenuFileQuickLoad%1").arg(slot));
        connect(load, &QAction::triggered, this, [this, slot] { LoadStateFrom(QuickSlotPath(slot)); });
    }
    file->insertMenu(fileExit, MenuFileQuickSave);
    file->insertMenu(fileExit, MenuFileQuickLoad);
    file->insertSeparator(fileExit);
    MenuFileScreenshot =
        add(file, fileExit, "Save Screens&hot...\tCtrl+Alt+S", "MenuFileScreenshot", &TMainForm::MenuFileScreenshotClick);
    MenuFileRecordSound =
        add(file, fileExit, "Record Sou&nd...\tCtrl+Alt+W", "MenuFileRecordSound", &TMainForm::MenuFileRecordSoundClick);
    MenuFileRecordSound->setCheckable(true);
    file->insertSeparator(fileExit);

    MenuControlPause->setText("&Pause Emulation\tCtrl+Alt+P");
    MenuControlResume->setText("Resu&me Emulation\tCtrl+Alt+P");
    MenuControlFrameAdvance = control->addAction("&Frame Advance\tCtrl+Alt+N", this, &TMainForm::AdvanceFrame);
    MenuControlFrameAdvance->setObjectName("MenuControlFrameAdvance");
    MenuControlFrameAdvance->setEnabled(false);
    control->addSeparator();
    MenuControlFastForward = control->addAction("Fast For&ward\tCtrl+Alt+F (hold)");
    MenuControlFastForward->setObjectName("MenuControlFastForward");
    MenuControlFastForward->setCheckable(true);
    connect(MenuControlFastForward, &QAction::toggled, this, &TMainForm::SetFastForward);
    MenuControlRewind = control->addAction("Rewind &One Step\tCtrl+Alt+R (hold)", this, [this] {
        if (Machine* m = CurrentMachine()) m->RewindStep();
    });
    MenuControlRewind->setObjectName("MenuControlRewind");

    QMenu* view = new QMenu("&View", menuBar());
    view->setObjectName("MenuView");
    for (QAction* a : menuBar()->actions())
        if (a->menu() && a->menu()->objectName() == "MenuDebug") menuBar()->insertMenu(a, view);
    MenuViewFullScreen = view->addAction("&Full Screen\tCtrl+Alt+Enter");
    MenuViewFullScreen->setObjectName("MenuViewFullScreen");
    MenuViewFullScreen->setCheckable(true);
    connect(MenuViewFullScreen, &QAction::triggered, this, &TMainForm::SetFullScreen);
    MenuViewIntegerScale = view->addAction("&Integer Scaling");
    MenuViewIntegerScale->setObjectName("MenuViewIntegerScale");
    MenuViewIntegerScale->setCheckable(true);
    MenuViewSmooth = view->addAction("&Smooth Scaling (Anti-alias)");
    MenuViewSmooth->setObjectName("MenuViewSmooth");
    MenuViewSmooth->setCheckable(true);
    MenuViewSmooth->setChecked(true);
    // The View entries and the options dialog's boxes are one setting each.
    connect(MenuViewIntegerScale, &QAction::triggered, this, [this](bool on) {
        if (OptionsForm) OptionsForm->ChkIntegerScale->setChecked(on);
        ApplyOptions();
    });
    connect(MenuViewSmooth, &QAction::triggered, this, [this](bool on) {
        if (OptionsForm) OptionsForm->ChkAntiAlias->setChecked(on);
        ApplyOptions();
    });

    MenuHelpShortcuts = new QAction("&Keyboard Shortcuts", help);
    MenuHelpShortcuts->setObjectName("MenuHelpShortcuts");
    connect(MenuHelpShortcuts, &QAction::triggered, this, &TMainForm::MenuHelpShortcutsClick);
    help->insertAction(helpAbout, MenuHelpShortcuts);

    readoutTimer = new QTimer(this);
    readoutTimer->setInterval(ReadoutMs);
    connect(readoutTimer, &QTimer::timeout, this, &TMainForm::UpdateReadouts);
    readoutTimer->start();
    rewindTimer = new QTimer(this);
    rewindTimer->setInterval(RewindStepMs);
    connect(rewindTimer, &QTimer::timeout, this, [this] {
        if (Machine* m = CurrentMachine()) m->RewindStep();
    });
    recordTimer = new QTimer(this);
    recordTimer->setInterval(100);
    connect(recordTimer, &QTimer::timeout, this, &TMainForm::DrainRecording);
}

// ---------------------------------------------------------------------------
// Pause, frame advance, speed

bool TMainForm::IsPaused() const {
    Machine* m = CurrentMachine();
    return m && m->IsUserPaused();
}

void TMainForm::SetPaused(bool paused) {
    Machine* m = CurrentMachine();
    if (!m || paused == m->IsUserPaused()) return;
    if (paused) SetFastForward(false);
    m->SetUserPaused(paused);
    UpdateRunState();
}

void TMainForm::MenuControlPauseClick() { SetPaused(true); }
void TMainForm::MenuControlResumeClick() { SetPaused(false); }

void TMainForm::AdvanceFrame() {
    Machine* m = CurrentMachine();
    if (!m || !m->IsUserPaused()) return;
    m->AdvanceFrame();
    if (DebugForm) DebugForm->RefreshView();
}

void TMainForm::SetFastForward(bool on) {
    Machine* m = CurrentMachine();
    if (on && IsPaused()) on = false;
    if (m) m->SetFastForward(on);
    if (MenuControlFastForward && MenuControlFastForward->isChecked() != on) {
        const QSignalBlocker block(MenuControlFastForward);
        MenuControlFastForward->setChecked(on);
    }
}

void TMainForm::SetRewinding(bool on) {
    Machine* m = CurrentMachine();
    if (!m || on == rewinding) return;
    rewinding = on;
    if (on) {
        // Held still while the snapshots go by; each step shows its picture.
        m->PauseCpu();
        m->RewindStep();
        rewindTimer->start();
    } else {
        rewindTimer->stop();
        m->ResumeCpu();
    }
    UpdateRunState();
}

void TMainForm::SetPanelText(int panel, const QString& text) {
    if (panel == PanelRunState) {
        runStateText = text;
        if (IsPaused() || rewinding) return;
    }
    statusPanels->SetPanelText(panel, text);
}

void TMainForm::UpdateRunState() {
    const bool paused = IsPaused();
    const bool running = CurrentMachine() != nullptr;
    MenuControlPause->setEnabled(running && !paused);
    MenuControlResume->setEnabled(running && paused);
    MenuControlFrameAdvance->setEnabled(running && paused);
    MenuControlFastForward->setEnabled(running && !paused);
    setWindowTitle(paused ? QString(kCaption) + " - PAUSED" : QString(kCaption));
    if (paused || rewinding) {
        statusPanels->SetPanelText(PanelRunState, paused ? "PAUSED" : "REWIND");
        statusPanels->SetPanelText(PanelSpeed, "");
        statusPanels->SetPanelText(PanelFrameRate, "");
    } else {
        statusPanels->SetPanelText(PanelRunState, runStateText);
    }
}

// The real figures: T-states and finished frames per second of host time.
void TMainForm::UpdateReadouts() {
    Machine* m = CurrentMachine();
    RepaintStatusBar(); // the SD lamps
    if (!m || IsPaused() || rewinding) {
        readoutMs = 0; // the first figures afterwards cover running time only
        return;
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const uint64_t cycles = m->CyclesRun(), frames = m->FramesRun();
    if (readoutMs != 0 && now > readoutMs) {
        const double seconds = static_cast<double>(now - readoutMs) / 1000.0;
        lastMhz = static_cast<double>(cycles - readoutCycles) / seconds / 1e6;
        lastFps = static_cast<double>(frames - readoutFrames) / seconds;
        statusPanels->SetPanelText(PanelSpeed, QString::asprintf("%4.1f MHz", lastMhz));
        statusPanels->SetPanelText(PanelFrameRate, QString::asprintf("%3.0f FPS", lastFps));
    }
    readoutMs = now;
    readoutCycles = cycles;
    readoutFrames = frames;
}

// ---------------------------------------------------------------------------
// Host shortcuts

bool TMainForm::HandleHostShortcut(QKeyEvent* key, uint16_t vk, bool press) {
    const uint32_t id = key->nativeScanCode() != 0 ? key->nativeScanCode() : static_cast<uint32_t>(vk) | 0x10000u;
    if (!press) {
        auto it = shortcutKeysDown.find(id);
        if (it == shortcutKeysDown.end()) return false;
        if (it->second == HostCommand::FastForward) SetFastForward(false);
        if (it->second == HostCommand::Rewind) SetRewinding(false);
        shortcutKeysDown.erase(it);
        return true;
    }
    // A repeat of a shortcut's key is the shortcut's, even once Ctrl or Alt
    // has been let go: its release will not reach the machine, so neither may
    // the repeat. A repeat of any other key is the machine's, Ctrl+Alt or not.
    if (shortcutKeysDown.count(id)) return true;
    if (key->isAutoRepeat()) return false;
    const Qt::KeyboardModifiers mods = key->modifiers();
    if (!(mods & Qt::ControlModifier) || !(mods & Qt::AltModifier)) return false;
    int slot = 0;
    const HostShortcut* shortcut = FindHostShortcut(vk, (mods & Qt::ShiftModifier) != 0, &slot);
    if (!shortcut) return false;
    shortcutKeysDown.emplace(id, shortcut->command);
    switch (shortcut->command) {
    case HostCommand::PauseResume: SetPaused(!IsPaused()); break;
    case HostCommand::FrameAdvance: AdvanceFrame(); break;
    case HostCommand::FastForward: SetFastForward(true); break;
    case HostCommand::Rewind: SetRewinding(true); break;
    case HostCommand::FullScreen: SetFullScreen(!fullScreen); break;
    case HostCommand::Screenshot: MenuFileScreenshotClick(); break;
    case HostCommand::RecordSound: MenuFileRecordSoundClick(); break;
    case HostCommand::QuickSave: SaveStateTo(QuickSlotPath(slot)); break;
    case HostCommand::QuickLoad: LoadStateFrom(QuickSlotPath(slot)); break;
    }
    return true;
}

void TMainForm::ReleaseHeldShortcuts() {
    if (shortcutKeysDown.empty()) return;
    shortcutKeysDown.clear();
    SetFastForward(false);
    SetRewinding(false);
}

void TMainForm::MenuHelpShortcutsClick() {
    QDialog dialog(this);
    dialog.setObjectName("ShortcutsForm");
    dialog.setWindowTitle("Keyboard Shortcuts");
    auto* text = new QPlainTextEdit(ShortcutHelpText(), &dialog);
    text->setObjectName("ShortcutsText");
    text->setReadOnly(true);
    text->setFont(QFont("Monospace"));
    text->setMinimumSize(520, 260);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    layout->addWidget(buttons);
    dialog.exec();
}

// ---------------------------------------------------------------------------
// Save states

QString TMainForm::QuickSlotPath(int slot) const {
    Machine* m = CurrentMachine();
    const QString folder = m && !m->Folder().empty() ? Native(m->Folder()) : QDir::currentPath();
    return QDir(folder).filePath(QString("quick%1.vxs").arg(slot));
}

bool TMainForm::SaveStateTo(const QString& path, bool quiet) {
    Machine* m = CurrentMachine();
    if (!m) return false;
    std::string error;
    if (m->SaveStateFile(path.toLocal8Bit().toStdString(), &error)) {
        statusBar()->showMessage(QString("State saved to %1").arg(QDir::toNativeSeparators(path)), 3000);
        return true;
    }
    if (!quiet) QMessageBox::critical(this, "Save State", QString("The state could not be saved:\n%1").arg(Native(error)));
    return false;
}

bool TMainForm::LoadStateFrom(const QString& path, bool quiet) {
    Machine* m = CurrentMachine();
    if (!m) return false;
    std::string error;
    const Machine::StateLoad result = m->LoadStateFile(path.toLocal8Bit().toStdString(), &error);
    if (result == Machine::StateLoad::Loaded) {
        if (DebugForm) DebugForm->RefreshView();
        statusBar()->showMessage(QString("State loaded from %1").arg(QDir::toNativeSeparators(path)), 3000);
        return true;
    }
    if (result == Machine::StateLoad::Failed && !quiet)
        QMessageBox::critical(this, "Load State",
                              QString("The state file %1 cannot be loaded:\n%2.\nThe running machine has not been changed.")
                                  .arg(QDir::toNativeSeparators(path), Native(error)));
    return false;
}

void TMainForm::MenuFileSaveStateClick() {
    const QString path = QFileDialog::getSaveFileName(this, "Save State", QuickSlotPath(0).replace("quick0", "state"),
                                                      StateFilter);
    if (!path.isEmpty()) SaveStateTo(path.endsWith(".vxs", Qt::CaseInsensitive) ? path : path + ".vxs");
}

void TMainForm::MenuFileLoadStateClick() {
    const QString path = QFileDialog::getOpenFileName(this, "Load State", QDir::currentPath(), StateFilter);
    if (!path.isEmpty()) LoadStateFrom(path);
}

// ---------------------------------------------------------------------------
// Screenshot and sound

bool TMainForm::SaveScreenshotTo(const QString& path, bool quiet) {
    // The frame as the machine made it, 400 x 240, not the scaled window.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    std::string error = "the picture could not be encoded";
    if (screen->Frame().save(&buffer, "PNG") &&
        WriteFileAtomically(path.toLocal8Bit().toStdString(), png.constData(), static_cast<size_t>(png.size()), &error)) {
        statusBar()->showMessage(QString("Screenshot saved to %1").arg(QDir::toNativeSeparators(path)), 3000);
        return true;
    }
    if (!quiet) QMessageBox::critical(this, "Save Screenshot", QString("The screenshot could not be saved:\n%1").arg(Native(error)));
    return false;
}

void TMainForm::MenuFileScreenshotClick() {
    const QString name = QDateTime::currentDateTime().toString("'vexa-'yyyyMMdd-HHmmss'.png'");
    const QString path =
        QFileDialog::getSaveFileName(this, "Save Screenshot", QDir::current().filePath(name), "PNG Images (*.png)");
    if (!path.isEmpty()) SaveScreenshotTo(path.endsWith(".png", Qt::CaseInsensitive) ? path : path + ".png");
}

bool TMainForm::IsRecording() const { return recorder && recorder->IsOpen(); }

bool TMainForm::StartRecording(const QString& path, bool quiet) {
    if (IsRecording()) StopRecording(quiet);
    std::string error = DescribeUnusableOutputPath(path.toLocal8Bit().toStdString());
    recorder = std::make_unique<WavWriter>();
    if (error.empty() && recorder->Open(path.toLocal8Bit().toStdString(), &error)) {
        if (!audioTap) audioTap = std::make_unique<AudioTap>();
        int16_t scratch[4096];
        while (audioTap->Read(scratch, 4096) != 0) {} // nothing from before the start
        if (audioOutput) audioOutput->SetTap(audioTap.get());
        recordTimer->start();
        MenuFileRecordSound->setChecked(true);
        MenuFileRecordSound->setText("Stop Recording Sou&nd\tCtrl+Alt+W");
        statusBar()->showMessage("Recording sound", 2000);
        return true;
    }
    recorder.reset();
    MenuFileRecordSound->setChecked(false);
    if (!quiet) QMessageBox::critical(this, "Record Sound", QString("The recording could not be started:\n%1").arg(Native(error)));
    return false;
}

void TMainForm::DrainRecording() {
    if (!IsRecording() || !audioTap) return;
    int16_t block[8192];
    for (size_t n; (n = audioTap->Read(block, 8192)) != 0;) recorder->Write(block, n / 2);
}

bool TMainForm::StopRecording(bool quiet) {
    if (!IsRecording()) return false;
    if (audioOutput) audioOutput->SetTap(nullptr);
    recordTimer->stop();
    DrainRecording();
    std::string error;
    const bool ok = recorder->Commit(&error);
    recorder.reset();
    MenuFileRecordSound->setChecked(false);
    MenuFileRecordSound->setText("Record Sou&nd...\tCtrl+Alt+W");
    if (!ok && !quiet) QMessageBox::critical(this, "Record Sound", QString("The recording could not be saved:\n%1").arg(Native(error)));
    return ok;
}

void TMainForm::MenuFileRecordSoundClick() {
    if (IsRecording()) {
        StopRecording();
        return;
    }
    MenuFileRecordSound->setChecked(false);
    const QString name = QDateTime::currentDateTime().toString("'vexa-'yyyyMMdd-HHmmss'.wav'");
    const QString path =
        QFileDialog::getSaveFileName(this, "Record Sound", QDir::current().filePath(name), "WAV Sound (*.wav)");
    if (!path.isEmpty()) StartRecording(path.endsWith(".wav", Qt::CaseInsensitive) ? path : path + ".wav");
}

// ---------------------------------------------------------------------------
// Full screen, options, window places

void TMainForm::SetFullScreen(bool on) {
    // Full screen is the picture alone; Ctrl+Alt+Enter brings the window back.
    if (on == fullScreen) return;
    fullScreen = on;
    menuBar()->setVisible(!on);
    statusPanels->setVisible(!on);
    if (on) {
        windowedGeometry = geometry();
        showFullScreen();
        // Without a window manager to act on the request, the size is set here.
        if (QScreen* display = QWidget::screen()) setGeometry(display->geometry());
    } else {
        setWindowState(windowState() & ~Qt::WindowFullScreen);
        showNormal();
        if (windowedGeometry.isValid()) setGeometry(windowedGeometry);
    }
    MenuViewFullScreen->setChecked(on);
}

void TMainForm::ApplyOptions() {
    if (!OptionsForm) return;
    const bool smooth = OptionsForm->ChkAntiAlias->isChecked();
    const bool integer = OptionsForm->ChkIntegerScale->isChecked();
    screen->SetFiltering(smooth, integer);
    MenuViewSmooth->setChecked(smooth);
    MenuViewIntegerScale->setChecked(integer);
    if (Machine* m = CurrentMachine()) {
        m->SetSlicePace(OptionsForm->ChkSpeed->isChecked() ? SliceCycles : OptionsForm->SpeedBar->value());
        const bool rewind = OptionsForm->ChkRewind->isChecked();
        if (rewind != m->RewindEnabled()) m->SetRewind(rewind);
    }
    MenuControlRewind->setEnabled(OptionsForm->ChkRewind->isChecked());
    OptionsForm->SaveSettings();
}

void TMainForm::PlaceBeside(QWidget* window) {
    if (!window || window->isVisible()) return;
    const QRect picture(screen->mapToGlobal(QPoint(0, 0)), screen->size());
    QRect frame = window->frameGeometry();
    if (!frame.intersects(picture) && window->property("placed").toBool()) return;
    QScreen* display = QWidget::screen();
    const QRect area = display ? display->availableGeometry() : QRect(0, 0, 1920, 1080);
    const QRect mine = frameGeometry();
    QPoint at(mine.right() + 8, mine.top());
    if (at.x() + frame.width() > area.right()) at.setX(std::max(area.left(), mine.left() - frame.width() - 8));
    if (QRect(at, frame.size()).intersects(picture)) at = QPoint(mine.left(), mine.bottom() + 8);
    window->move(at);
    window->setProperty("placed", true);
}

void TMainForm::RestoreWindowPlaces() {
    auto settings = OpenSettings();
    if (settings->contains("window/main")) restoreGeometry(settings->value("window/main").toByteArray());
    if (DebugForm && settings->contains("window/debugger")) {
        DebugForm->restoreGeometry(settings->value("window/debugger").toByteArray());
        DebugForm->setProperty("placed", true);
    }
    if (TDiagForm* monitor = DiagFormWindow(); monitor && settings->contains("window/monitor")) {
        monitor->restoreGeometry(settings->value("window/monitor").toByteArray());
        monitor->setProperty("placed", true);
    }
}

void TMainForm::SaveWindowPlaces() {
    auto settings = OpenSettings();
    if (!fullScreen) settings->setValue("window/main", saveGeometry());
    if (DebugForm && DebugForm->property("placed").toBool())
        settings->setValue("window/debugger", DebugForm->saveGeometry());
    if (TDiagForm* monitor = DiagFormWindow(); monitor && monitor->property("placed").toBool())
        settings->setValue("window/monitor", monitor->saveGeometry());
}
