// The debugger: stepping with the CPU thread paused, Step Over across a
// CALL, Step Out, the breakpoint stopping the machine, the breakpoint field
// and the lists, watchpoints, register and flag editing, the memory view,
// the listing with labels, placement and the trace.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTabWidget>
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

#include <QApplication>
#include <QWheelEvent>
#include <filesystem>

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

// The breakpoint the Breakpoint field stands for, or -1.
int FieldBreakpoint() {
    for (const Breakpoint& bp : VexaMachine.load()->Debug().Breakpoints())
        if (bp.owner == DebugOwner::Field) return bp.address;
    return -1;
}

bool Refused(QLineEdit* edit) { return edit->property("invalid").toBool(); }

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
    void ListingShowsLabelsTheCurrentLineAndBreakpoints();
    void StepOutAndRunToCursor();
    void RegistersAndFlagsAreEditedWhileStopped();
    void BreakpointListTakesConditionsAndRefusesBadOnes();
    void WatchpointStopsAndSaysWhy();
    void MemoryViewGoesToLabelsEditsAndFinds();
    void OpensBesideTheMainWindowAndCloseLetsTheMachineRun();
    void TraceRecordsAndExports();

private:
    std::unique_ptr<Emulator> emu;
};

void DebuggerTest::init() {
    emu = std::make_unique<Emulator>("steps");
    // The labels beside the boot ROM are read at the machine's first boot.
    std::filesystem::copy_file(testing_support::TestProgram("ui", "steps").replace_extension(".sym"),
                               emu->Dir() / "rom.sym");
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
    QVERIFY(VexaMachine.load()->Debug().Breakpoints().empty());
    // Over an instruction that is no call it is one step.
    DebugForm->BtnStepOver->click();
    QVERIFY(!DebugForm->IsRunning());
    QCOMPARE(DebugForm->EditPC->text(), QString("000D"));
}

void DebuggerTest::BreakpointStopsTheMachine() {
    StopAndReset();
    TVexaBoard* b = emu->Board();
    DebugForm->hide();
    QTest::keyClicks(DebugForm->EditBP, "0010");
    DebugForm->ChkBP->click();
    QCOMPARE(FieldBreakpoint(), 0x10);
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
    QCOMPARE(VexaMachine.load()->Debug().Breakpoints()[0].hits, 4u);
    // Without the breakpoint the machine runs on.
    DebugForm->ChkBP->click();
    QCOMPARE(FieldBreakpoint(), -1);
    DebugForm->BtnRun->click();
    QVERIFY(WaitFor([] { return VexaMachine.load()->RegisterSnapshot().HL > 0x2000; }));
    QVERIFY(DebugForm->IsRunning());
}

void DebuggerTest::BreakpointFieldTakesOnlyHex() {
    QTest::keyClicks(DebugForm->EditBP, "12G4");
    QVERIFY(Refused(DebugForm->EditBP)); // shown at once, not accepted silently
    DebugForm->ChkBP->click();
    QCOMPARE(FieldBreakpoint(), -1);
    DebugForm->EditBP->clear();
    DebugForm->ChkBP->setChecked(false);
    QTest::keyClicks(DebugForm->EditBP, "8000");
    QVERIFY(!Refused(DebugForm->EditBP));
    DebugForm->ChkBP->click();
    QCOMPARE(FieldBreakpoint(), 0x8000);
    // Editing the text unticks the box and clears the breakpoint.
    QTest::keyClick(DebugForm->EditBP, Qt::Key_Backspace);
    QVERIFY(!DebugForm->ChkBP->isChecked());
    QCOMPARE(FieldBreakpoint(), -1);
    DebugForm->EditBP->setText(" 10x");
    DebugForm->ChkBP->click();
    QCOMPARE(FieldBreakpoint(), -1);
    // A label is an address too.
    DebugForm->ChkBP->setChecked(false);
    DebugForm->EditBP->setText("routine");
    DebugForm->ChkBP->click();
    QCOMPARE(FieldBreakpoint(), 0x13);
    QCOMPARE(VexaMachine.load()->Debug().Breakpoints().size(), size_t(1)); // one entry of the list
}

