// The window's control of the emulation: pause with its panel and title,
// frame advance, host shortcuts that never reach the machine, quick slots,
// the options that now take effect (and are kept), the picture's placement,
// screenshots, sound recording and the tool windows placed beside the picture.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QSettings>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "UiTestSupport.h"
#include "audio/Vexaaudio.h"
#include "board/Machine.h"
#include "devices/Vexakeyboard.h"
#include "ui/FormAbout.h"
#include "ui/FormDebug.h"
#include "ui/FormMain.h"
#include "ui/FormOptions.h"

using namespace ui_testing;

namespace {

constexpr Qt::KeyboardModifiers HostKeys = Qt::ControlModifier | Qt::AltModifier;

// Empties the emulated keyboard's queue and returns what was in it.
std::vector<uint8_t> DrainKeyboard(TVexaBoard* b) {
    std::vector<uint8_t> bytes;
    while (b->Keyboard()->HasData() && bytes.size() < 64) bytes.push_back(b->Keyboard()->ReadQueuedByte());
    return bytes;
}

// Ctrl and Alt themselves are the machine's keys (a press and its release
// each); the key that makes the shortcut never arrives.
bool OnlyModifiers(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes)
        if (b != 0x14 && b != 0x11 && b != 0xF0 && b != 0xE0) return false;
    return true;
}

} // namespace

class ControlTest : public QObject {
    Q_OBJECT
private slots:
    void pauseShowsInPanelAndTitleAndFrameAdvanceStepsOneFrame();
    void hostShortcutsNeverReachTheMachine();
    void heldRewindStepsBackAndReleaseRunsOnFromThere();
    void quickSlotsSaveAndLoadTheMachine();
    void optionsTakeEffectAndAreKept();
    void pictureKeepsItsProportionAndIntegerSteps();
    void screenshotAndSoundRecording();
    void toolWindowsOpenBesideThePicture();
};

void ControlTest::pauseShowsInPanelAndTitleAndFrameAdvanceStepsOneFrame() {
    Emulator emu("steps");
    QVERIFY(emu.Start());
    ::Machine* m = emu.Machine();
    QVERIFY(MainForm->MenuControlPause->isEnabled());
    QVERIFY(!MainForm->MenuControlResume->isEnabled());
    QVERIFY(!MainForm->MenuControlFrameAdvance->isEnabled());
    // The true readouts: about 20 MHz at the board's pace, whatever the host.
    QVERIFY(WaitFor([&] { return MainForm->LastMhz() > 0; }, 5000));
    QVERIFY2(MainForm->LastMhz() < 21.0, qPrintable(QString::number(MainForm->LastMhz())));
    // Fast-forward figures of four digits fit their panels, as painted.
    const QFontMetrics metrics(MainForm->StatusBar()->font());
    QVERIFY(metrics.horizontalAdvance("1234.5 MHz") <= MainForm->StatusBar()->PanelWidth(PanelSpeed) - 6);
    QVERIFY(metrics.horizontalAdvance("2345 FPS") <= MainForm->StatusBar()->PanelWidth(PanelFrameRate) - 6);

    MainForm->MenuControlPause->trigger();
    QVERIFY(m->IsUserPaused());
    QCOMPARE(MainForm->PanelText(PanelRunState), QString("PAUSED"));
    QCOMPARE(MainForm->PanelText(PanelSpeed), QString());
    QCOMPARE(MainForm->PanelText(PanelFrameRate), QString());
    QVERIFY(MainForm->windowTitle().contains("PAUSED"));
    QVERIFY(MainForm->MenuControlResume->isEnabled());
    QVERIFY(!MainForm->MenuControlPause->isEnabled());
    // The debugger's Run and Stop do not let a paused machine go.
    DebugForm->BtnRunClick();
    DebugForm->BtnRunClick();
    QCOMPARE(MainForm->PanelText(PanelRunState), QString("PAUSED"));

    const uint64_t cycles = m->CyclesRun(), frames = m->FramesRun();
    Pump(200);
    QCOMPARE(m->CyclesRun(), cycles);
    MainForm->MenuControlFrameAdvance->trigger();
    QCOMPARE(m->FramesRun(), frames + 1);
    QVERIFY(m->IsCpuHeld());

    MainForm->MenuControlResume->trigger();
    QVERIFY(!m->IsUserPaused());
    QCOMPARE(MainForm->PanelText(PanelRunState), QString("RUN"));
    QVERIFY(!MainForm->windowTitle().contains("PAUSED"));
    QVERIFY(WaitFor([&] { return m->CyclesRun() > cycles + CyclesPerFrame; }));
}

