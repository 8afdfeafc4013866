#include "ui/FormDebug.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QGuiApplication>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "board/Machine.h"
#include "board/Utils.h"
#include "cpu/CPUThread.h"
#include "host/StatusPanels.h"
#include "ui/FormMain.h"

TDebugForm* DebugForm = nullptr;

namespace {

constexpr int ListingLines = 50;
constexpr int MemoryRows = 8;
constexpr int MemoryScrollMax = 8184; // 8184 x 8 = 0xFFC0, the last eight rows

QLineEdit* MakeRegisterEdit(QWidget* parent, const char* name, int digits) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setInputMask(QString(">") + QString(digits, QLatin1Char('H')));
    edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QString(digits + 1, QLatin1Char('W'))) + 8);
    edit->setText(QString(digits, QLatin1Char('0')));
    return edit;
}

void SetHex(QLineEdit* edit, const char* format, unsigned value) {
    const QString text = QString::asprintf(format, value).toUpper();
    if (edit->text() != text) edit->setText(text);
}

} // namespace

TDebugForm::TDebugForm() : QWidget(nullptr, Qt::Tool) {
    DebugForm = this;
    setObjectName("DebugForm");
    setWindowTitle("Z80 Debugger");
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    // Disassembly listing
    auto* grpListing = new QGroupBox(" Disassembly Listing ", this);
    SourceList = new QListWidget(grpListing);
    SourceList->setObjectName("SourceList");
    SourceList->setFont(fixed);
    SourceList->setMinimumWidth(220);
    TagSourceTrace = new QCheckBox("Follow PC in Source Listing", grpListing);
    TagSourceTrace->setObjectName("TagSourceTrace");
    auto* listingLayout = new QVBoxLayout(grpListing);
    listingLayout->addWidget(SourceList);
    listingLayout->addWidget(TagSourceTrace);

    // Registers
    auto* grpRegisters = new QGroupBox(" Registers ", this);
    auto* regLayout = new QGridLayout(grpRegisters);
    EditAF = MakeRegisterEdit(grpRegisters, "EditAF", 4);
    EditBC = MakeRegisterEdit(grpRegisters, "EditBC", 4);
    EditDE = MakeRegisterEdit(grpRegisters, "EditDE", 4);
    EditHL = MakeRegisterEdit(grpRegisters, "EditHL", 4);
    EditAAF = MakeRegisterEdit(grpRegisters, "EditAAF", 4);
    EditABC = MakeRegisterEdit(grpRegisters, "EditABC", 4);
    EditADE = MakeRegisterEdit(grpRegisters, "EditADE", 4);
    EditAHL = MakeRegisterEdit(grpRegisters, "EditAHL", 4);
    EditIX = MakeRegisterEdit(grpRegisters, "EditIX", 4);
    EditIY = MakeRegisterEdit(grpRegisters, "EditIY", 4);
    EditSP = MakeRegisterEdit(grpRegisters, "EditSP", 4);
    EditPC = MakeRegisterEdit(grpRegisters, "EditPC", 4);
    EditI = MakeRegisterEdit(grpRegisters, "EditI", 2);
    EditIM = MakeRegisterEdit(grpRegisters, "EditIM", 2);
    EditIM->setEnabled(false);
    // The whole 32-bit refresh counter is shown, not just its first four digits.
    EditR = MakeRegisterEdit(grpRegisters, "EditR", 8);
    const struct {
        const char* label;
        QLineEdit* edit;
        int row, column;
    } regs[] = {
        {"AF", EditAF, 0, 0},  {"AF'", EditAAF, 0, 2}, {"BC", EditBC, 1, 0}, {"BC'", EditABC, 1, 2},
        {"DE", EditDE, 2, 0},  {"DE'", EditADE, 2, 2}, {"HL", EditHL, 3, 0}, {"HL'", EditAHL, 3, 2},
        {"IX", EditIX, 4, 0},  {"IY", EditIY, 4, 2},   {"SP", EditSP, 5, 0}, {"PC", EditPC, 5, 2},
        {"I", EditI, 6, 0},    {"IM", EditIM, 6, 2},   {"R", EditR, 7, 0},
    };
    for (const auto& r : regs) {
        regLayout->addWidget(new QLabel(r.label, grpRegisters), r.row, r.column);
        regLayout->addWidget(r.edit, r.row, r.column + 1, 1, r.edit == EditR ? 3 : 1);
    }

    // Flags
    auto* grpFlags = new QGroupBox(" Flags ", this);
    auto* flagLayout = new QGridLayout(grpFlags);
    const char* flagNames[8] = {"S", "Z", "5", "H", "3", "P", "N", "C"};
    flagLayout->addWidget(new QLabel("Pri", grpFlags), 1, 0);
    flagLayout->addWidget(new QLabel("Alt", grpFlags), 2, 0);
    for (int i = 0; i < 8; ++i) {
        auto* label = new QLabel(flagNames[i], grpFlags);
        label->setAlignment(Qt::AlignCenter);
        flagLayout->addWidget(label, 0, i + 1);
        FlagsPri[static_cast<size_t>(i)] = new QCheckBox(grpFlags);
        FlagsPri[static_cast<size_t>(i)]->setObjectName(QString("Flag") + flagNames[i]);
        FlagsAlt[static_cast<size_t>(i)] = new QCheckBox(grpFlags);
        FlagsAlt[static_cast<size_t>(i)]->setObjectName(QString("FlagA") + flagNames[i]);
        flagLayout->addWidget(FlagsPri[static_cast<size_t>(i)], 1, i + 1);
        flagLayout->addWidget(FlagsAlt[static_cast<size_t>(i)], 2, i + 1);
    }

    // Memory
    auto* grpMemory = new QGroupBox(" Memory ", this);
    MemoryGrid = new QTableWidget(MemoryRows, 10, grpMemory);
    MemoryGrid->setObjectName("MemoryGrid");
    MemoryGrid->setFont(fixed);
    MemoryGrid->horizontalHeader()->hide();
    MemoryGrid->verticalHeader()->hide();
    MemoryGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MemoryGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MemoryGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int rowHeight = MemoryGrid->fontMetrics().height() + 4;
    MemoryGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    MemoryGrid->verticalHeader()->setMinimumSectionSize(1);
    MemoryGrid->verticalHeader()->setDefaultSectionSize(rowHeight);
    MemoryGrid->horizontalHeader()->setMinimumSectionSize(1);
    for (int r = 0; r < MemoryRows; ++r)
        for (int c = 0; c < 10; ++c) MemoryGrid->setItem(r, c, new QTableWidgetItem());
    SizeMemoryColumns();
    MemoryGrid->setFixedHeight(MemoryRows * rowHeight + 2 * MemoryGrid->frameWidth());
    MemoryGrid->setFixedWidth(40 + 80 + 8 * MemoryGrid->columnWidth(1) + 2 * MemoryGrid->frameWidth());
    MemoryScroll = new QScrollBar(Qt::Vertical, grpMemory);
    MemoryScroll->setObjectName("MemoryScroll");
    MemoryScroll->setRange(0, MemoryScrollMax);
    MemoryScroll->setSingleStep(1);
    MemoryScroll->setPageStep(8);
    auto* memoryLayout = new QHBoxLayout(grpMemory);
    memoryLayout->addWidget(MemoryGrid);
    memoryLayout->addWidget(MemoryScroll);

    // Control
    auto* grpControl = new QGroupBox(" Control ", this);
    BtnStep = new QPushButton("Step Into", grpControl);
    BtnStep->setObjectName("BtnStep");
    BtnStepOver = new QPushButton("Step Over", grpControl);
    BtnStepOver->setObjectName("BtnStepOver");
    BtnRun = new QPushButton("Run", grpControl);
    BtnRun->setObjectName("BtnRun");
    BtnReset = new QPushButton("Reset", grpControl);
    BtnReset->setObjectName("BtnReset");
    BtnTrace = new QPushButton("Trace", grpControl);
    BtnTrace->setObjectName("BtnTrace");
    BtnTrace->setEnabled(false);
    EditBP = new QLineEdit(grpControl);
    EditBP->setObjectName("EditBP");
    EditBP->setMaxLength(4);
    EditBP->setFont(fixed);
    EditBP->setFixedWidth(EditBP->fontMetrics().horizontalAdvance("WWWWW") + 8);
    ChkBP = new QCheckBox("Breakpoint", grpControl);
    ChkBP->setObjectName("ChkBP");
    auto* controlLayout = new QGridLayout(grpControl);
    controlLayout->addWidget(BtnStep, 0, 0);
    controlLayout->addWidget(BtnStepOver, 0, 1);
    controlLayout->addWidget(BtnRun, 1, 0);
    controlLayout->addWidget(BtnReset, 1, 1);
    controlLayout->addWidget(BtnTrace, 2, 0);
    auto* bpRow = new QHBoxLayout;
    bpRow->addWidget(EditBP);
    bpRow->addWidget(ChkBP);
    controlLayout->addLayout(bpRow, 2, 1);

    auto* right = new QVBoxLayout;
    right->addWidget(grpRegisters);
    right->addWidget(grpFlags);
    auto* top = new QHBoxLayout;
    top->addWidget(grpListing, 1);
    top->addLayout(right);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(grpMemory);
    bottom->addWidget(grpControl, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(bottom);

    // A compact tool window: tight spacing in every group.
    for (QLayout* l : {static_cast<QLayout*>(listingLayout), static_cast<QLayout*>(regLayout),
                       static_cast<QLayout*>(flagLayout), static_cast<QLayout*>(memoryLayout),
                       static_cast<QLayout*>(controlLayout)}) {
        l->setContentsMargins(6, 4, 6, 4);
        l->setSpacing(3);
    }
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);

    CPUTimer = new QTimer(this);
    CPUTimer->setObjectName("CPUTimer");
    CPUTimer->setInterval(5);

    connect(BtnRun, &QPushButton::clicked, this, &TDebugForm::BtnRunClick);
    connect(BtnStep, &QPushButton::clicked, this, &TDebugForm::BtnStepClick);
    connect(BtnStepOver, &QPushButton::clicked, this, &TDebugForm::BtnStepOverClick);
    connect(BtnReset, &QPushButton::clicked, this, &TDebugForm::BtnResetClick);
    connect(ChkBP, &QCheckBox::toggled, this, &TDebugForm::ChkBPClick);
    connect(EditBP, &QLineEdit::textEdited, this, &TDebugForm::BPChange);
    connect(MemoryScroll, &QScrollBar::valueChanged, this, &TDebugForm::ScrollChange);
    connect(CPUTimer, &QTimer::timeout, this, &TDebugForm::DoCPU);

    SetRunningControls(false);
    setFixedSize(sizeHint().expandedTo(QSize(550, 464)));
    if (QScreen* display = QGuiApplication::primaryScreen())
        move(display->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

TDebugForm::~TDebugForm() {
    if (DebugForm == this) DebugForm = nullptr;
}

bool TDebugForm::IsRunning() const { return CPUTimer->isActive(); }

void TDebugForm::SetRunningControls(bool running) {
    BtnStep->setEnabled(!running);
    BtnStepOver->setEnabled(!running);
    BtnReset->setEnabled(!running);
    BtnRun->setText(running ? "Stop" : "Run");
}

// ---------------------------------------------------------------------------
// Run state

void TDebugForm::BtnRunClick() {
    Machine* m = VexaMachine.load(std::memory_order_acquire);
    if (IsRunning()) {
        if (MainForm) MainForm->SetPanelText(PanelRunState, "IDLE");
        CPUTimer->stop();
        SetRunningControls(false);
        if (m && !holding) m->PauseCpu();
        holding = m != nullptr;
        EndStepOver();
        RefreshView();
        return;
    }
    if (MainForm) MainForm->SetPanelText(PanelRunState, "RUN");
    SetRunningControls(true);
    if (m) {
        // A breakpoint stop that came while nobody was watching is let go too.
        if (m->TakeBreakpointStop()) m->ResumeCpu();
        if (holding) m->ResumeCpu();
    }
    holding = false;
    // The first figures cover a real half second, not the time since boot.
    lastDisplayTime = TickCountMs();
    if (m) {
        m->CpuCycleCount.store(0, std::memory_order_relaxed);
        m->DisplayFrameCount.store(0, std::memory_order_relaxed);
    }
    CPUTimer->start();
}

void TDebugForm::EnterStopped(bool alreadyHeld) {
    Machine* b = VexaMachine.load(std::memory_order_acquire);
    if (MainForm) MainForm->SetPanelText(PanelRunState, "IDLE");
    CPUTimer->stop();
    SetRunningControls(false);
    if (b && !alreadyHeld && !holding) b->PauseCpu();
    if (b && alreadyHeld) {
        // The CPU thread asked for its pause as the slice ended; wait until
        // it has parked, so that what the view reads no longer changes.
        b->PauseCpu();
        b->ResumeCpu();
    }
    holding = b != nullptr;
    EndStepOver();
    show();
    raise();
    RefreshView();
}

void TDebugForm::EndStepOver() {
    if (!stepOverActive) return;
    stepOverActive = false;
    SetBreakpoint(UserBreakpoint());
}

void TDebugForm::SetBreakpoint(int address) {
    if (Machine* m = VexaMachine.load(std::memory_order_acquire))
        m->BreakpointAddress().store(address, std::memory_order_relaxed);
}

void TDebugForm::MachineGone() {
    CPUTimer->stop();
    holding = false;
}

void TDebugForm::DoCPU() {
    // The speed and frame-rate panels are the main window's own readouts now.
    Machine* b = VexaMachine.load(std::memory_order_acquire);
    if (b && b->TakeBreakpointStop()) {
        EnterStopped(/*alreadyHeld=*/true);
        return;
    }
    if (isVisible()) RefreshView();
}

// ---------------------------------------------------------------------------
// Stepping

void TDebugForm::BtnStepClick() {
    Machine* m = VexaMachine.load(std::memory_order_acquire);
    if (!m) return;
    m->StepInstruction();
    RefreshView();
}

uint16_t TDebugForm::StepOverTarget(uint16_t pc) {
    TVexaBoard* b = VexaBoard.load(std::memory_order_acquire);
    if (!b) return pc;
    // The instruction as the processor will fetch it.
    uint8_t code[4];
    for (int i = 0; i < 4; ++i) code[i] = b->ReadMem(static_cast<uint16_t>(pc + i));
    char text[32];
    const int length = Disassemble(code, text, pc);
    return static_cast<uint16_t>(pc + (length > 0 ? length : 1));
}

void TDebugForm::BtnStepOverClick() {
    Machine* m = VexaMachine.load(std::memory_order_acquire);
    if (!m) return;
    m->PauseCpu();
    const uint16_t target = StepOverTarget(static_cast<uint16_t>(m->RegisterSnapshot().PC));
    m->ResumeCpu();
    SetBreakpoint(target);
    stepOverActive = true;
    if (!IsRunning()) BtnRunClick();
}

void TDebugForm::BtnResetClick() {
    if (Machine* m = VexaMachine.load(std::memory_order_acquire)) m->ColdBoot();
    RefreshView();
}

// ---------------------------------------------------------------------------
// Breakpoint

int TDebugForm::UserBreakpoint() const {
    if (!ChkBP->isChecked()) return -1;
    return ParseHex(EditBP->text().toStdString());
}

void TDebugForm::ChkBPClick() {
    stepOverActive = false;
    SetBreakpoint(UserBreakpoint());
}

void TDebugForm::BPChange() {
    if (ChkBP->isChecked()) ChkBP->setChecked(false); // clears the breakpoint through ChkBPClick
}

// ---------------------------------------------------------------------------
// The view

void TDebugForm::ScrollChange() { RefreshView(); }

void TDebugForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    PrepareGrids();
}

void TDebugForm::SizeMemoryColumns() {
    MemoryGrid->setColumnWidth(0, 40);
    for (int c = 1; c <= 8; ++c) MemoryGrid->setColumnWidth(c, MemoryGrid->fontMetrics().horizontalAdvance("00") + 12);
    MemoryGrid->setColumnWidth(9, 80);
}

void TDebugForm::PrepareGrids() {
    SizeMemoryColumns();
    memoryCache = -1;
    RefreshView();
}

uint8_t TDebugForm::ListingByte(uint32_t d) {
    TVexaBoard* b = VexaBoard.load(std::memory_order_acquire);
    if (!b) return 0;
    if (d < 0x200) return b->BootRom()[d];
    if (d < 0x8000) return b->MainRam()[d];
    const uint32_t bank = b->sys_mem_select() & 0x0F;
    const uint32_t offset = bank < 2 ? d : (d & 0x7FFF) + bank * 0x8000;
    return b->MainRam()[offset & (TVexaBoard::MainRamSize - 1)];
}

void TDebugForm::RefreshView() {
    Machine* m = VexaMachine.load(std::memory_order_acquire);
    if (!m) return;
    TVexaBoard* b = &m->Board();
    const Z80Registers r = m->RegisterSnapshot();

    const unsigned f = r.AF & 0xFF, fAlt = r.AFAlt & 0xFF;
    for (int i = 0; i < 8; ++i) {
        FlagsPri[static_cast<size_t>(i)]->setChecked((f >> (7 - i)) & 1);
        FlagsAlt[static_cast<size_t>(i)]->setChecked((fAlt >> (7 - i)) & 1);
    }
    SetHex(EditAF, "%04x", r.AF);
    SetHex(EditBC, "%04x", r.BC);
    SetHex(EditDE, "%04x", r.DE);
    SetHex(EditHL, "%04x", r.HL);
    SetHex(EditAAF, "%04x", r.AFAlt);
    SetHex(EditABC, "%04x", r.BCAlt);
    SetHex(EditADE, "%04x", r.DEAlt);
    SetHex(EditAHL, "%04x", r.HLAlt);
    SetHex(EditIX, "%04x", r.IX);
    SetHex(EditIY, "%04x", r.IY);
    SetHex(EditSP, "%04x", r.SP);
    SetHex(EditPC, "%04x", r.PC);
    SetHex(EditI, "%02x", r.I);
    SetHex(EditIM, "%02x", r.IM);
    SetHex(EditR, "%08x", r.R);

    // While the machine runs the grid is redrawn only when scrolled (reading
    // memory the CPU is writing is tolerated, not done needlessly); while it
    // is stopped it always shows what a step just wrote.
    const bool held = m->IsCpuHeld();
    if (MemoryScroll->value() != memoryCache || held) {
        memoryCache = MemoryScroll->value();
        const unsigned base = static_cast<unsigned>(memoryCache) * 8;
        for (int row = 0; row < MemoryRows; ++row) {
            const unsigned rowAddress = base + static_cast<unsigned>(row) * 8;
            QString ascii;
            MemoryGrid->item(row, 0)->setText(QString::asprintf("%04x", rowAddress));
            for (unsigned col = 0; col < 8; ++col) {
                const uint8_t v = b->ReadMem(static_cast<uint16_t>(rowAddress + col));
                MemoryGrid->item(row, static_cast<int>(col) + 1)->setText(QString::asprintf("%02x", v));
                ascii += (v < 32 || v >= 128) ? QLatin1Char('.') : QLatin1Char(static_cast<char>(v));
            }
            MemoryGrid->item(row, 9)->setText(ascii);
        }
    }

    if (TagSourceTrace->isChecked() && static_cast<int64_t>(r.PC) != pcCache) {
        pcCache = r.PC;
        SourceList->clear();
        uint32_t d = r.PC;
        for (int line = 0; line < ListingLines; ++line) {
            uint8_t code[4];
            for (uint32_t i = 0; i < 4; ++i) code[i] = ListingByte(d + i);
            char text[32] = {};
            int length = Disassemble(code, text, static_cast<uint16_t>(d));
            if (length < 1) length = 1;
            SourceList->addItem(QString::asprintf("%04x: ", d) + QString::fromLatin1(text));
            d += static_cast<uint32_t>(length);
        }
    }
}
