#include "ui/FormDebug.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "board/Machine.h"
#include "board/MachineGdbTarget.h"
#include "cpu/CPUThread.h"
#include "debug/Listing.h"
#include "host/StatusPanels.h"
#include "ui/FormMain.h"

TDebugForm* DebugForm = nullptr;

namespace {

constexpr int ListingLines = 50;
constexpr int MemoryColumns = 8;
const QColor CurrentLine(255, 236, 140);
const QColor BreakpointLine(255, 190, 190);
const QColor Refused(255, 200, 200);

Machine* CurrentMachine() { return VexaMachine.load(std::memory_order_acquire); }

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
    if (edit->text() != text && !edit->hasFocus()) edit->setText(text);
}

QTableWidget* MakeList(QWidget* parent, const char* name, const QStringList& headings) {
    auto* list = new QTableWidget(0, static_cast<int>(headings.size()), parent);
    list->setObjectName(name);
    list->setHorizontalHeaderLabels(headings);
    list->verticalHeader()->hide();
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->horizontalHeader()->setStretchLastSection(false);
    list->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return list;
}

QTableWidgetItem* Cell(const QString& text, bool editable = false) {
    auto* item = new QTableWidgetItem(text);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (editable) flags |= Qt::ItemIsEditable;
    item->setFlags(flags);
    return item;
}

QTableWidgetItem* CheckCell(bool on) {
    auto* item = new QTableWidgetItem();
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    return item;
}

// "3e 42", "3E42" or "\"text\"" (a quoted string) to the bytes to find.
bool ParseSearch(const QString& text, QByteArray* bytes) {
    const QString t = text.trimmed();
    if (t.size() >= 2 && t.startsWith('"') && t.endsWith('"')) {
        *bytes = t.mid(1, t.size() - 2).toLatin1();
        return !bytes->isEmpty();
    }
    QString digits = t;
    digits.remove(' ');
    if (digits.isEmpty() || digits.size() % 2) return false;
    *bytes = QByteArray::fromHex(digits.toLatin1());
    return bytes->size() * 2 == digits.size() &&
           std::all_of(digits.begin(), digits.end(), [](QChar c) { return std::isxdigit(c.toLatin1()); });
}

} // namespace