void ControlTest::hostShortcutsNeverReachTheMachine() {
    Emulator emu("steps");
    QVERIFY(emu.Start());
    ::Machine* m = emu.Machine();
    TVexaBoard* b = emu.Board();
    DrainKeyboard(b);

    QTest::keyClick(MainForm, Qt::Key_P, HostKeys);
    QVERIFY(m->IsUserPaused());
    QTest::keyClick(MainForm, Qt::Key_N, HostKeys);
    QTest::keyClick(MainForm, Qt::Key_P, HostKeys);
    QVERIFY(!m->IsUserPaused());
    QVERIFY(OnlyModifiers(DrainKeyboard(b)));

    // Held fast-forward: on while the key is down, off at its release.
    QTest::keyPress(MainForm, Qt::Key_F, HostKeys);
    QVERIFY(m->IsFastForward());
    QTest::keyRelease(MainForm, Qt::Key_F, HostKeys);
    QVERIFY(!m->IsFastForward());
    // A release that comes while another window has the keyboard still ends it.
    QTest::keyPress(MainForm, Qt::Key_F, HostKeys);
    QVERIFY(m->IsFastForward());
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(MainForm, &deactivate);
    QVERIFY(!m->IsFastForward());
    QVERIFY(OnlyModifiers(DrainKeyboard(b)));

    // Auto-repeat. A shortcut key still held after Ctrl and Alt are let go
    // repeats into the shortcut, not into the machine (whose release it would
    // never see); a key the machine holds stays the machine's when Ctrl+Alt
    // join it, so it cannot start a shortcut that would swallow its release.
    auto repeat = [](Qt::Key k, Qt::KeyboardModifiers mods) {
        QKeyEvent press(QEvent::KeyPress, k, mods, QString(), /*autorep=*/true);
        QApplication::sendEvent(MainForm, &press);
    };
    QTest::keyPress(MainForm, Qt::Key_F, HostKeys);
    repeat(Qt::Key_F, Qt::NoModifier);
    QTest::keyRelease(MainForm, Qt::Key_F, Qt::NoModifier);
    QVERIFY(!m->IsFastForward());
    QVERIFY(OnlyModifiers(DrainKeyboard(b)));
    QTest::keyPress(MainForm, Qt::Key_R, Qt::NoModifier);
    repeat(Qt::Key_R, HostKeys);
    QVERIFY(!MainForm->IsRewinding());
    QTest::keyRelease(MainForm, Qt::Key_R, HostKeys);
    const std::vector<uint8_t> r = DrainKeyboard(b);
    QVERIFY(std::count(r.begin(), r.end(), uint8_t(0x2D)) >= 2); // R's make(s) and its break
    QVERIFY(std::find(r.begin(), r.end(), uint8_t(0xF0)) != r.end());

    // A Ctrl+Alt combination that is no shortcut is the machine's.
    QTest::keyClick(MainForm, Qt::Key_Q, HostKeys);
    const std::vector<uint8_t> q = DrainKeyboard(b);
    QVERIFY(std::count(q.begin(), q.end(), uint8_t(0x15)) == 2); // Q's make and break
}

void ControlTest::heldRewindStepsBackAndReleaseRunsOnFromThere() {
    Emulator emu("steps");
    QVERIFY(emu.Start());
    ::Machine* m = emu.Machine();
    TVexaBoard* b = emu.Board();
    QVERIFY(m->RewindEnabled());
    QVERIFY(WaitFor([&] { return m->RewindCount() >= 4; }, 8000));
    DrainKeyboard(b);

    QTest::keyPress(MainForm, Qt::Key_R, HostKeys);
    QVERIFY(MainForm->IsRewinding());
    QVERIFY(m->IsCpuHeld());
    QCOMPARE(MainForm->PanelText(PanelRunState), QString("REWIND"));
    QCOMPARE(MainForm->PanelText(PanelSpeed), QString());
    const uint64_t first = b->EmulatedCycles();
    const size_t left = m->RewindCount();
    // Held: the timer steps on through older snapshots, each shown.
    QVERIFY(WaitFor([&] { return b->EmulatedCycles() < first; }, 3000));
    QVERIFY(m->RewindCount() < left);
    QVERIFY(m->IsCpuHeld());
    const uint64_t back = b->EmulatedCycles(), work = m->CyclesRun();

    QTest::keyRelease(MainForm, Qt::Key_R, HostKeys);
    QVERIFY(!MainForm->IsRewinding());
    QVERIFY(!m->IsCpuHeld());
    QCOMPARE(MainForm->PanelText(PanelRunState), QString("RUN"));
    Pump(1100);
    QVERIFY2(MainForm->LastMhz() > 0 && MainForm->LastMhz() < 21.0, qPrintable(QString::number(MainForm->LastMhz())));
    MainForm->SetPaused(true);
    // The run went on from the snapshot it was let go at: the clock moved
    // from there by exactly the work done since.
    QCOMPARE(b->EmulatedCycles() - back, m->CyclesRun() - work);
    QVERIFY(OnlyModifiers(DrainKeyboard(b)));

    // Paused, a rewind leaves it paused.
    QTest::keyPress(MainForm, Qt::Key_R, HostKeys);
    QTest::keyRelease(MainForm, Qt::Key_R, HostKeys);
    QVERIFY(m->IsUserPaused());
    QVERIFY(m->IsCpuHeld());
    QCOMPARE(MainForm->PanelText(PanelRunState), QString("PAUSED"));
    MainForm->SetPaused(false);
    QVERIFY(!m->IsCpuHeld());
}