void DebuggerTest::MemoryViewReachesTheTopOfMemory() {
    StopAndReset();
    TVexaBoard* b = emu->Board();
    b->MainRam()[0xFFC1] = 'V';
    b->MainRam()[0xFFFF] = 0x99;
    DebugForm->MemoryScroll->setValue(DebugForm->MemoryScroll->maximum());
    QTableWidget* grid = DebugForm->MemoryGrid;
    // The last position ends at 0xFFFF, however many rows the window holds.
    const int last = grid->rowCount() - 1;
    QVERIFY(last >= 7);
    QCOMPARE(grid->item(last - 7, 0)->text(), QString("ffc0"));
    QCOMPARE(grid->item(last - 7, 2)->text(), QString("56"));
    QCOMPARE(grid->item(last - 7, 9)->text(), QString(".V......"));
    QCOMPARE(grid->item(last, 0)->text(), QString("fff8"));
    QCOMPARE(grid->item(last, 8)->text(), QString("99"));
    // While stopped, what a step writes shows without scrolling.
    DebugForm->MemoryScroll->setValue(0x4000 / 8);
    for (int i = 0; i < 7; ++i) DebugForm->BtnStep->click(); // through the routine's store
    QCOMPARE(grid->item(0, 2)->text(), QString("5a"));
}

