// The emulator's main window: the emulated screen, the 17-panel status bar,
// the menus, host keys into the machine, and the close sequence. It is the
// machine's Host: what the CPU and display threads ask of it is handed over
// to the Qt thread here.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QStatusBar>
#include <array>
#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/FrameStore.h"
#include "host/Host.h"
#include "host/StatusPanels.h"

class QAction;
class QMenu;
class Machine;
class TVexaBoard;
class TMainForm;

extern TMainForm* MainForm;
// The window's one machine and its board: null before the main window has
// built the machine and after it has closed. Worker threads read them, so
// they are atomic; every reader tests for null.
extern std::atomic<Machine*> VexaMachine;
extern std::atomic<TVexaBoard*> VexaBoard;

// The client area above the status bar: the frame stretched to 600 x 408 at
// the top left on black, whatever the window's size.
class TScreen : public QWidget {
    Q_OBJECT
public:
    static constexpr int DisplayWidth = 600;
    static constexpr int DisplayHeight = 408;

    TScreen(FrameStore* store, QWidget* parent);
    const QImage& Frame() const { return frame; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    FrameStore* store;
    QImage frame;
};

// A status bar of fixed-width panels, two of them (the SD lamps) drawn by
// the main window.
class TStatusPanels : public QStatusBar {
    Q_OBJECT
public:
    static constexpr int PanelCount = StatusPanelCount;
    static constexpr int BarHeight = 19;
    enum Align { Left, Centre, Right };
    struct Panel {
        int width;
        QString text;
        Align align;
        bool bevel;
    };

    explicit TStatusPanels(QWidget* parent);
    void SetPanelText(int panel, const QString& text);
    QString PanelText(int panel) const;
    int PanelWidth(int panel) const;
    QRect PanelRect(int panel) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<Panel, PanelCount> panels;
};

class TMainForm : public QMainWindow, public Host {
    Q_OBJECT
public:
    TMainForm();
    ~TMainForm() override;

    TStatusPanels* StatusBar() const { return statusPanels; }
    TScreen* Screen() const { return screen; }
    void SetPanelText(int panel, const QString& text) { statusPanels->SetPanelText(panel, text); }
    QString PanelText(int panel) const { return statusPanels->PanelText(panel); }
    // True once the machine or a start-up error asked the program to end.
    bool TerminateRequested() const { return terminateRequested.load(std::memory_order_acquire); }
    // True when the close could not write the memory dumps.
    bool ShutdownFailed() const { return shutdownFailed; }
    // The colour panel 5 or 6 is drawn in now (this takes the lamp's flag).
    QColor LampColour(int panel);

    // Host: called by the machine from the CPU, display or Qt thread.
    MsgAnswer ShowMessage(const std::string& text, const std::string& caption, MsgButtons buttons,
                          MsgIcon icon) override;
    void RequestTerminate() override;
    void SetStatusPanel(int panel, std::string_view text) override;
    void RepaintStatusBar() override;
    void RepaintScreen() override;
    void PresentFrame(const uint32_t* argb) override;
    std::unique_ptr<AudioOutput> OpenAudioOutput() override;

    // Closes the machine as closing the window does (the question about card
    // writes, then the dumps in its folder) and starts a new one in folder.
    // False, with the running machine untouched, when folder holds no
    // config.txt or the close was refused.
    bool OpenRunFolder(const QString& folder);
    // Run folders used lately, newest first.
    QStringList RecentFolders() const;
    static constexpr int MaxRecentFolders = 8;

    void FormKeyDown(uint16_t key, int shift);
    void FormKeyUp(uint16_t key, int shift);

    QAction* MenuFileLoadVXF = nullptr;
    QAction* MenuFileLoadRaw = nullptr;
    QAction* MenuFileOpenFolder = nullptr;
    QMenu* MenuFileRecent = nullptr;
    QAction* MenuFileExit = nullptr;
    QAction* MenuControlReset = nullptr;
    QAction* MenuControlNMI = nullptr;
    QAction* MenuControlOptions = nullptr;
    QAction* MenuControlPause = nullptr;
    QAction* MenuControlResume = nullptr;
    QAction* MenuDebugDebugger = nullptr;
    QAction* MenuDebugMonitor = nullptr;
    QAction* MenuHelpAbout = nullptr;

public slots:
    void MenuFileLoadVXFClick();
    void MenuFileOpenFolderClick();
    void MenuControlResetClick();
    void MenuControlNMIClick();
    void MenuControlOptionsClick();
    void MenuDebugDebuggerClick();
    void MenuDebugMonitorClick();
    void MenuHelpAboutClick();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    friend class TStatusPanels;
    void BuildMenus();
    // Builds the machine in the current folder and makes it the window's.
    void CreateMachine();
    void RememberFolder(const QString& folder);
    void FillRecentMenu();
    // A key event seen before any control; true when it must go no further.
    bool HandleKey(QEvent* event);
    void ApplyPendingPanels();
    void PostToUi(std::atomic<bool>& posted, void (TMainForm::*apply)());
    void ApplyScreenRepaint();
    void ApplyStatusBarRepaint();
    bool FormCloseQuery();
    void FormClose();
    void DestroyBoard();

    TScreen* screen = nullptr;
    TStatusPanels* statusPanels = nullptr;
    FrameStore frames;
    Machine* machine = nullptr;
    bool shown = false;
    bool shutdownFailed = false;
    std::atomic<bool> terminateRequested{false};

    std::mutex panelMutex;
    std::array<std::optional<std::string>, TStatusPanels::PanelCount> pendingPanels;
    std::atomic<bool> panelsPosted{false};
    std::atomic<bool> screenRepaintPosted{false};
    std::atomic<bool> statusRepaintPosted{false};

    // The code sent for each physical key that is down, so that its release
    // sends the same code even if the modifiers changed in between.
    std::unordered_map<uint32_t, uint16_t> keysDown;
};
