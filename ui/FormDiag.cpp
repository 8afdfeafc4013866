#include "ui/FormDiag.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QGuiApplication>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "board/Machine.h"
#include "ui/FormMain.h"

std::atomic<DiagSink*> DiagForm{nullptr};

TDiagForm* DiagFormWindow() { return dynamic_cast<TDiagForm*>(DiagForm.load(std::memory_order_acquire)); }

// ---------------------------------------------------------------------------
// The list

int DiagListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows.size());
}

int DiagListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant DiagListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= static_cast<int>(rows.size())) return {};
    const DiagRow& row = rows[static_cast<size_t>(index.row())];
    if (index.column() == 0) return QString::fromLatin1(DiagTypeLabel(row.type));
    return QString::fromLocal8Bit(row.text.c_str());
}

QVariant DiagListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    return section == 0 ? QStringLiteral("Type") : QStringLiteral("Diagnostic Message");
}

void DiagListModel::Append(std::vector<DiagRow>&& batch) {
    if (batch.empty()) return;
    // Only the newest MaxRows of a batch can survive the cap.
    size_t skip = batch.size() > DiagLog::MaxRows ? batch.size() - DiagLog::MaxRows : 0;
    const int first = static_cast<int>(rows.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(batch.size() - skip) - 1);
    for (size_t i = skip; i < batch.size(); ++i) rows.push_back(std::move(batch[i]));
    endInsertRows();
    if (rows.size() > DiagLog::MaxRows) {
        const int excess = static_cast<int>(rows.size() - DiagLog::MaxRows);
        beginRemoveRows(QModelIndex(), 0, excess - 1);
        rows.erase(rows.begin(), rows.begin() + excess);
        endRemoveRows();
    }
}

void DiagListModel::Clear() {
    beginResetModel();
    rows.clear();
    endResetModel();
}

// ---------------------------------------------------------------------------
// The window

TDiagForm::TDiagForm() : QWidget(nullptr, Qt::Tool), log("rizediv.log") {
    setObjectName("DiagForm");
    setWindowTitle("Device Diagnostics Monitor");

    auto* grpFilters = new QGroupBox(" Messages to Display ", this);
    grpFilters->setObjectName("GrpFilters");
    auto* filterLayout = new QGridLayout(grpFilters);
    const struct {
        const char* name;
        const char* caption;
    } boxes[DiagTypeCount] = {
        {"ChkCPU", "CPU"},         {"ChkPIC", "PIC/EEPROM"}, {"ChkTimer", "Timer"},     {"ChkAudio", "Audio"},
        {"ChkVexaMisc", "Vexa Misc"}, {"ChkPalette", "Palette"}, {"ChkVideo", "Video"}, {"ChkKBMouse", "KB/Mouse"},
        {"ChkMathsUnit", "Maths Unit"}, {"ChkSDMMC", "SD/MMC"}, {"ChkRS232", "RS232"}, {"ChkUnused8", "Unused"},
    };
    for (int type = 0; type < DiagTypeCount; ++type) {
        auto* box = new QCheckBox(boxes[type].caption, grpFilters);
        box->setObjectName(boxes[type].name);
        box->setProperty("Tag", type);
        filterLayout->addWidget(box, type / 4, type % 4);
        connect(box, &QCheckBox::toggled, this, &TDiagForm::ChkTypeModified);
        TypeChecks[static_cast<size_t>(type)] = box;
        log.SetFilter(type, box->isChecked());
    }
    ChkLogToFile = new QCheckBox("Log ALL Messages to Log File (CAUTION! Large file produced, VERY SLOW)", grpFilters);
    ChkLogToFile->setObjectName("ChkLogToFile");
    filterLayout->addWidget(ChkLogToFile, 3, 0, 1, 4);
    connect(ChkLogToFile, &QCheckBox::toggled, this, &TDiagForm::ChkLogModified);
    log.SetLogAll(false);

    model = new DiagListModel(this);
    ListMessages = new QTableView(this);
    ListMessages->setObjectName("ListMessages");
    ListMessages->setModel(model);
    ListMessages->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    ListMessages->setShowGrid(true);
    ListMessages->setWordWrap(false);
    ListMessages->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListMessages->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListMessages->verticalHeader()->hide();
    // Fixed row heights: the view never measures rows, whatever their number.
    ListMessages->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ListMessages->verticalHeader()->setDefaultSectionSize(ListMessages->fontMetrics().height() + 2);
    ListMessages->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    ListMessages->horizontalHeader()->setStretchLastSection(true);
    // 60 pixels, or what the longest label needs in this font.
    ListMessages->setColumnWidth(0, std::max(60, ListMessages->fontMetrics().horizontalAdvance("Vexa Misc") + 12));
    ListMessages->setColumnWidth(1, 340);

    BtnClear = new QPushButton("Clear", this);
    BtnClear->setObjectName("BtnClear");
    BtnCopy = new QPushButton("Copy All", this);
    BtnCopy->setObjectName("BtnCopy");
    BtnExport = new QPushButton("Export All...", this);
    BtnExport->setObjectName("BtnExport");
    BtnClose = new QPushButton("Close", this);
    BtnClose->setObjectName("BtnClose");
    connect(BtnClear, &QPushButton::clicked, this, &TDiagForm::BtnClearClick);
    connect(BtnCopy, &QPushButton::clicked, this, &TDiagForm::BtnCopyClick);
    connect(BtnExport, &QPushButton::clicked, this, &TDiagForm::BtnExportClick);
    connect(BtnClose, &QPushButton::clicked, this, &TDiagForm::BtnCloseClick);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BtnClear);
    buttons->addWidget(BtnCopy);
    buttons->addWidget(BtnExport);
    buttons->addStretch(1);
    buttons->addWidget(BtnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grpFilters);
    layout->addWidget(ListMessages, 1);
    layout->addLayout(buttons);

    syncTimer = new QTimer(this);
    syncTimer->setInterval(SyncIntervalMs);
    connect(syncTimer, &QTimer::timeout, this, &TDiagForm::SyncList);
    syncTimer->start();

    setFixedSize(QSize(444, 551).expandedTo(sizeHint()));
    if (QScreen* display = QGuiApplication::primaryScreen())
        move(display->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    listedEnd = log.FirstSerial();
    // Devices see the sink only once it is complete.
    DiagForm.store(this, std::memory_order_release);
    if (Machine* machine = VexaMachine.load(std::memory_order_acquire)) machine->Diag().Connect(this);
}