void DebuggerTest::ListingReadsBootRomBelow0x200() {
    StopAndReset();
    TVexaBoard* b = emu->Board();
    QVERIFY(DebugForm->SourceList->count() >= 50); // filled when shown, though not following PC
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
    VexaMachine.load()->Debug().Symbols().Clear(); // plain lines only
    DebugForm->TagSourceTrace->setChecked(true); // refreshes at once
    QListWidget* list = DebugForm->SourceList;
    QVERIFY(list->count() >= 50);
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

void DebuggerTest::ListingShowsLabelsTheCurrentLineAndBreakpoints() {
    StopAndReset();
    for (int i = 0; i < 3; ++i) DebugForm->BtnStep->click(); // at the call
    DebugForm->TagSourceTrace->setChecked(true);
    QListWidget* list = DebugForm->SourceList;
    QCOMPARE(list->item(0)->text(), QString("0007: call   routine")); // the operand by name
    QCOMPARE(list->item(1)->text(), QString("after:"));              // a label on a line of its own
    QCOMPARE(list->item(2)->text(), QString("000a: ld     ($4000),a"));
    QCOMPARE(DebugForm->ListingAddress(1), -1);
    QCOMPARE(DebugForm->ListingAddress(2), 0x0A);
    const QColor current = list->item(0)->background().color();
    QVERIFY(current != list->item(2)->background().color());
    // Toggle Breakpoint on a line marks it and adds it to the list.
    list->setCurrentRow(2);
    DebugForm->ToggleBreakpointAtCursor();
    QCOMPARE(VexaMachine.load()->Debug().Breakpoints().size(), size_t(1));
    QCOMPARE(DebugForm->BreakpointList->rowCount(), 1);
    QVERIFY(list->item(2)->background().color() != QColor(Qt::white));
    DebugForm->ToggleBreakpointAtCursor();
    QVERIFY(VexaMachine.load()->Debug().Breakpoints().empty());
    // Go to Address: the listing from there, no longer following PC.
    DebugForm->ShowListingAt(0x66);
    QVERIFY(!DebugForm->TagSourceTrace->isChecked());
    QCOMPARE(list->item(0)->text(), QString("nmi:"));
    // A halted CPU says so.
    emu->Board()->MainRam()[0x4100] = 0x76; // halt
    Z80Registers r = VexaMachine.load()->Board().Regs;
    r.PC = 0x4100;
    VexaMachine.load()->SetRegisters(r);
    DebugForm->BtnStep->click();
    DebugForm->TagSourceTrace->setChecked(true);
    QVERIFY(list->item(0)->text().endsWith("; halted"));
    QVERIFY(DebugForm->LblStop->text().contains("halted"));
}

void DebuggerTest::StepOutAndRunToCursor() {
    StopAndReset();
    for (int i = 0; i < 5; ++i) DebugForm->BtnStep->click(); // into routine, past ld a,0x5A
    QCOMPARE(DebugForm->EditPC->text(), QString("0015"));
    DebugForm->BtnStepOut->click();
    QVERIFY(WaitFor([] { return !DebugForm->IsRunning(); }));
    QCOMPARE(DebugForm->EditPC->text(), QString("000A"));
    QCOMPARE(DebugForm->EditSP->text(), QString("F000"));
    QVERIFY(DebugForm->LblStop->text().startsWith("Returned to 0x000a (after)"));
    // Run to Cursor on spin.
    DebugForm->ShowListingAt(0x10);
    DebugForm->SourceList->setCurrentRow(1); // "0010: inc hl" under the "spin:" line
    QCOMPARE(DebugForm->ListingAddress(1), 0x10);
    DebugForm->RunToCursor();
    QVERIFY(WaitFor([] { return !DebugForm->IsRunning(); }));
    QCOMPARE(DebugForm->EditPC->text(), QString("0010"));
    QCOMPARE(Hex(DebugForm->EditHL), 0x1234u);
}

void DebuggerTest::RegistersAndFlagsAreEditedWhileStopped() {
    StopAndReset();
    Machine* m = VexaMachine.load();
    DebugForm->EditHL->selectAll();
    QTest::keyClicks(DebugForm->EditHL, "BEEF");
    QTest::keyClick(DebugForm->EditHL, Qt::Key_Return);
    QCOMPARE(m->Board().Regs.HL, 0xBEEFu);
    DebugForm->EditPC->selectAll();
    QTest::keyClicks(DebugForm->EditPC, "0013");
    QTest::keyClick(DebugForm->EditPC, Qt::Key_Return);
    DebugForm->BtnStep->click(); // ld a,0x5A from the routine
    QCOMPARE(DebugForm->EditPC->text(), QString("0015"));
    // An incomplete value is refused, visibly, and not written.
    DebugForm->EditDE->setText("12");
    emit DebugForm->EditDE->textEdited("12");
    QVERIFY(Refused(DebugForm->EditDE));
    emit DebugForm->EditDE->editingFinished();
    QCOMPARE(m->Board().Regs.DE & 0xFFFF, 0u);
    // Flags: Z on, then C on in the alternate set.
    DebugForm->FlagsPri[1]->click();
    QCOMPARE(m->Board().Regs.AF & 0x40, 0x40u);
    DebugForm->FlagsAlt[7]->click();
    QCOMPARE(m->Board().Regs.AFAlt & 0x01, 0x01u);
    // While running the fields take nothing.
    DebugForm->BtnRun->click();
    QVERIFY(DebugForm->EditHL->isReadOnly());
}

void DebuggerTest::BreakpointListTakesConditionsAndRefusesBadOnes() {
    StopAndReset();
    Machine* m = VexaMachine.load();
    DebugForm->EditNewBP->setText("spin");
    DebugForm->EditNewBPCondition->setText("HL == 1236 && (SP) != 0 ||");
    DebugForm->BtnAddBP->click();
    QVERIFY(m->Debug().Breakpoints().empty());
    QCOMPARE(DebugForm->LblListError->text(), QString("Condition: column 27: expected a value"));
    DebugForm->EditNewBPCondition->setText("HL == 1236");
    DebugForm->BtnAddBP->click();
    QCOMPARE(DebugForm->BreakpointList->rowCount(), 1);
    QCOMPARE(DebugForm->BreakpointList->item(0, 1)->text(), QString("0010 spin"));
    QCOMPARE(DebugForm->BreakpointList->item(0, 2)->text(), QString("HL == 1236"));
    DebugForm->BtnRun->click();
    QVERIFY(WaitFor([] { return !DebugForm->IsRunning(); }));
    QCOMPARE(Hex(DebugForm->EditHL), 0x1236u);
    QCOMPARE(DebugForm->BreakpointList->item(0, 3)->text(), QString("1"));
    // The box in the first column disables it.
    DebugForm->BreakpointList->item(0, 0)->setCheckState(Qt::Unchecked);
    QVERIFY(!m->Debug().Breakpoints()[0].enabled);
    DebugForm->BreakpointList->selectRow(0);
    DebugForm->BtnRemoveBP->click();
    QCOMPARE(DebugForm->BreakpointList->rowCount(), 0);
}

void DebuggerTest::WatchpointStopsAndSaysWhy() {
    StopAndReset();
    DebugForm->Tabs->setCurrentIndex(2);
    DebugForm->EditWatchFrom->setText("4001");
    DebugForm->EditWatchCondition->setText("value == 5a");
    DebugForm->BtnAddWatch->click();
    QCOMPARE(DebugForm->WatchList->rowCount(), 1);
    DebugForm->BtnRun->click();
    QVERIFY(WaitFor([] { return !DebugForm->IsRunning(); }));
    QCOMPARE(DebugForm->EditPC->text(), QString("0018")); // after ld (0x4001),a
    QVERIFY(DebugForm->LblStop->text().contains("write of 0x5a to 0x4001 by the instruction at 0x0015 (routine+2)"));
    QCOMPARE(DebugForm->WatchList->item(0, 6)->text(), QString("1"));
    // A port watchpoint with an empty access set is refused.
    DebugForm->CmbWatchKind->setCurrentIndex(1);
    DebugForm->EditWatchFrom->setText("30");
    DebugForm->ChkWatchWrite->setChecked(false);
    DebugForm->BtnAddWatch->click();
    QCOMPARE(DebugForm->WatchList->rowCount(), 1);
    QVERIFY(!DebugForm->LblListError->text().isEmpty());
}

void DebuggerTest::MemoryViewGoesToLabelsEditsAndFinds() {
    StopAndReset();
    TVexaBoard* b = emu->Board();
    QTableWidget* grid = DebugForm->MemoryGrid;
    DebugForm->EditMemGoto->setText("nmi");
    emit DebugForm->EditMemGoto->returnPressed();
    QCOMPARE(grid->item(0, 0)->text(), QString("0060"));
    // Typing over a byte while stopped writes it.
    DebugForm->ShowMemoryAt(0x4000);
    grid->item(0, 3)->setText("a5");
    QCOMPARE(int(b->MainRam()[0x4002]), 0xA5);
    QCOMPARE(grid->item(0, 3)->text(), QString("a5"));
    // Find text and bytes.
    for (int i = 0; i < 5; ++i) b->MainRam()[0x5123 + i] = static_cast<uint8_t>("VEXA!"[i]);
    DebugForm->EditMemFind->setText("\"VEXA\"");
    emit DebugForm->EditMemFind->returnPressed();
    QCOMPARE(DebugForm->LblMemory->text(), QString("Found at 5123"));
    DebugForm->EditMemFind->setText("45 58 41 21");
    emit DebugForm->EditMemFind->returnPressed();
    QCOMPARE(DebugForm->LblMemory->text(), QString("Found at 5124"));
    DebugForm->EditMemFind->setText("4G");
    emit DebugForm->EditMemFind->returnPressed();
    QVERIFY(Refused(DebugForm->EditMemFind));
    // The wheel scrolls; as many rows as the window holds.
    const int before = DebugForm->MemoryScroll->value();
    QWheelEvent wheel(QPointF(5, 5), grid->viewport()->mapToGlobal(QPoint(5, 5)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid->viewport(), &wheel);
    QCOMPARE(DebugForm->MemoryScroll->value(), before + 3);
    const int rows = grid->rowCount();
    DebugForm->resize(DebugForm->width(), DebugForm->height() + 200);
    QVERIFY(WaitFor([&] { return grid->rowCount() > rows; }));
    DebugForm->MemoryScroll->setValue(DebugForm->MemoryScroll->maximum());
    QCOMPARE(grid->item(grid->rowCount() - 1, 0)->text(), QString("fff8"));
}

void DebuggerTest::OpensBesideTheMainWindowAndCloseLetsTheMachineRun() {
    // Beside the main window where the screen has room, else below it: never
    // over the picture.
    const QRect room = MainForm->QWidget::screen()->availableGeometry();
    MainForm->move(room.topLeft());
    DebugForm->PlaceBesideMainWindow();
    const QRect main = MainForm->frameGeometry(), debug = DebugForm->frameGeometry();
    if (room.width() >= main.width() + DebugForm->minimumWidth()) QVERIFY(!debug.intersects(main));
    else QVERIFY(debug.top() > main.bottom());
    QVERIFY(!debug.intersects(QRect(MainForm->Screen()->mapToGlobal(QPoint(0, 0)), MainForm->Screen()->size())));
    StopAndReset();
    QVERIFY(VexaMachine.load()->IsDebugHeld());
    DebugForm->close();
    QVERIFY(DebugForm->IsRunning());
    QVERIFY(!VexaMachine.load()->IsDebugHeld());
    QVERIFY(WaitFor([] { return VexaMachine.load()->RegisterSnapshot().PC >= 0x10; }));
}

void DebuggerTest::TraceRecordsAndExports() {
    StopAndReset();
    DebugForm->BtnTrace->click();
    QVERIFY(VexaMachine.load()->Debug().TraceOn());
    for (int i = 0; i < 5; ++i) DebugForm->BtnStep->click();
    QVERIFY(DebugForm->LblTrace->text().startsWith("5 instructions recorded"));
    const std::string path = (emu->Dir() / "t.txt").string();
    std::string error;
    QVERIFY(ExportTrace(VexaMachine.load()->Debug().Trace(), &VexaMachine.load()->Debug().Symbols(), path, &error));
    const std::string text = testing_support::ReadFileText(path);
    QVERIFY(text.find("call   routine") != std::string::npos);
    QVERIFY(text.find("routine:\n") != std::string::npos);
    DebugForm->BtnTrace->click();
    QVERIFY(!VexaMachine.load()->Debug().TraceOn());
}

QTEST_MAIN(DebuggerTest)
#include "DebuggerTest.moc"