TDebugForm::TDebugForm() : QWidget(nullptr, Qt::Tool) {
    DebugForm = this;
    setObjectName("DebugForm");
    setWindowTitle("Z80 Debugger");
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    MenuBar = new QMenuBar(this);
    QMenu* file = MenuBar->addMenu("&File");
    QAction* loadSymbols = file->addAction("Load &Symbols...", this, &TDebugForm::MenuLoadSymbolsClick);
    loadSymbols->setObjectName("MenuLoadSymbols");
    QAction* exportTrace = file->addAction("&Export Trace...", this, &TDebugForm::ExportTraceClick);
    exportTrace->setObjectName("MenuExportTrace");

    // Disassembly listing
    auto* grpListing = new QGroupBox(" Disassembly Listing ", this);
    SourceList = new QListWidget(grpListing);
    SourceList->setObjectName("SourceList");
    SourceList->setFont(fixed);
    SourceList->setMinimumWidth(200);
    SourceList->setContextMenuPolicy(Qt::CustomContextMenu);
    TagSourceTrace = new QCheckBox("Follow PC in Source Listing", grpListing);
    TagSourceTrace->setObjectName("TagSourceTrace");
    auto* listingLayout = new QVBoxLayout(grpListing);
    listingLayout->addWidget(SourceList, 1);
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
        if (r.edit != EditIM)
            connect(r.edit, &QLineEdit::editingFinished, this, [this, e = r.edit] { WriteRegister(e); });
        connect(r.edit, &QLineEdit::textEdited, this, [this, e = r.edit] { MarkValid(e, e->hasAcceptableInput(), "incomplete hex value"); });
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
        const auto n = static_cast<size_t>(i);
        FlagsPri[n] = new QCheckBox(grpFlags);
        FlagsPri[n]->setObjectName(QString("Flag") + flagNames[i]);
        FlagsAlt[n] = new QCheckBox(grpFlags);
        FlagsAlt[n]->setObjectName(QString("FlagA") + flagNames[i]);
        flagLayout->addWidget(FlagsPri[n], 1, i + 1);
        flagLayout->addWidget(FlagsAlt[n], 2, i + 1);
        connect(FlagsPri[n], &QCheckBox::clicked, this, [this, i] { WriteFlag(i, false); });
        connect(FlagsAlt[n], &QCheckBox::clicked, this, [this, i] { WriteFlag(i, true); });
    }

    // Memory
    auto* memoryPage = new QWidget(this);
    MemoryGrid = new QTableWidget(memoryRows, 10, memoryPage);
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
    SizeMemoryColumns();
    MemoryGrid->setMinimumHeight(8 * rowHeight + 2 * MemoryGrid->frameWidth());
    MemoryGrid->setFixedWidth(40 + 80 + 8 * MemoryGrid->columnWidth(1) + 2 * MemoryGrid->frameWidth());
    MemoryGrid->viewport()->installEventFilter(this);
    MemoryGrid->installEventFilter(this);
    MemoryScroll = new QScrollBar(Qt::Vertical, memoryPage);
    MemoryScroll->setObjectName("MemoryScroll");
    MemoryScroll->setSingleStep(1);
    MemoryScroll->setPageStep(8);
    MemoryScroll->setRange(0, 0x10000 / MemoryColumns - memoryRows);
    EditMemGoto = new QLineEdit(memoryPage);
    EditMemGoto->setObjectName("EditMemGoto");
    EditMemGoto->setPlaceholderText("Go to address or label");
    EditMemFind = new QLineEdit(memoryPage);
    EditMemFind->setObjectName("EditMemFind");
    EditMemFind->setPlaceholderText("Find: 3E 42 or \"text\"");
    LblMemory = new QLabel(memoryPage);
    LblMemory->setObjectName("LblMemory");
    auto* memoryTools = new QHBoxLayout;
    memoryTools->addWidget(EditMemGoto);
    memoryTools->addWidget(EditMemFind);
    auto* memoryGridRow = new QHBoxLayout;
    memoryGridRow->addWidget(MemoryGrid);
    memoryGridRow->addWidget(MemoryScroll);
    memoryGridRow->addStretch(1);
    auto* memoryLayout = new QVBoxLayout(memoryPage);
    memoryLayout->addLayout(memoryTools);
    memoryLayout->addLayout(memoryGridRow, 1);
    memoryLayout->addWidget(LblMemory);

    // Breakpoints
    auto* bpPage = new QWidget(this);
    BreakpointList = MakeList(bpPage, "BreakpointList", {"On", "Address", "Condition", "Hits"});
    EditNewBP = new QLineEdit(bpPage);
    EditNewBP->setObjectName("EditNewBP");
    EditNewBP->setPlaceholderText("Address or label");
    EditNewBPCondition = new QLineEdit(bpPage);
    EditNewBPCondition->setObjectName("EditNewBPCondition");
    EditNewBPCondition->setPlaceholderText("Condition, e.g. A == 41 && (HL) != 0");
    BtnAddBP = new QPushButton("Add", bpPage);
    BtnAddBP->setObjectName("BtnAddBP");
    BtnRemoveBP = new QPushButton("Remove", bpPage);
    BtnRemoveBP->setObjectName("BtnRemoveBP");
    auto* bpTools = new QHBoxLayout;
    bpTools->addWidget(EditNewBP, 1);
    bpTools->addWidget(EditNewBPCondition, 2);
    bpTools->addWidget(BtnAddBP);
    bpTools->addWidget(BtnRemoveBP);
    auto* bpLayout = new QVBoxLayout(bpPage);
    bpLayout->addWidget(BreakpointList, 1);
    bpLayout->addLayout(bpTools);

    // Watchpoints
    auto* watchPage = new QWidget(this);
    WatchList = MakeList(watchPage, "WatchList", {"On", "Kind", "From", "To", "Access", "Condition", "Hits"});
    CmbWatchKind = new QComboBox(watchPage);
    CmbWatchKind->setObjectName("CmbWatchKind");
    CmbWatchKind->addItems({"Memory", "Port"});
    EditWatchFrom = new QLineEdit(watchPage);
    EditWatchFrom->setObjectName("EditWatchFrom");
    EditWatchFrom->setPlaceholderText("From");
    EditWatchTo = new QLineEdit(watchPage);
    EditWatchTo->setObjectName("EditWatchTo");
    EditWatchTo->setPlaceholderText("To (optional)");
    ChkWatchRead = new QCheckBox("Read/In", watchPage);
    ChkWatchRead->setObjectName("ChkWatchRead");
    ChkWatchWrite = new QCheckBox("Write/Out", watchPage);
    ChkWatchWrite->setObjectName("ChkWatchWrite");
    ChkWatchWrite->setChecked(true);
    EditWatchCondition = new QLineEdit(watchPage);
    EditWatchCondition->setObjectName("EditWatchCondition");
    EditWatchCondition->setPlaceholderText("Condition, e.g. value == 0");
    BtnAddWatch = new QPushButton("Add", watchPage);
    BtnAddWatch->setObjectName("BtnAddWatch");
    BtnRemoveWatch = new QPushButton("Remove", watchPage);
    BtnRemoveWatch->setObjectName("BtnRemoveWatch");
    auto* watchTools = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(CmbWatchKind), static_cast<QWidget*>(EditWatchFrom),
                       static_cast<QWidget*>(EditWatchTo), static_cast<QWidget*>(ChkWatchRead),
                       static_cast<QWidget*>(ChkWatchWrite), static_cast<QWidget*>(EditWatchCondition),
                       static_cast<QWidget*>(BtnAddWatch), static_cast<QWidget*>(BtnRemoveWatch)})
        watchTools->addWidget(w);
    auto* watchLayout = new QVBoxLayout(watchPage);
    watchLayout->addWidget(WatchList, 1);
    watchLayout->addLayout(watchTools);

    // Trace
    auto* tracePage = new QWidget(this);
    EditTraceSize = new QLineEdit("1000000", tracePage);
    EditTraceSize->setObjectName("EditTraceSize");
    LblTrace = new QLabel("The trace is off.", tracePage);
    LblTrace->setObjectName("LblTrace");
    BtnExportTrace = new QPushButton("Export...", tracePage);
    BtnExportTrace->setObjectName("BtnExportTrace");
    auto* traceLayout = new QGridLayout(tracePage);
    traceLayout->addWidget(new QLabel("Instructions kept:", tracePage), 0, 0);
    traceLayout->addWidget(EditTraceSize, 0, 1);
    traceLayout->addWidget(BtnExportTrace, 0, 2);
    traceLayout->addWidget(LblTrace, 1, 0, 1, 3);
    traceLayout->setRowStretch(2, 1);

    Tabs = new QTabWidget(this);
    Tabs->setObjectName("Tabs");
    Tabs->addTab(memoryPage, " Memory ");
    Tabs->addTab(bpPage, "Breakpoints");
    Tabs->addTab(watchPage, "Watchpoints");
    Tabs->addTab(tracePage, "Trace");

    // Control
    auto* grpControl = new QGroupBox(" Control ", this);
    BtnStep = new QPushButton("Step Into", grpControl);
    BtnStep->setObjectName("BtnStep");
    BtnStepOver = new QPushButton("Step Over", grpControl);
    BtnStepOver->setObjectName("BtnStepOver");
    BtnStepOut = new QPushButton("Step Out", grpControl);
    BtnStepOut->setObjectName("BtnStepOut");
    BtnRun = new QPushButton("Run", grpControl);
    BtnRun->setObjectName("BtnRun");
    BtnReset = new QPushButton("Reset", grpControl);
    BtnReset->setObjectName("BtnReset");
    BtnTrace = new QPushButton("Trace", grpControl);
    BtnTrace->setObjectName("BtnTrace");
    BtnTrace->setCheckable(true);
    BtnTrace->setToolTip("Record the instructions run (see the Trace tab)");
    EditBP = new QLineEdit(grpControl);
    EditBP->setObjectName("EditBP");
    EditBP->setFont(fixed);
    EditBP->setFixedWidth(EditBP->fontMetrics().horizontalAdvance("WWWWWWWW") + 8);
    EditBP->setToolTip("Hexadecimal address or label");
    ChkBP = new QCheckBox("Breakpoint", grpControl);
    ChkBP->setObjectName("ChkBP");
    auto* controlLayout = new QGridLayout(grpControl);
    controlLayout->addWidget(BtnStep, 0, 0);
    controlLayout->addWidget(BtnStepOver, 0, 1);
    controlLayout->addWidget(BtnStepOut, 0, 2);
    controlLayout->addWidget(BtnRun, 1, 0);
    controlLayout->addWidget(BtnReset, 1, 1);
    controlLayout->addWidget(BtnTrace, 1, 2);
    auto* bpRow = new QHBoxLayout;
    bpRow->addWidget(EditBP);
    bpRow->addWidget(ChkBP);
    controlLayout->addLayout(bpRow, 2, 0, 1, 3);
    LblStop = new QLabel(grpControl);
    LblStop->setObjectName("LblStop");
    LblStop->setWordWrap(true);
    LblStop->setMinimumWidth(220);
    controlLayout->addWidget(LblStop, 3, 0, 1, 3);
    LblListError = new QLabel(grpControl);
    LblListError->setObjectName("LblListError");
    LblListError->setWordWrap(true);
    LblListError->setStyleSheet("color: #b00000");
    controlLayout->addWidget(LblListError, 4, 0, 1, 3);

    auto* right = new QVBoxLayout;
    right->addWidget(grpRegisters);
    right->addWidget(grpFlags);
    right->addWidget(grpControl);
    right->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(grpListing, 1);
    top->addLayout(right);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(MenuBar);
    layout->addLayout(top, 3);
    layout->addWidget(Tabs, 2);

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
    SyncTimer = new QTimer(this);
    SyncTimer->setInterval(50);

    connect(BtnRun, &QPushButton::clicked, this, &TDebugForm::BtnRunClick);
    connect(BtnStep, &QPushButton::clicked, this, &TDebugForm::BtnStepClick);
    connect(BtnStepOver, &QPushButton::clicked, this, &TDebugForm::BtnStepOverClick);
    connect(BtnStepOut, &QPushButton::clicked, this, &TDebugForm::BtnStepOutClick);
    connect(BtnReset, &QPushButton::clicked, this, &TDebugForm::BtnResetClick);
    connect(BtnTrace, &QPushButton::clicked, this, &TDebugForm::BtnTraceClick);
    connect(ChkBP, &QCheckBox::toggled, this, &TDebugForm::ChkBPClick);
    connect(EditBP, &QLineEdit::textEdited, this, &TDebugForm::BPChange);
    connect(MemoryScroll, &QScrollBar::valueChanged, this, &TDebugForm::ScrollChange);
    connect(CPUTimer, &QTimer::timeout, this, &TDebugForm::DoCPU);
    connect(SyncTimer, &QTimer::timeout, this, &TDebugForm::SyncWithMachine);
    connect(TagSourceTrace, &QCheckBox::toggled, this, [this] {
        pcCache = -1;
        RefreshView();
    });
    connect(SourceList, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        menu.addAction("Run to Cursor", this, &TDebugForm::RunToCursor)->setEnabled(!IsRunning());
        menu.addAction("Toggle Breakpoint", this, &TDebugForm::ToggleBreakpointAtCursor);
        menu.addAction("Go to Address...", this, &TDebugForm::GoToAddressClick);
        menu.exec(SourceList->viewport()->mapToGlobal(at));
    });
    connect(EditMemGoto, &QLineEdit::returnPressed, this, [this] {
        uint16_t address;
        QString error;
        if (ParseAddressField(EditMemGoto, &address, &error)) ShowMemoryAt(address);
    });
    connect(EditMemFind, &QLineEdit::returnPressed, this, &TDebugForm::FindInMemory);
    connect(MemoryGrid, &QTableWidget::itemChanged, this, &TDebugForm::MemoryEdited);
    connect(BtnAddBP, &QPushButton::clicked, this, &TDebugForm::AddBreakpointClick);
    connect(EditNewBPCondition, &QLineEdit::returnPressed, this, &TDebugForm::AddBreakpointClick);
    connect(BtnRemoveBP, &QPushButton::clicked, this, &TDebugForm::RemoveBreakpointClick);
    connect(BreakpointList, &QTableWidget::itemChanged, this, &TDebugForm::BreakpointEdited);
    connect(BtnAddWatch, &QPushButton::clicked, this, &TDebugForm::AddWatchpointClick);
    connect(BtnRemoveWatch, &QPushButton::clicked, this, &TDebugForm::RemoveWatchpointClick);
    connect(WatchList, &QTableWidget::itemChanged, this, &TDebugForm::WatchpointEdited);
    connect(BtnExportTrace, &QPushButton::clicked, this, &TDebugForm::ExportTraceClick);

    SetRunningControls(false);
    setMinimumSize(480, 480);
    resize(sizeHint().expandedTo(QSize(760, 640)));
    SyncTimer->start();
}