TDiagForm::~TDiagForm() {
    if (Machine* machine = VexaMachine.load(std::memory_order_acquire))
        if (machine->Diag().Sink() == this) machine->Diag().Connect(nullptr);
    DiagSink* self = this;
    DiagForm.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
}

void TDiagForm::SyncList() {
    if (log.EndSerial() == listedEnd) return;
    uint64_t first = 0;
    std::vector<DiagRow> batch = log.RowsFrom(listedEnd, &first);
    listedEnd = first + batch.size();
    const bool atBottom = ListMessages->verticalScrollBar() == nullptr ||
                          ListMessages->verticalScrollBar()->value() == ListMessages->verticalScrollBar()->maximum();
    model->Append(std::move(batch));
    if (atBottom && isVisible()) ListMessages->scrollToBottom();
}

bool TDiagForm::ExportTo(const QString& path) {
    std::string error;
    if (log.ExportToFile(path.toLocal8Bit().toStdString(), &error)) return true;
    QMessageBox::critical(this, "Export Diagnostic Messages", QString::fromLocal8Bit(error.c_str()));
    return false;
}

void TDiagForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    SyncList();
    ListMessages->scrollToBottom();
}

// ---------------------------------------------------------------------------
// Commands

void TDiagForm::ChkTypeModified() {
    auto* box = qobject_cast<QCheckBox*>(sender());
    if (!box) return;
    log.SetFilter(box->property("Tag").toInt(), box->isChecked());
}

void TDiagForm::ChkLogModified() { log.SetLogAll(ChkLogToFile->isChecked()); }

void TDiagForm::BtnClearClick() {
    log.Clear();
    // Rows posted after the clear have serials from here on.
    listedEnd = log.FirstSerial();
    model->Clear();
}

void TDiagForm::BtnCopyClick() {
    const std::string buffer = log.ExportBuffer();
    // The text is the bytes before the terminating zero byte.
    QGuiApplication::clipboard()->setText(QString::fromLatin1(buffer.c_str()));
}

void TDiagForm::BtnExportClick() {
    QFileDialog dialog(this, "Export Diagnostic Messages");
    dialog.setObjectName("SaveDialog");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter("Text Files (*.txt)");
    dialog.setDefaultSuffix("txt");
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    ExportTo(dialog.selectedFiles().front());
}

void TDiagForm::BtnCloseClick() { hide(); }
