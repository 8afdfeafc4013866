// The debugger: stepping with the CPU thread paused, Step Over across a
// CALL, the breakpoint stopping the machine, the breakpoint field, the
// memory view and the listing.
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>

#include "UiTestSupport.h"
#include "board/Machine.h"
#include "cpu/CPUThread.h"
#include "ui/FormDebug.h"
#include "ui/FormMain.h"

using namespace ui_testing;

namespace {

// Stops the debugger (and with it the machine) and cold-boots: PC 0, held.
void StopAndReset() {
    DebugForm->show();
    if (DebugForm->IsRunning()) DebugForm->BtnRun->click();
    QVERIFY(!DebugForm->IsRunning());
    DebugForm->BtnReset->click();
    QCOMPARE(DebugForm->EditPC->text(), QString("0000"));
}

unsigned Hex(QLineEdit* edit) { return edit->text().toUInt(nullptr, 16); }

} // namespace

class DebuggerTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void StepIntoRunsExactlyOneInstruction();
    void StepOverRunsTheWholeCall();
    void BreakpointStopsTheMachine();
    void BreakpointFieldTakesOnlyHex();
    void MemoryViewReachesTheTopOfMemory();
    void ListingReadsBootRomBelow0x200();
    void ClosingTheDebuggerLeavesTheMachineRunning();

private:
    std::unique_ptr<Emulator> emu;
};

void DebuggerTest::init() {
    emu = std::make_unique<Emulator>("steps");
    QVERIFY(emu->Start());
}

void DebuggerTest::cleanup() { emu.reset(); }

void DebuggerTest::StepIntoRunsExactlyOneInstruction() {
    StopAndReset();
    TVexaBoard* b = emu->Board();
    QVERIFY(VexaMachine.load()->IsCpuHeld());
    QCOMPARE(MainForm->PanelText(0), QString("IDLE"));
    QVERIFY(DebugForm->BtnStep->isEnabled());
    QCOMPARE(DebugForm->BtnRun->text(), QString("Run"));
    const unsigned slices = VexaMachine.load()->CpuThread()->SliceCount();

    DebugForm->BtnStep->click(); // ld sp,0xF000
    QCOMPARE(DebugForm->EditPC->text(), QString("0003"));
    QCOMPARE(DebugForm->EditSP->text(), QString("F000"));
    DebugForm->BtnStep->click(); // ld a,0x11
    QCOMPARE(DebugForm->EditPC->text(), QString("0005"));
    QCOMPARE(Hex(DebugForm->EditAF) >> 8, 0x11u);
    DebugForm->BtnStep->click(); // ld b,0x22
    DebugForm->BtnStep->click(); // call routine: into it
    QCOMPARE(DebugForm->EditPC->text(), QString("0013"));
    QCOMPARE(DebugForm->EditSP->text(), QString("EFFE"));
    QCOMPARE(Hex(DebugForm->EditBC), 0x2200u);
    // The CPU thread did not run meanwhile: the machine stays where the steps left it.
    Pump(100);
    QCOMPARE(VexaMachine.load()->CpuThread()->SliceCount(), slices);
    QCOMPARE(VexaMachine.load()->RegisterSnapshot().PC, 0x13u);
    QCOMPARE(int(b->MainRam()[0x4001]), 0);
}

void DebuggerTest::StepOverRunsTheWholeCall() {
    StopAndReset();
    TVexaBoard* b = emu->Board();
    for (int i = 0; i < 3; ++i) DebugForm->BtnStep->click();
    QCOMPARE(DebugForm->EditPC->text(), QString("0007"));
    QCOMPARE(TDebugForm::StepOverTarget(0x0007), uint16_t(0x000A)); // CALL nn is three bytes
    DebugForm->BtnStepOver->click();
    QVERIFY(WaitFor([] { return !DebugForm->IsRunning(); }));
    QCOMPARE(DebugForm->EditPC->text(), QString("000A"));
    QCOMPARE(DebugForm->EditSP->text(), QString("F000"));
    QCOMPARE(Hex(DebugForm->EditBC), 0x2233u); // the routine ran: C = 0x33
    QCOMPARE(int(b->MainRam()[0x4001]), 0x5A);
    QCOMPARE(int(b->MainRam()[0x4000]), 0);      // and nothing after the CALL did
    QVERIFY(VexaMachine.load()->IsCpuHeld());
    // Step Over's stop does not stay behind as a breakpoint.
    QCOMPARE(VexaMachine.load()->BreakpointAddress().load(), -1);
}

void DebuggerTest::BreakpointStopsTheMachine() {
    StopAndReset();
    TVexaBoard* b = emu->Board();
    DebugForm->hide();
    QTest::keyClicks(DebugForm->EditBP, "0010");
    DebugForm->ChkBP->click();
    QCOMPARE(VexaMachine.load()->BreakpointAddress().load(), 0x10);
    DebugForm->BtnRun->click();
    // The machine reaches the spin loop and stops there; the debugger shows it.
    QVERIFY(WaitFor([] { return !DebugForm->IsRunning(); }));
    QVERIFY(DebugForm->isVisible());
    QCOMPARE(MainForm->PanelText(0), QString("IDLE"));
    QCOMPARE(DebugForm->EditPC->text(), QString("0010"));
    QCOMPARE(Hex(DebugForm->EditHL), 0x1234u);
    QCOMPARE(int(b->MainRam()[0x4000]), 0x5A);
    Pump(100);
    QCOMPARE(VexaMachine.load()->RegisterSnapshot().PC, 0x10u);
    QVERIFY(VexaMachine.load()->IsCpuHeld());
    // Run goes once round the loop and stops at the breakpoint again.
    for (unsigned hl = 0x1235; hl < 0x1238; ++hl) {
        DebugForm->BtnRun->click();
        QVERIFY(WaitFor([] { return !DebugForm->IsRunning(); }));
        QCOMPARE(DebugForm->EditPC->text(), QString("0010"));
        QCOMPARE(Hex(DebugForm->EditHL), hl);
    }
    // Without the breakpoint the machine runs on.
    DebugForm->ChkBP->click();
    QCOMPARE(VexaMachine.load()->BreakpointAddress().load(), -1);
    DebugForm->BtnRun->click();
    QVERIFY(WaitFor([] { return VexaMachine.load()->RegisterSnapshot().HL > 0x2000; }));
    QVERIFY(DebugForm->IsRunning());
}