TDebugForm::~TDebugForm() {
    gdb.reset();
    if (DebugForm == this) DebugForm = nullptr;
}

bool TDebugForm::IsRunning() const { return CPUTimer->isActive(); }

void TDebugForm::SetRunningControls(bool running) {
    BtnStep->setEnabled(!running);
    BtnStepOver->setEnabled(!running);
    BtnStepOut->setEnabled(!running);
    BtnReset->setEnabled(!running);
    BtnRun->setText(running ? "Stop" : "Run");
    // Registers are written into the machine only while it stands still.
    for (QLineEdit* e : {EditAF, EditBC, EditDE, EditHL, EditAAF, EditABC, EditADE, EditAHL, EditIX, EditIY, EditSP,
                         EditPC, EditI, EditR})
        e->setReadOnly(running);
    for (size_t i = 0; i < 8; ++i) {
        FlagsPri[i]->setAttribute(Qt::WA_TransparentForMouseEvents, running);
        FlagsAlt[i]->setAttribute(Qt::WA_TransparentForMouseEvents, running);
    }
    MemoryGrid->setEditTriggers(running ? QAbstractItemView::NoEditTriggers
                                        : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                              QAbstractItemView::AnyKeyPressed);
}

// ---------------------------------------------------------------------------
// Run state

void TDebugForm::EnterRunning() {
    if (MainForm) MainForm->SetPanelText(PanelRunState, "RUN");
    SetRunningControls(true);
    LblStop->setText("Running");
    // The first figures cover a real half second, not the time since boot.
    lastDisplayTime = TickCountMs();
    if (Machine* m = CurrentMachine()) {
        m->CpuCycleCount.store(0, std::memory_order_relaxed);
        m->DisplayFrameCount.store(0, std::memory_order_relaxed);
        seenStop = m->StopSerial();
    }
    CPUTimer->start();
}