void ControlTest::quickSlotsSaveAndLoadTheMachine() {
    Emulator emu("steps");
    QVERIFY(emu.Start());
    ::Machine* m = emu.Machine();
    QVERIFY(WaitFor([&] { return m->CyclesRun() > 4 * CyclesPerFrame; }));
    MainForm->SetPaused(true);
    QTest::keyClick(MainForm, Qt::Key_3, HostKeys | Qt::ShiftModifier);
    QVERIFY(std::filesystem::exists(emu.Dir() / "quick3.vxs"));
    const uint64_t saved = m->Board().EmulatedCycles();
    MainForm->SetPaused(false);
    QVERIFY(WaitFor([&] { return m->CyclesRun() > saved + 20 * CyclesPerFrame; }));

    MainForm->SetPaused(true);
    QTest::keyClick(MainForm, Qt::Key_3, HostKeys);
    QCOMPARE(m->Board().EmulatedCycles(), saved);
    // Loaded while running, the clock goes back; the readouts still show
    // the pace, not time running backwards.
    MainForm->SetPaused(false);
    QVERIFY(WaitFor([&] { return m->CyclesRun() > saved + 20 * CyclesPerFrame; }));
    Pump(600);
    QVERIFY(MainForm->LoadStateFrom(MainForm->QuickSlotPath(3)));
    double highest = 0;
    WaitFor([&] { return (highest = std::max(highest, MainForm->LastMhz())), false; }, 1100);
    QVERIFY2(highest > 0 && highest < 21.0, qPrintable(QString::number(highest)));
    MainForm->SetPaused(true);

    // A slot never saved: a box that says so, and the machine as it was.
    BoxAnswerer boxes;
    const uint64_t before = m->Board().EmulatedCycles();
    QVERIFY(!MainForm->LoadStateFrom(MainForm->QuickSlotPath(7)));
    QCOMPARE(boxes.seen.size(), 1);
    QVERIFY2(boxes.seen[0].contains("has not been changed"), qPrintable(boxes.seen[0]));
    QCOMPARE(m->Board().EmulatedCycles(), before);
}

void ControlTest::optionsTakeEffectAndAreKept() {
    Emulator emu("steps");
    QVERIFY(emu.Start());
    ::Machine* m = emu.Machine();
    QCOMPARE(m->SlicePace(), SliceCycles);
    OptionsForm->ChkSpeed->click();
    QVERIFY(OptionsForm->SpeedBar->isEnabled());
    OptionsForm->SpeedBar->setValue(200000);
    QCOMPARE(m->SlicePace(), 200000);
    QVERIFY(!m->Board().Audio()->IsMuted());
    OptionsForm->SpeedBar->setValue(3000000);
    QVERIFY2(m->Board().Audio()->IsMuted(), "faster than the board's pace the sound is muted");
    OptionsForm->ChkAntiAlias->setChecked(false);
    QVERIFY(!MainForm->Screen()->Smooth());
    QVERIFY(!MainForm->MenuViewSmooth->isChecked());
    MainForm->MenuViewIntegerScale->trigger();
    QVERIFY(OptionsForm->ChkIntegerScale->isChecked());
    QVERIFY(MainForm->Screen()->IntegerScale());
    OptionsForm->ChkRewind->setChecked(false);
    QVERIFY(!m->RewindEnabled());

    QSettings settings(QString::fromLocal8Bit(qgetenv("VEXA_SETTINGS")), QSettings::IniFormat);
    QCOMPARE(settings.value("speed/automatic").toBool(), false);
    QCOMPARE(settings.value("speed/slider").toInt(), 3000000);
    QCOMPARE(settings.value("video/antialias").toBool(), false);
    QCOMPARE(settings.value("video/integer").toBool(), true);
    QCOMPARE(settings.value("rewind/enabled").toBool(), false);
    // The dialogs are put where the user left them.
    auto moveAndClose = [](QDialog* dialog, QAction* opener, QPoint to) {
        QTimer::singleShot(100, [=] {
            dialog->move(to);
            dialog->accept();
        });
        opener->trigger();
    };
    moveAndClose(OptionsForm, MainForm->MenuControlOptions, QPoint(123, 77));
    moveAndClose(AboutForm, MainForm->MenuHelpAbout, QPoint(211, 99));

    // The next start takes them up again.
    emu.Stop();
    Emulator again("steps");
    qputenv("VEXA_SETTINGS", settings.fileName().toLocal8Bit());
    QVERIFY(again.Start());
    QCOMPARE(again.Machine()->SlicePace(), 3000000);
    QVERIFY(!OptionsForm->ChkSpeed->isChecked());
    QVERIFY(!MainForm->Screen()->Smooth());
    QVERIFY(!again.Machine()->RewindEnabled());
    auto placeOnOpening = [](QDialog* dialog, QAction* opener) {
        QPoint at;
        QTimer::singleShot(100, [&] {
            at = dialog->pos();
            dialog->accept();
        });
        opener->trigger();
        return at;
    };
    QCOMPARE(placeOnOpening(OptionsForm, MainForm->MenuControlOptions), QPoint(123, 77));
    QCOMPARE(placeOnOpening(AboutForm, MainForm->MenuHelpAbout), QPoint(211, 99));
}

