// The device diagnostics monitor: the window over the diagnostics model.
// Devices post from any thread into the model (DiagLog: filters, the log
// file, the capped rows); the list here fetches what is new in batches on
// the Qt thread, so a flood of messages never repaints per row.
#pragma once

#include <QAbstractTableModel>
#include <QWidget>
#include <array>
#include <atomic>
#include <deque>

#include "diag/DiagLog.h"

class QCheckBox;
class QPushButton;
class QTableView;
class QTimer;
class TDiagForm;

// The monitor window as the machine's diagnostics sink, or null: the window
// connects itself to the machine's channel while both exist.
extern std::atomic<DiagSink*> DiagForm;
// The monitor window behind DiagForm, or null.
TDiagForm* DiagFormWindow();

// The two columns "Type" and "Diagnostic Message" over a copy of the rows.
class DiagListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Appends a batch, then drops the oldest rows beyond the cap.
    void Append(std::vector<DiagRow>&& batch);
    void Clear();

private:
    std::deque<DiagRow> rows;
};

class TDiagForm : public QWidget, public DiagSink {
    Q_OBJECT
public:
    static constexpr int SyncIntervalMs = 50;

    // Creates "rizediv.log" in the current folder; throws std::runtime_error
    // when it cannot.
    TDiagForm();
    ~TDiagForm() override;

    bool IsTypeEnabled(int type) const override { return log.IsTypeEnabled(type); }
    void AddMessage(int type, const std::string& text) override { log.AddMessage(type, text); }

    DiagLog& Log() { return log; }
    DiagListModel* ListModel() const { return model; }
    // Brings the list up to date with the model now.
    void SyncList();
    // Writes the export bytes to path; shows the error and returns false when it cannot.
    bool ExportTo(const QString& path);

    std::array<QCheckBox*, DiagTypeCount> TypeChecks{}; // by DiagType, their Tag
    QCheckBox* ChkLogToFile;
    QTableView* ListMessages;
    QPushButton *BtnClear, *BtnCopy, *BtnExport, *BtnClose;

public slots:
    void ChkTypeModified();
    void ChkLogModified();
    void BtnClearClick();
    void BtnCopyClick();
    void BtnExportClick();
    void BtnCloseClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    DiagLog log;
    DiagListModel* model;
    QTimer* syncTimer;
    uint64_t listedEnd = 0; // serial of the next row the list has not fetched
};
