// The Z80 debugger: registers and flags (editable while stopped), a
// disassembly with labels, a memory view, Step Into, Step Over, Step Out,
// Run/Stop, Reset, the breakpoint field, lists of breakpoints and
// watchpoints, the trace and the symbols. Its 5 ms timer also turns the
// shared counters into the MHz and FPS panels.
//
// Stopped means the machine is stopped: the window's Stop, a breakpoint,
// a watchpoint or a step holds the CPU thread through the machine's
// debugger hold, and Run lets it go. A GDB client uses the same hold, so
// the window follows its stops and runs too.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>

#include "cpu/Z80.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenuBar;
class QPushButton;
class QScrollBar;
class QTableWidget;
class QTableWidgetItem;
class QTabWidget;
class QTimer;
class Machine;
class MachineGdbStub;
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
    // The breakpoint the field asks for: its address when ChkBP is ticked
    // and the text is hex or a label, else -1.
    int UserBreakpoint() const;
    // Rebuild what a refresh shows (registers, memory, listing, lists).
    void RefreshView();
    // The machine is about to go away: let go of it (and end a GDB stub).
    void MachineGone();
    // Serves a GDB client on 127.0.0.1:port; false with a message.
    bool StartGdb(uint16_t port, QString* error);
    // Reads a symbol file into the machine's table; false with a message shown.
    bool LoadSymbols(const QString& path);
    // The listing from this address (Go to Address).
    void ShowListingAt(uint16_t address);
    // The memory view from the row holding this address.
    void ShowMemoryAt(uint16_t address);
    // Beside the main window, never over its picture, when the screen has room.
    void PlaceBesideMainWindow();
    // The address of the listing's row, or -1 for a label row.
    int ListingAddress(int row) const;

    // The controls of the first design...
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
    // ...and those added since.
    QMenuBar* MenuBar;
    QPushButton* BtnStepOut;
    QLabel* LblStop; // why the machine stopped, or that it runs
    QLineEdit *EditMemGoto, *EditMemFind;
    QLabel* LblMemory;
    QTabWidget* Tabs;
    QTableWidget* BreakpointList; // on, address, condition, hits
    QLineEdit *EditNewBP, *EditNewBPCondition;
    QPushButton *BtnAddBP, *BtnRemoveBP;
    QTableWidget* WatchList; // on, kind, from, to, condition, hits
    QComboBox* CmbWatchKind;
    QLineEdit *EditWatchFrom, *EditWatchTo, *EditWatchCondition;
    QCheckBox *ChkWatchRead, *ChkWatchWrite;
    QPushButton *BtnAddWatch, *BtnRemoveWatch;
    QLabel* LblListError; // a refused address or condition, and where it fails
    QLineEdit* EditTraceSize;
    QLabel* LblTrace;
    QPushButton* BtnExportTrace;
    QTimer* SyncTimer; // notices a GDB client's stops and runs

public slots:
    void BtnRunClick();
    void BtnStepClick();
    void BtnStepOverClick();
    void BtnStepOutClick();
    void BtnResetClick();
    void ChkBPClick();
    void BPChange();
    void ScrollChange();
    void DoCPU();
    void BtnTraceClick();
    void MenuLoadSymbolsClick();
    void ExportTraceClick();
    void RunToCursor();
    void ToggleBreakpointAtCursor();
    void GoToAddressClick();
    void AddBreakpointClick();
    void RemoveBreakpointClick();
    void AddWatchpointClick();
    void RemoveWatchpointClick();
    void FindInMemory();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PrepareGrids();
    void SizeMemoryColumns();
    void FitMemoryRows();
    void SetRunningControls(bool running);
    void EnterRunning();
    void EnterStopped();
    void SyncWithMachine();
    void RefreshRegisters(const Z80Registers& r, bool held);
    void RefreshMemory(bool held);
    void RefreshListing(const Z80Registers& r);
    void RefreshLists();
    void WriteRegister(QLineEdit* edit);
    void WriteFlag(int index, bool alternate);
    void MemoryEdited(QTableWidgetItem* item);
    void BreakpointEdited(QTableWidgetItem* item);
    void WatchpointEdited(QTableWidgetItem* item);
    void ShowListError(const QString& text);
    bool ParseAddressField(QLineEdit* edit, uint16_t* address, QString* error) const;
    void MarkValid(QLineEdit* edit, bool valid, const QString& why = {});

    int fieldBreakpoint = 0;  // the breakpoint list entry that EditBP/ChkBP stand for
    uint64_t seenStop = 0;    // the machine's stop count when the window last looked
    uint32_t lastDisplayTime = 0;
    int memoryCache = -1;
    int memoryRows = 8;
    int64_t pcCache = -1;
    int64_t listingStart = -1; // first address of the listing; -1 until it is first filled
    int listingLinesShown = 0;
    bool refreshing = false;  // a refresh is writing the controls: their change signals are not edits
    bool placed = false;
    std::unique_ptr<MachineGdbStub> gdb;
};