void DebuggerTest::BreakpointFieldTakesOnlyHex() {
    QTest::keyClicks(DebugForm->EditBP, "12G4");
    DebugForm->ChkBP->click();
    QCOMPARE(VexaMachine.load()->BreakpointAddress().load(), -1);
    DebugForm->EditBP->clear();
    DebugForm->ChkBP->setChecked(false);
    QTest::keyClicks(DebugForm->EditBP, "8000");
    DebugForm->ChkBP->click();
    QCOMPARE(VexaMachine.load()->BreakpointAddress().load(), 0x8000);
    // Editing the text unticks the box and clears the breakpoint.
    QTest::keyClick(DebugForm->EditBP, Qt::Key_Backspace);
    QVERIFY(!DebugForm->ChkBP->isChecked());
    QCOMPARE(VexaMachine.load()->BreakpointAddress().load(), -1);
    DebugForm->EditBP->setText(" 10");
    DebugForm->ChkBP->click();
    QCOMPARE(VexaMachine.load()->BreakpointAddress().load(), -1);
}

void DebuggerTest::MemoryViewReachesTheTopOfMemory() {
    StopAndReset();
    TVexaBoard* b = emu->Board();
    b->MainRam()[0xFFC1] = 'V';
    b->MainRam()[0xFFFF] = 0x99;
    DebugForm->MemoryScroll->setValue(DebugForm->MemoryScroll->maximum());
    QTableWidget* grid = DebugForm->MemoryGrid;
    QCOMPARE(grid->item(0, 0)->text(), QString("ffc0"));
    QCOMPARE(grid->item(0, 2)->text(), QString("56"));
    QCOMPARE(grid->item(0, 9)->text(), QString(".V......"));
    QCOMPARE(grid->item(7, 0)->text(), QString("fff8"));
    QCOMPARE(grid->item(7, 8)->text(), QString("99"));
    // While stopped, what a step writes shows without scrolling.
    DebugForm->MemoryScroll->setValue(0x4000 / 8);
    for (int i = 0; i < 7; ++i) DebugForm->BtnStep->click(); // through the routine's store
    QCOMPARE(grid->item(0, 2)->text(), QString("5a"));
}

void DebuggerTest::ListingReadsBootRomBelow0x200() {
    StopAndReset();
    TVexaBoard* b = emu->Board();
    QCOMPARE(DebugForm->SourceList->count(), 0); // not following PC yet
    // RAM is mapped at the bottom of memory, yet the listing reads the boot ROM there.
    QCOMPARE(int(b->BootRom()[0x1FE]), 0); // nop
    QCOMPARE(int(b->BootRom()[0x1FF]), 0); // nop
    b->MainRam()[0x1FE] = 0xC3;        // what the CPU would see: jp ...
    b->MainRam()[0x1FF] = 0x00;
    b->MainRam()[0x200] = 0x3E;        // ld a,0x42
    b->MainRam()[0x201] = 0x42;
    b->OutPort(0x0B, 0x50);
    b->Regs.PC = 0x1FE;
    VexaMachine.load()->PublishRegisters();
    DebugForm->TagSourceTrace->setChecked(true);
    DebugForm->RefreshView();
    QListWidget* list = DebugForm->SourceList;
    QCOMPARE(list->count(), 50);
    auto expected = [](uint16_t address, std::vector<uint8_t> code) {
        code.resize(4, 0);
        char text[32] = {};
        Disassemble(code.data(), text, address);
        return QString::asprintf("%04x: %s", address, text);
    };
    QCOMPARE(list->item(0)->text(), expected(0x1FE, {0x00}));
    QCOMPARE(list->item(1)->text(), expected(0x1FF, {0x00}));
    QCOMPARE(list->item(2)->text(), expected(0x200, {0x3E, 0x42}));
    QVERIFY(list->item(3)->text().startsWith("0202: "));
}

// Closed while stopped, the debugger lets the machine go: nothing on screen
// could resume it otherwise. Closed while running, it changes nothing.
void DebuggerTest::ClosingTheDebuggerLeavesTheMachineRunning() {
    StopAndReset();
    Machine* m = VexaMachine.load();
    QVERIFY(m->IsCpuHeld());
    const unsigned slices = m->CpuThread()->SliceCount();
    DebugForm->close();
    QVERIFY(!DebugForm->isVisible());
    QVERIFY(DebugForm->IsRunning());
    QCOMPARE(MainForm->PanelText(0), QString("RUN"));
    QVERIFY(WaitFor([&] { return m->CpuThread()->SliceCount() > slices + 2; }));
    QVERIFY(!m->IsCpuHeld());

    DebugForm->show();
    DebugForm->close();
    QVERIFY(DebugForm->IsRunning());
    QVERIFY(WaitFor([&] { return m->RegisterSnapshot().HL > 0x2000; }));
}

QTEST_MAIN(DebuggerTest)
#include "DebuggerTest.moc"