void TDebugForm::EnterStopped() {
    if (MainForm) MainForm->SetPanelText(PanelRunState, "IDLE");
    CPUTimer->stop();
    SetRunningControls(false);
    show();
    raise();
    RefreshView();
}

void TDebugForm::BtnRunClick() {
    Machine* m = CurrentMachine();
    if (IsRunning()) {
        if (m) m->DebugBreak(StopReason::Interrupted);
        if (m) seenStop = m->StopSerial();
        if (MainForm) MainForm->SetPanelText(PanelRunState, "IDLE");
        CPUTimer->stop();
        SetRunningControls(false);
        RefreshView();
        return;
    }
    if (m) m->DebugContinue();
    EnterRunning();
}

// A GDB client stops and runs the machine through the same hold: follow it.
void TDebugForm::SyncWithMachine() {
    Machine* m = CurrentMachine();
    if (!m) return;
    if (!IsRunning() && !m->IsDebugHeld() && m->StopSerial() == seenStop && MainForm && MainForm->isVisible())
        EnterRunning();
    else if (!IsRunning() && m->StopSerial() != seenStop) {
        seenStop = m->StopSerial();
        RefreshView();
    }
}

void TDebugForm::MachineGone() {
    CPUTimer->stop();
    SyncTimer->stop();
    gdb.reset(); // its thread calls into the machine
}

bool TDebugForm::StartGdb(uint16_t port, QString* error) {
    Machine* m = CurrentMachine();
    if (!m) return false;
    gdb = std::make_unique<MachineGdbStub>(*m);
    std::string why;
    if (gdb->Start(port, &why)) return true;
    gdb.reset();
    if (error) *error = QString::fromStdString(why);
    return false;
}

void TDebugForm::DoCPU() {
    // The speed and frame-rate panels are the main window's own readouts.
    Machine* m = CurrentMachine();
    if (m && m->StopSerial() != seenStop && m->IsDebugHeld()) {
        seenStop = m->StopSerial();
        EnterStopped();
        return;
    }
    if (isVisible()) RefreshView();
}

// ---------------------------------------------------------------------------
// Stepping

void TDebugForm::BtnStepClick() {
    Machine* m = CurrentMachine();
    if (!m) return;
    m->DebugStep();
    seenStop = m->StopSerial();
    RefreshView();
}

uint16_t TDebugForm::StepOverTarget(uint16_t pc) {
    TVexaBoard* b = VexaBoard.load(std::memory_order_acquire);
    if (!b) return pc;
    // The instruction as the processor will fetch it.
    uint8_t code[4];
    for (int i = 0; i < 4; ++i) code[i] = b->PeekMem(static_cast<uint16_t>(pc + i));
    char text[32];
    const int length = Disassemble(code, text, pc);
    return static_cast<uint16_t>(pc + (length > 0 ? length : 1));
}

void TDebugForm::BtnStepOverClick() {
    Machine* m = CurrentMachine();
    if (!m) return;
    m->DebugStepOver();
    if (m->IsDebugHeld()) {
        seenStop = m->StopSerial();
        RefreshView();
    } else EnterRunning(); // a call runs until it returns
}

void TDebugForm::BtnStepOutClick() {
    Machine* m = CurrentMachine();
    if (!m || IsRunning()) return;
    m->DebugStepOut();
    EnterRunning();
}

void TDebugForm::BtnResetClick() {
    if (Machine* m = CurrentMachine()) m->ColdBoot();
    RefreshView();
}

void TDebugForm::RunToCursor() {
    Machine* m = CurrentMachine();
    const int address = ListingAddress(SourceList->currentRow());
    if (!m || IsRunning() || address < 0) return;
    m->DebugRunTo(static_cast<uint16_t>(address));
    EnterRunning();
}

// ---------------------------------------------------------------------------
// The breakpoint field: one entry of the list

bool TDebugForm::ParseAddressField(QLineEdit* edit, uint16_t* address, QString* error) const {
    Machine* m = CurrentMachine();
    std::string why;
    const auto parsed = ParseAddress(edit->text().toStdString(), m ? &m->Debug().Symbols() : nullptr, &why);
    const bool ok = parsed.has_value();
    const_cast<TDebugForm*>(this)->MarkValid(edit, ok || edit->text().isEmpty(), QString::fromStdString(why));
    if (ok) *address = *parsed;
    else if (error) *error = QString::fromStdString(why);
    return ok;
}

void TDebugForm::MarkValid(QLineEdit* edit, bool valid, const QString& why) {
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, valid ? QPalette().color(QPalette::Base) : Refused);
    edit->setPalette(palette);
    edit->setToolTip(valid ? QString() : why);
    edit->setProperty("invalid", !valid);
}

int TDebugForm::UserBreakpoint() const {
    if (!ChkBP->isChecked()) return -1;
    uint16_t address;
    return ParseAddressField(EditBP, &address, nullptr) ? address : -1;
}

void TDebugForm::ChkBPClick() {
    Machine* m = CurrentMachine();
    if (!m) return;
    const int address = UserBreakpoint();
    m->EditDebug([&](Debugger& d) {
        if (fieldBreakpoint) d.RemoveBreakpoint(fieldBreakpoint);
        fieldBreakpoint = address >= 0 ? d.AddBreakpoint(static_cast<uint16_t>(address), {}, nullptr, DebugOwner::Field) : 0;
    });
    RefreshLists();
    pcCache = -1;
    RefreshListing(m->RegisterSnapshot());
}

void TDebugForm::BPChange() {
    uint16_t address;
    ParseAddressField(EditBP, &address, nullptr); // shows at once whether the text is usable
    if (ChkBP->isChecked()) ChkBP->setChecked(false); // clears the breakpoint through ChkBPClick
}

// ---------------------------------------------------------------------------
// Breakpoint and watchpoint lists

void TDebugForm::ShowListError(const QString& text) { LblListError->setText(text); }

