// The Z80 debugger: registers, flags, a disassembly from PC, a memory view,
// Step Into, Step Over, Run/Stop, Reset and one breakpoint. Its 5 ms timer
// also turns the shared counters into the MHz and FPS panels.
//
// Stopped means the machine is stopped: the window holds the CPU thread
// paused (its pause handshake) while it is in the stopped state, and a
// breakpoint reached by the CPU thread puts it there.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>

#include "cpu/Z80.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollBar;
class QTableWidget;
class QTimer;
class TDebugForm;

extern TDebugForm* DebugForm;

class TDebugForm : public QWidget {
    Q_OBJECT
public:
    TDebugForm();
    ~TDebugForm() override;

    bool IsRunning() const;
    // Where the machine should stop after the instruction at pc: the next
    // instruction's address, by the disassembler's length.
    static uint16_t StepOverTarget(uint16_t pc);
    // Byte of the listing at address d, as the listing reads it: the boot ROM
    // below 0x200, main RAM above, banked by sys_mem_select from 0x8000.
    static uint8_t ListingByte(uint32_t address);
    // The breakpoint the controls ask for: ParseHex of EditBP when ChkBP is ticked, else -1.
    int UserBreakpoint() const;
    // Rebuild what a refresh shows (registers, memory, listing).
    void RefreshView();
    // The machine is about to go away: let go of it.
    void MachineGone();

    QLineEdit *EditAF, *EditBC, *EditDE, *EditHL, *EditAAF, *EditABC, *EditADE, *EditAHL;
    QLineEdit *EditIX, *EditIY, *EditSP, *EditPC, *EditI, *EditIM, *EditR;
    std::array<QCheckBox*, 8> FlagsPri{}; // S Z 5 H 3 P N C
    std::array<QCheckBox*, 8> FlagsAlt{};
    QListWidget* SourceList;
    QTableWidget* MemoryGrid;
    QScrollBar* MemoryScroll;
    QCheckBox* TagSourceTrace;
    QLineEdit* EditBP;
    QCheckBox* ChkBP;
    QPushButton *BtnStep, *BtnStepOver, *BtnRun, *BtnReset, *BtnTrace;
    QTimer* CPUTimer;

public slots:
    void BtnRunClick();
    void BtnStepClick();
    void BtnStepOverClick();
    void BtnResetClick();
    void ChkBPClick();
    void BPChange();
    void ScrollChange();
    void DoCPU();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void PrepareGrids();
    void SizeMemoryColumns();
    void SetRunningControls(bool running);
    void EnterStopped(bool alreadyHeld);
    void EndStepOver();
    void SetBreakpoint(int address);

    bool holding = false;        // this window holds a pause of the CPU thread
    bool stepOverActive = false; // BreakpointAddress is Step Over's, not the user's
    uint32_t lastDisplayTime = 0;
    int memoryCache = -1;
    int64_t pcCache = -1;
};
