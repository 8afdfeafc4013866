// The window's control of the emulation: pause with its panel and title,
// frame advance, host shortcuts that never reach the machine, quick slots,
// the options that now take effect (and are kept), the picture's placement,
// screenshots, sound recording and the tool windows placed beside the picture.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QImage>
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

    // A Ctrl+Alt combination that is no shortcut is the machine's.
    QTest::keyClick(MainForm, Qt::Key_Q, HostKeys);
    const std::vector<uint8_t> q = DrainKeyboard(b);
    QVERIFY(std::count(q.begin(), q.end(), uint8_t(0x15)) == 2); // Q's make and break
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

    // The next start takes them up again.
    emu.Stop();
    Emulator again("steps");
    qputenv("VEXA_SETTINGS", settings.fileName().toLocal8Bit());
    QVERIFY(again.Start());
    QCOMPARE(again.Machine()->SlicePace(), 3000000);
    QVERIFY(!OptionsForm->ChkSpeed->isChecked());
    QVERIFY(!MainForm->Screen()->Smooth());
    QVERIFY(!again.Machine()->RewindEnabled());
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