void TDebugForm::AddBreakpointClick() {
    Machine* m = CurrentMachine();
    if (!m) return;
    uint16_t address;
    QString error;
    if (!ParseAddressField(EditNewBP, &address, &error)) return ShowListError("Address: " + error);
    std::string why;
    int id = 0;
    m->EditDebug([&](Debugger& d) { id = d.AddBreakpoint(address, EditNewBPCondition->text().toStdString(), &why); });
    if (id < 0) {
        MarkValid(EditNewBPCondition, false, QString::fromStdString(why));
        return ShowListError("Condition: " + QString::fromStdString(why));
    }
    MarkValid(EditNewBPCondition, true);
    ShowListError({});
    EditNewBP->clear();
    EditNewBPCondition->clear();
    RefreshLists();
    pcCache = -1;
    RefreshListing(m->RegisterSnapshot());
}

void TDebugForm::RemoveBreakpointClick() {
    Machine* m = CurrentMachine();
    const int row = BreakpointList->currentRow();
    if (!m || row < 0) return;
    const int id = BreakpointList->item(row, 1)->data(Qt::UserRole).toInt();
    m->EditDebug([&](Debugger& d) { d.RemoveBreakpoint(id); });
    if (id == fieldBreakpoint) {
        fieldBreakpoint = 0;
        const QSignalBlocker block(ChkBP);
        ChkBP->setChecked(false);
    }
    RefreshLists();
    pcCache = -1;
    RefreshListing(m->RegisterSnapshot());
}

void TDebugForm::BreakpointEdited(QTableWidgetItem* item) {
    Machine* m = CurrentMachine();
    if (refreshing || !m) return;
    const int id = BreakpointList->item(item->row(), 1)->data(Qt::UserRole).toInt();
    std::string why;
    bool ok = true;
    if (item->column() == 0)
        m->EditDebug([&](Debugger& d) { d.EnableBreakpoint(id, item->checkState() == Qt::Checked); });
    else if (item->column() == 2)
        m->EditDebug([&](Debugger& d) { ok = d.SetBreakpointCondition(id, item->text().toStdString(), &why); });
    ShowListError(ok ? QString() : "Condition: " + QString::fromStdString(why));
    RefreshLists();
}

void TDebugForm::AddWatchpointClick() {
    Machine* m = CurrentMachine();
    if (!m) return;
    uint16_t first, last;
    QString error;
    if (!ParseAddressField(EditWatchFrom, &first, &error)) return ShowListError("From: " + error);
    last = first;
    if (!EditWatchTo->text().trimmed().isEmpty() && !ParseAddressField(EditWatchTo, &last, &error))
        return ShowListError("To: " + error);
    const uint8_t access = static_cast<uint8_t>((ChkWatchRead->isChecked() ? WatchRead : 0) |
                                                (ChkWatchWrite->isChecked() ? WatchWrite : 0));
    const WatchSpace space = CmbWatchKind->currentIndex() == 1 ? WatchSpace::Port : WatchSpace::Memory;
    std::string why;
    int id = 0;
    m->EditDebug([&](Debugger& d) {
        id = d.AddWatchpoint(space, access, first, last, EditWatchCondition->text().toStdString(), &why);
    });
    if (id < 0) {
        MarkValid(EditWatchCondition, access != 0, QString::fromStdString(why));
        return ShowListError(QString::fromStdString(why));
    }
    MarkValid(EditWatchCondition, true);
    ShowListError({});
    EditWatchFrom->clear();
    EditWatchTo->clear();
    EditWatchCondition->clear();
    RefreshLists();
}

void TDebugForm::RemoveWatchpointClick() {
    Machine* m = CurrentMachine();
    const int row = WatchList->currentRow();
    if (!m || row < 0) return;
    const int id = WatchList->item(row, 1)->data(Qt::UserRole).toInt();
    m->EditDebug([&](Debugger& d) { d.RemoveWatchpoint(id); });
    RefreshLists();
}

void TDebugForm::WatchpointEdited(QTableWidgetItem* item) {
    Machine* m = CurrentMachine();
    if (refreshing || !m) return;
    const int id = WatchList->item(item->row(), 1)->data(Qt::UserRole).toInt();
    std::string why;
    bool ok = true;
    if (item->column() == 0)
        m->EditDebug([&](Debugger& d) { d.EnableWatchpoint(id, item->checkState() == Qt::Checked); });
    else if (item->column() == 5)
        m->EditDebug([&](Debugger& d) { ok = d.SetWatchpointCondition(id, item->text().toStdString(), &why); });
    ShowListError(ok ? QString() : "Condition: " + QString::fromStdString(why));
    RefreshLists();
}

void TDebugForm::RefreshLists() {
    Machine* m = CurrentMachine();
    if (!m) return;
    refreshing = true;
    const Debugger& d = m->Debug();
    const SymbolTable& symbols = d.Symbols();
    auto where = [&](uint16_t a) {
        const std::string name = symbols.Describe(a);
        return QString::asprintf("%04x", a) + (name.empty() ? QString() : " " + QString::fromStdString(name));
    };
    BreakpointList->setRowCount(static_cast<int>(d.Breakpoints().size()));
    int row = 0;
    for (const Breakpoint& bp : d.Breakpoints()) {
        BreakpointList->setItem(row, 0, CheckCell(bp.enabled));
        QTableWidgetItem* address = Cell(where(bp.address));
        address->setData(Qt::UserRole, bp.id);
        BreakpointList->setItem(row, 1, address);
        BreakpointList->setItem(row, 2, Cell(bp.condition ? QString::fromStdString(bp.condition->Text()) : "", true));
        BreakpointList->setItem(row, 3, Cell(QString::number(bp.hits)));
        ++row;
    }
    WatchList->setRowCount(static_cast<int>(d.Watchpoints().size()));
    row = 0;
    for (const Watchpoint& wp : d.Watchpoints()) {
        const bool memory = wp.space == WatchSpace::Memory;
        WatchList->setItem(row, 0, CheckCell(wp.enabled));
        QTableWidgetItem* kind = Cell(memory ? "Memory" : "Port");
        kind->setData(Qt::UserRole, wp.id);
        WatchList->setItem(row, 1, kind);
        WatchList->setItem(row, 2, Cell(memory ? where(wp.first) : QString::asprintf("%02x", wp.first)));
        WatchList->setItem(row, 3, Cell(memory ? where(wp.last) : QString::asprintf("%02x", wp.last)));
        const char* access = wp.access == WatchReadWrite ? (memory ? "read/write" : "in/out")
                             : wp.access == WatchRead    ? (memory ? "read" : "in")
                                                         : (memory ? "write" : "out");
        WatchList->setItem(row, 4, Cell(access));
        WatchList->setItem(row, 5, Cell(wp.condition ? QString::fromStdString(wp.condition->Text()) : "", true));
        WatchList->setItem(row, 6, Cell(QString::number(wp.hits)));
        ++row;
    }
    refreshing = false;
}