void ControlTest::pictureKeepsItsProportionAndIntegerSteps() {
    QCOMPARE(TScreen::PictureRect(QSize(600, 408), false), QRect(0, 0, 600, 408));
    QCOMPARE(TScreen::PictureRect(QSize(1200, 1000), false), QRect(0, 92, 1200, 816));
    QCOMPARE(TScreen::PictureRect(QSize(1000, 408), false), QRect(200, 0, 600, 408));
    // Whole pixels: 3 x 3 fits 1300 x 900 (3 x 4 would not), centred.
    QCOMPARE(TScreen::PictureRect(QSize(1300, 900), true), QRect(50, 90, 1200, 720));
    QCOMPARE(TScreen::PictureRect(QSize(600, 408), true), QRect(100, 84, 400, 240));
}

void ControlTest::screenshotAndSoundRecording() {
    Emulator emu("steps");
    QVERIFY(emu.Start());
    QVERIFY(WaitFor([&] { return emu.Machine()->FramesRun() > 3; }));
    const QString png = QString::fromStdString((emu.Dir() / "shot.png").string());
    QVERIFY(MainForm->SaveScreenshotTo(png, true));
    QImage image(png);
    QCOMPARE(image.size(), QSize(400, 240));

    const QString wav = QString::fromStdString((emu.Dir() / "sound.wav").string());
    QVERIFY(MainForm->StartRecording(wav, true));
    QVERIFY(MainForm->IsRecording());
    QVERIFY(MainForm->MenuFileRecordSound->isChecked());
    Pump(300);
    QVERIFY(MainForm->StopRecording(true));
    QVERIFY(!MainForm->IsRecording());
    const std::vector<uint8_t> bytes = testing_support::ReadFileBytes(emu.Dir() / "sound.wav");
    QVERIFY(bytes.size() >= 44);
    QCOMPARE(std::string(bytes.begin(), bytes.begin() + 4), std::string("RIFF"));
    QVERIFY(!MainForm->StartRecording(QString::fromStdString((emu.Dir() / "no/such/folder.wav").string()), true));
}

void ControlTest::toolWindowsOpenBesideThePicture() {
    Emulator emu("steps");
    QVERIFY(emu.Start());
    MainForm->MenuDebugDebugger->trigger();
    QVERIFY(WaitFor([] { return DebugForm->isVisible(); }));
    const QRect picture(MainForm->Screen()->mapToGlobal(QPoint(0, 0)), MainForm->Screen()->size());
    QVERIFY(!DebugForm->frameGeometry().intersects(picture));

    // Help > Keyboard Shortcuts lists the host shortcuts.
    QString shown;
    QTimer::singleShot(100, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            if (auto* text = dialog->findChild<QPlainTextEdit*>("ShortcutsText")) shown = text->toPlainText();
            dialog->accept();
        }
    });
    MainForm->MenuHelpShortcuts->trigger();
    QVERIFY(shown.contains("Ctrl+Alt+P"));
    QVERIFY(shown.contains("Ctrl+Alt+R (hold)"));
}

QTEST_MAIN(ControlTest)
#include "ControlTest.moc"