// ---------------------------------------------------------------------------
// Symbols and trace

bool TDebugForm::LoadSymbols(const QString& path) {
    Machine* m = CurrentMachine();
    if (!m) return false;
    std::string error;
    SymbolFormat format{};
    const size_t before = m->Debug().Symbols().Size();
    const bool ok = m->Debug().Symbols().LoadFile(path.toStdString(), &error, &format);
    if (ok) {
        LblStop->setText(QString("Read %1 symbols (%2)%3")
                             .arg(m->Debug().Symbols().Size() - before)
                             .arg(SymbolFormatName(format))
                             .arg(error.empty() ? QString() : ": " + QString::fromStdString(error)));
        pcCache = -1;
        RefreshView();
    } else {
        LblStop->setText("Symbols not read: " + QString::fromStdString(error));
    }
    return ok;
}

void TDebugForm::MenuLoadSymbolsClick() {
    const QString path = QFileDialog::getOpenFileName(this, "Load Symbols", QString(),
                                                      "Symbol files (*.sym *.lbl *.noi *.map *.equ *.txt);;All files (*)");
    if (!path.isEmpty()) LoadSymbols(path);
}

void TDebugForm::BtnTraceClick() {
    Machine* m = CurrentMachine();
    if (!m) return;
    bool ok = false;
    const qulonglong size = EditTraceSize->text().toULongLong(&ok);
    if (!ok || size == 0 || size > 50'000'000) {
        MarkValid(EditTraceSize, false, "a number of instructions from 1 to 50,000,000");
        BtnTrace->setChecked(false);
        return;
    }
    MarkValid(EditTraceSize, true);
    const bool on = BtnTrace->isChecked();
    m->EditDebug([&](Debugger& d) { d.SetTrace(on, size); });
    RefreshView();
}

void TDebugForm::ExportTraceClick() {
    Machine* m = CurrentMachine();
    if (!m) return;
    const QString path = QFileDialog::getSaveFileName(this, "Export Trace", "trace.txt", "Text files (*.txt);;All files (*)");
    if (path.isEmpty()) return;
    std::string error;
    m->PauseCpu(); // the ring is not read while the CPU thread writes it
    const bool ok = ExportTrace(m->Debug().Trace(), &m->Debug().Symbols(), path.toStdString(), &error);
    m->ResumeCpu();
    LblTrace->setText(ok ? "Exported to " + path : "Not exported: " + QString::fromStdString(error));
}

// ---------------------------------------------------------------------------
// Window

void TDebugForm::ScrollChange() { RefreshView(); }

void TDebugForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A place the user left it in (kept in the settings) stands.
    if (!placed && !property("placed").toBool()) PlaceBesideMainWindow();
    PrepareGrids();
}

// Beside the main window, never over its picture: right of it when the screen
// has room, else left, narrowed down to its minimum width if need be; when
// neither side has room but the screen is wide enough for both, the main
// window moves to the left edge to make it. Failing that, below the main
// window, even where the screen ends there: never over the picture.
void TDebugForm::PlaceBesideMainWindow() {
    placed = true;
    if (!MainForm) return;
    QScreen* screen = MainForm->QWidget::screen() ? MainForm->QWidget::screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect room = screen->availableGeometry();
    QRect main = MainForm->frameGeometry();
    // Before its first show a window's frame is not known yet (it may read as
    // anything): a few pixels of border are allowed for at most.
    const int frameExtra = std::clamp(frameGeometry().width() - width(), 0, 40);
    const int narrowest = minimumWidth() + frameExtra;
    const int rightRoom = room.right() - main.right();
    const int leftRoom = main.left() - room.left();
    if (std::max(rightRoom, leftRoom) < narrowest && room.width() >= main.width() + narrowest) {
        MainForm->move(room.left(), MainForm->y());
        main = MainForm->frameGeometry();
    }
    const int right = room.right() - main.right();
    const int left = main.left() - room.left();
    const QSize size = this->size() + QSize(frameExtra, frameExtra);
    const int y = std::clamp(main.top(), room.top(), std::max(room.top(), room.bottom() + 1 - size.height()));
    if (right >= narrowest || left >= narrowest) {
        bool onRight = right >= left; // the wider side, narrowed to fit...
        if (right >= size.width()) onRight = true; // ...unless one side takes it whole
        else if (left >= size.width()) onRight = false;
        const int width = std::min(size.width(), onRight ? right : left);
        resize(width - frameExtra, height());
        move(onRight ? main.right() + 1 : main.left() - width, y);
    } else {
        move(std::clamp(main.left(), room.left(), std::max(room.left(), room.right() + 1 - size.width())),
             main.bottom() + 1);
    }
    setProperty("placed", true); // the main window keeps the place with the others
}

// A machine held by a window that is no longer on screen would look frozen,
// with nothing left to resume it from: closing the debugger lets it run.
void TDebugForm::closeEvent(QCloseEvent* event) {
    if (!IsRunning() && VexaBoard.load(std::memory_order_acquire)) BtnRunClick();
    QWidget::closeEvent(event);
}

bool TDebugForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == MemoryGrid->viewport() && event->type() == QEvent::Wheel) {
        const int steps = static_cast<QWheelEvent*>(event)->angleDelta().y() / 40;
        MemoryScroll->setValue(MemoryScroll->value() - steps);
        return true;
    }
    if (watched == MemoryGrid->viewport() && event->type() == QEvent::Resize) {
        QTimer::singleShot(0, this, [this] { FitMemoryRows(); });
        return false;
    }
    if (watched == MemoryGrid && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_PageDown || key == Qt::Key_PageUp) {
            MemoryScroll->setValue(MemoryScroll->value() + (key == Qt::Key_PageDown ? 1 : -1) * memoryRows);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TDebugForm::SizeMemoryColumns() {
    MemoryGrid->setColumnWidth(0, 40);
    for (int c = 1; c <= 8; ++c) MemoryGrid->setColumnWidth(c, MemoryGrid->fontMetrics().horizontalAdvance("00") + 12);
    MemoryGrid->setColumnWidth(9, 80);
}

// As many rows as the grid has room for; the scroll bar's last position then
// shows the last rows up to 0xFFFF.
void TDebugForm::FitMemoryRows() {
    const int rowHeight = MemoryGrid->verticalHeader()->defaultSectionSize();
    const int rows = std::max(1, MemoryGrid->viewport()->height() / rowHeight);
    if (rows == memoryRows && MemoryGrid->rowCount() == rows) return;
    memoryRows = rows;
    MemoryGrid->setRowCount(rows);
    MemoryScroll->setPageStep(rows);
    MemoryScroll->setRange(0, 0x10000 / MemoryColumns - rows);
    memoryCache = -1;
    RefreshView();
}

void TDebugForm::PrepareGrids() {
    SizeMemoryColumns();
    FitMemoryRows();
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

void TDebugForm::ShowListingAt(uint16_t address) {
    TagSourceTrace->setChecked(false);
    listingStart = address;
    pcCache = -1;
    if (Machine* m = CurrentMachine()) RefreshListing(m->RegisterSnapshot());
}

void TDebugForm::ShowMemoryAt(uint16_t address) {
    const int row = std::min(address / MemoryColumns, MemoryScroll->maximum());
    MemoryScroll->setValue(row);
    memoryCache = -1;
    RefreshView();
    const int gridRow = address / MemoryColumns - row;
    if (gridRow >= 0 && gridRow < MemoryGrid->rowCount()) MemoryGrid->setCurrentCell(gridRow, address % MemoryColumns + 1);
}

void TDebugForm::GoToAddressClick() {
    bool ok = false;
    const QString text = QInputDialog::getText(this, "Go to Address", "Address or label:", QLineEdit::Normal, {}, &ok);
    if (!ok) return;
    Machine* m = CurrentMachine();
    std::string why;
    const auto address = ParseAddress(text.toStdString(), m ? &m->Debug().Symbols() : nullptr, &why);
    if (!address) return ShowListError("Go to: " + QString::fromStdString(why));
    ShowListError({});
    ShowListingAt(*address);
}

int TDebugForm::ListingAddress(int row) const {
    if (row < 0 || row >= SourceList->count()) return -1;
    return SourceList->item(row)->data(Qt::UserRole).toInt();
}

void TDebugForm::ToggleBreakpointAtCursor() {
    Machine* m = CurrentMachine();
    const int address = ListingAddress(SourceList->currentRow());
    if (!m || address < 0) return;
    m->EditDebug([&](Debugger& d) {
        for (const Breakpoint& bp : d.Breakpoints())
            if (bp.address == address) {
                if (bp.id == fieldBreakpoint) fieldBreakpoint = 0;
                d.RemoveBreakpoint(bp.id);
                return;
            }
        d.AddBreakpoint(static_cast<uint16_t>(address), {}, nullptr);
    });
    if (!fieldBreakpoint && ChkBP->isChecked()) {
        const QSignalBlocker block(ChkBP);
        ChkBP->setChecked(false);
    }
    RefreshLists();
    pcCache = -1;
    RefreshListing(m->RegisterSnapshot());
}

void TDebugForm::FindInMemory() {
    Machine* m = CurrentMachine();
    QByteArray pattern;
    if (!m || !ParseSearch(EditMemFind->text(), &pattern)) {
        MarkValid(EditMemFind, false, "hex bytes such as 3E 42, or text in quotes");
        return;
    }
    MarkValid(EditMemFind, true);
    const TVexaBoard& b = m->Board();
    // From the byte after the current cell, round the 64 KB once.
    const int row = std::max(0, MemoryGrid->currentRow());
    const int column = std::max(1, MemoryGrid->currentColumn());
    const uint32_t from = static_cast<uint32_t>(MemoryScroll->value() * MemoryColumns + row * MemoryColumns + column);
    for (uint32_t n = 0; n < 0x10000; ++n) {
        const uint32_t at = (from + n) & 0xFFFF;
        int i = 0;
        while (i < pattern.size() && b.PeekMem(static_cast<uint16_t>(at + i)) == static_cast<uint8_t>(pattern[i])) ++i;
        if (i == pattern.size()) {
            ShowMemoryAt(static_cast<uint16_t>(at));
            LblMemory->setText(QString::asprintf("Found at %04x", at));
            return;
        }
    }
    LblMemory->setText("Not found");
}

void TDebugForm::MemoryEdited(QTableWidgetItem* item) {
    Machine* m = CurrentMachine();
    if (refreshing || !m || item->column() < 1 || item->column() > 8) return;
    const uint16_t address = static_cast<uint16_t>(MemoryScroll->value() * MemoryColumns + item->row() * MemoryColumns +
                                                   item->column() - 1);
    bool ok = false;
    const unsigned value = item->text().trimmed().toUInt(&ok, 16);
    if (ok && value <= 0xFF && m->IsDebugHeld() && m->Board().PokeMem(address, static_cast<uint8_t>(value))) {
        LblMemory->clear();
    } else {
        LblMemory->setText(QString::asprintf("%04x not changed: ", address) +
                           (!m->IsDebugHeld() ? "stop the machine first"
                            : ok && value <= 0xFF ? "a device register is read there"
                                                  : "type two hex digits"));
    }
    memoryCache = -1;
    RefreshView();
}

// ---------------------------------------------------------------------------
// Editing registers and flags

void TDebugForm::WriteRegister(QLineEdit* edit) {
    Machine* m = CurrentMachine();
    if (refreshing || !m || edit->isReadOnly()) return;
    if (!edit->hasAcceptableInput()) {
        MarkValid(edit, false, "incomplete hex value: not written");
        return;
    }
    MarkValid(edit, true);
    if (!m->IsDebugHeld()) return;
    Z80Registers r = m->Board().Regs;
    const uint32_t v = edit->text().toUInt(nullptr, 16);
    const struct {
        QLineEdit* edit;
        uint32_t* slot;
    } map[] = {{EditAF, &r.AF},   {EditBC, &r.BC},   {EditDE, &r.DE},   {EditHL, &r.HL},   {EditAAF, &r.AFAlt},
               {EditABC, &r.BCAlt}, {EditADE, &r.DEAlt}, {EditAHL, &r.HLAlt}, {EditIX, &r.IX}, {EditIY, &r.IY},
               {EditSP, &r.SP},   {EditPC, &r.PC},   {EditI, &r.I},     {EditR, &r.R}};
    for (const auto& entry : map)
        if (entry.edit == edit) *entry.slot = v;
    if (edit == EditR) r.R7 = v & 0x80;
    m->SetRegisters(r);
    RefreshView();
}

void TDebugForm::WriteFlag(int index, bool alternate) {
    Machine* m = CurrentMachine();
    if (refreshing || !m || !m->IsDebugHeld()) return;
    Z80Registers r = m->Board().Regs;
    uint32_t& af = alternate ? r.AFAlt : r.AF;
    const uint32_t bit = 1u << (7 - index);
    af = (alternate ? FlagsAlt : FlagsPri)[static_cast<size_t>(index)]->isChecked() ? af | bit : af & ~bit;
    m->SetRegisters(r);
    RefreshView();
}

// ---------------------------------------------------------------------------
// Refresh

void TDebugForm::RefreshView() {
    Machine* m = CurrentMachine();
    if (!m) return;
    const Z80Registers r = m->RegisterSnapshot();
    const bool held = m->IsCpuHeld();
    refreshing = true;
    RefreshRegisters(r, held);
    RefreshMemory(held);
    refreshing = false;
    RefreshListing(r);
    if (!IsRunning() || Tabs->currentIndex() != 0) RefreshLists();
    const Debugger& d = m->Debug();
    if (d.TraceOn())
        LblTrace->setText(QString("%1 instructions recorded, %2 kept").arg(d.Trace().Total()).arg(d.Trace().Size()));
    else LblTrace->setText("The trace is off.");
    if (!IsRunning() && m->IsDebugHeld()) {
        const StopInfo stop = m->LastStop();
        QString text = QString::fromStdString(DescribeStop(stop, &d.Symbols()));
        if (r.Halted) text += " (CPU halted)";
        if (stop.reason != StopReason::None) LblStop->setText(text);
    }
}

void TDebugForm::RefreshRegisters(const Z80Registers& r, bool) {
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
}

// While the machine runs the grid is redrawn only when scrolled (reading
// memory the CPU is writing is tolerated, not done needlessly); while it is
// stopped it always shows what a step just wrote. Bytes are peeked: showing
// a device register never changes the device.
void TDebugForm::RefreshMemory(bool held) {
    Machine* m = CurrentMachine();
    if (MemoryScroll->value() == memoryCache && !held) return;
    // Not under a cell that is being typed into.
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus != MemoryGrid && MemoryGrid->isAncestorOf(focus)) return;
    memoryCache = MemoryScroll->value();
    const TVexaBoard& b = m->Board();
    const unsigned base = static_cast<unsigned>(memoryCache) * MemoryColumns;
    for (int row = 0; row < MemoryGrid->rowCount(); ++row) {
        const unsigned rowAddress = base + static_cast<unsigned>(row) * MemoryColumns;
        QString ascii;
        for (int c = 0; c < 10; ++c)
            if (!MemoryGrid->item(row, c)) MemoryGrid->setItem(row, c, Cell({}, c >= 1 && c <= 8));
        MemoryGrid->item(row, 0)->setText(QString::asprintf("%04x", rowAddress & 0xFFFF));
        for (unsigned col = 0; col < MemoryColumns; ++col) {
            const uint8_t v = b.PeekMem(static_cast<uint16_t>(rowAddress + col));
            MemoryGrid->item(row, static_cast<int>(col) + 1)->setText(QString::asprintf("%02x", v));
            ascii += (v < 32 || v >= 128) ? QLatin1Char('.') : QLatin1Char(static_cast<char>(v));
        }
        MemoryGrid->item(row, 9)->setText(ascii);
    }
}

// From PC when following it (PC on the first line), else from where the
// listing stands (PC when the window first shows it). Labels stand on lines of
// their own, the current line is highlighted, breakpoints are marked.
void TDebugForm::RefreshListing(const Z80Registers& r) {
    Machine* m = CurrentMachine();
    if (!m) return;
    const bool follow = TagSourceTrace->isChecked();
    if (listingStart < 0 || follow) {
        if (follow && static_cast<int64_t>(r.PC) == pcCache && listingStart >= 0) return;
        listingStart = r.PC;
    } else if (static_cast<int64_t>(r.PC) == pcCache && SourceList->count() > 0) {
        return;
    }
    pcCache = r.PC;
    const SymbolTable& symbols = m->Debug().Symbols();
    std::vector<bool> marked(0x10000, false);
    for (const Breakpoint& bp : m->Debug().Breakpoints())
        if (bp.enabled) marked[bp.address] = true;
    const int rowHeight = std::max(1, SourceList->fontMetrics().height());
    const int lines = std::max(ListingLines, SourceList->viewport()->height() / rowHeight + 1);
    const int selected = ListingAddress(SourceList->currentRow());
    SourceList->clear();
    uint32_t d = static_cast<uint32_t>(listingStart);
    int currentRow = -1;
    for (int line = 0; line < lines; ++line) {
        if (const std::string* name = symbols.NameAt(static_cast<uint16_t>(d))) {
            auto* label = new QListWidgetItem(QString::fromStdString(*name) + ":");
            label->setData(Qt::UserRole, -1);
            SourceList->addItem(label);
        }
        uint8_t code[4];
        for (uint32_t i = 0; i < 4; ++i) code[i] = ListingByte(d + i);
        int length = 1;
        const std::string text = DisassembleWithLabels(code, static_cast<uint16_t>(d), &symbols, &length);
        QString lineText = QString::asprintf("%04x: ", d) + QString::fromStdString(text);
        const bool current = (d & 0xFFFF) == r.PC;
        if (current && r.Halted) lineText += "   ; halted";
        auto* item = new QListWidgetItem(lineText);
        item->setData(Qt::UserRole, static_cast<int>(d & 0xFFFF));
        if (marked[d & 0xFFFF]) item->setBackground(BreakpointLine);
        if (current) {
            item->setBackground(CurrentLine);
            currentRow = SourceList->count();
        }
        SourceList->addItem(item);
        d += static_cast<uint32_t>(length);
    }
    listingLinesShown = lines;
    if (currentRow >= 0) SourceList->scrollToItem(SourceList->item(currentRow));
    // The line the user picked stays picked across refreshes.
    for (int row = 0; selected >= 0 && row < SourceList->count(); ++row)
        if (ListingAddress(row) == selected) {
            SourceList->setCurrentRow(row);
            break;
        }
}
