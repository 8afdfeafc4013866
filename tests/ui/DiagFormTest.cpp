// The diagnostics monitor window: filters and log-all, Clear, Copy All,
// Export All, and a list that keeps up with a flood from several threads.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <sstream>
#include <thread>

#include "UiTestSupport.h"
#include "ui/FormDiag.h"

using namespace ui_testing;

namespace {

QString Cell(int row, int column) {
    DiagListModel* model = DiagFormWindow()->ListModel();
    return model->data(model->index(row, column), Qt::DisplayRole).toString();
}

int ListRows() {
    DiagFormWindow()->SyncList();
    return DiagFormWindow()->ListModel()->rowCount();
}

std::string LogFile(const Emulator& emu) { return testing_support::ReadFileText(emu.Dir() / "rizediv.log"); }

// Answers the next save dialog with a file name, as a user would type it.
void AnswerSaveDialog(const QString& name, QString* title) {
    auto* poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [poll, name, title] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        *title = dialog->windowTitle();
        // The file name field, as typed, then Save.
        if (auto* field = dialog->findChild<QLineEdit*>("fileNameEdit")) field->setText(name);
        else dialog->selectFile(name);
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        poll->stop();
        poll->deleteLater();
    });
    poll->start();
}

} // namespace

class DiagFormTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void FiltersDecideListAndFile();
    void ClearKeepsTheLogFile();
    void CopyAllPutsTheRowsOnTheClipboard();
    void ExportWritesTheExactBytes();
    void FloodFromSeveralThreadsStaysResponsive();

private:
    std::unique_ptr<Emulator> emu;
};

void DiagFormTest::init() {
    emu = std::make_unique<Emulator>("steps");
    QVERIFY(emu->Start());
}

void DiagFormTest::cleanup() { emu.reset(); }

void DiagFormTest::FiltersDecideListAndFile() {
    TDiagForm* form = DiagFormWindow();
    for (int t = 0; t < DiagTypeCount; ++t) QVERIFY(!form->IsTypeEnabled(t));
    form->AddMessage(DIAG_AUDIO, "nobody sees this");
    QCOMPARE(ListRows(), 0);
    QCOMPARE(LogFile(*emu), std::string());

    form->TypeChecks[DIAG_AUDIO]->click();
    QCOMPARE(form->TypeChecks[DIAG_AUDIO]->text(), QString("Audio"));
    QVERIFY(form->IsTypeEnabled(DIAG_AUDIO));
    QVERIFY(!form->IsTypeEnabled(DIAG_VIDEO));
    form->AddMessage(DIAG_AUDIO, "listed and logged");
    form->AddMessage(DIAG_VIDEO, "dropped");
    QCOMPARE(ListRows(), 1);
    QCOMPARE(Cell(0, 0), QString("AUDIO"));
    QCOMPARE(Cell(0, 1), QString("listed and logged"));
    QCOMPARE(LogFile(*emu), std::string("AUDIO\tlisted and logged\r\n"));

    form->ChkLogToFile->click();
    form->TypeChecks[DIAG_VEXA_MISC]->click();
    form->AddMessage(DIAG_VIDEO, "logged only");
    form->AddMessage(DIAG_VEXA_MISC, "both");
    QCOMPARE(ListRows(), 2);
    QCOMPARE(Cell(1, 0), QString("Vexa Misc"));
    QCOMPARE(LogFile(*emu),
             std::string("AUDIO\tlisted and logged\r\nVIDEO\tlogged only\r\nVexa Misc\tboth\r\n"));
    // The header of the list.
    QCOMPARE(form->ListModel()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
             QString("Diagnostic Message"));
}

void DiagFormTest::ClearKeepsTheLogFile() {
    TDiagForm* form = DiagFormWindow();
    form->TypeChecks[DIAG_CPU]->click();
    form->AddMessage(DIAG_CPU, "one");
    form->AddMessage(DIAG_CPU, "two");
    QCOMPARE(ListRows(), 2);
    form->BtnClear->click();
    QCOMPARE(ListRows(), 0);
    form->AddMessage(DIAG_CPU, "three");
    QCOMPARE(ListRows(), 1);
    QCOMPARE(Cell(0, 1), QString("three"));
    QCOMPARE(LogFile(*emu), std::string("CPU\tone\r\nCPU\ttwo\r\nCPU\tthree\r\n"));
}

void DiagFormTest::CopyAllPutsTheRowsOnTheClipboard() {
    TDiagForm* form = DiagFormWindow();
    form->BtnCopy->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
    form->TypeChecks[DIAG_KB_MOUSE]->click();
    form->TypeChecks[DIAG_SD_MMC]->click();
    form->AddMessage(DIAG_KB_MOUSE, "Key Press 0x0041, 0x0000");
    form->AddMessage(DIAG_SD_MMC, "CMD17");
    form->BtnCopy->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("KB/MOUSE\tKey Press 0x0041, 0x0000\r\nSD/MMC\tCMD17\r\n"));
}

void DiagFormTest::ExportWritesTheExactBytes() {
    TDiagForm* form = DiagFormWindow();
    QString title;
    // An empty list exports a single zero byte; the dialog adds ".txt".
    AnswerSaveDialog(QString::fromStdString((emu->Dir() / "empty").string()), &title);
    form->BtnExport->click();
    QCOMPARE(title, QString("Export Diagnostic Messages"));
    QCOMPARE(testing_support::ReadFileBytes(emu->Dir() / "empty.txt"), std::vector<uint8_t>({0}));

    form->TypeChecks[DIAG_MATHS]->click();
    form->AddMessage(DIAG_MATHS, "a");
    form->AddMessage(DIAG_MATHS, "bc");
    AnswerSaveDialog(QString::fromStdString((emu->Dir() / "rows.txt").string()), &title);
    form->BtnExport->click();
    const std::string expected("MATHS\ta\r\nMATHS\tbc\r\n\0", 20);
    QCOMPARE(testing_support::ReadFileText(emu->Dir() / "rows.txt"), expected);

    // A file that cannot be written reports it and changes nothing.
    BoxAnswerer boxes;
    QVERIFY(!form->ExportTo(QString::fromStdString((emu->Dir() / "no" / "such" / "x.txt").string())));
    QCOMPARE(boxes.seen.size(), 1);
    QVERIFY(boxes.seen[0].startsWith("Export Diagnostic Messages|"));
    QCOMPARE(ListRows(), 2);
}

void DiagFormTest::FloodFromSeveralThreadsStaysResponsive() {
    TDiagForm* form = DiagFormWindow();
    form->show();
    form->ChkLogToFile->click();
    // Types the running machine never posts, so only the posters' lines count.
    form->TypeChecks[DIAG_RS232]->click();
    constexpr int Threads = 4, PerThread = 12000;
    std::atomic<int> running{Threads};
    std::vector<std::thread> posters;
    for (int t = 0; t < Threads; ++t)
        posters.emplace_back([t, form, &running] {
            // Bursts, as devices post: far more than thousands a second.
            for (int i = 0; i < PerThread; ++i) {
                form->AddMessage(DIAG_RS232, std::to_string(t) + " " + std::to_string(i));
                form->AddMessage(DIAG_UNUSED, "log only");
                if (i % 100 == 99) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            running.fetch_sub(1);
        });
    // The event loop keeps turning while the threads post.
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, worstGap = 0;
    QTimer tick;
    tick.setInterval(10);
    connect(&tick, &QTimer::timeout, [&] {
        worstGap = std::max(worstGap, clock.elapsed() - last);
        last = clock.elapsed();
    });
    tick.start();
    int listedDuringFlood = 0;
    QVERIFY(WaitFor(
        [&] {
            listedDuringFlood = std::max(listedDuringFlood, form->ListModel()->rowCount());
            return running.load() == 0;
        },
        60000));
    QVERIFY(listedDuringFlood > 0); // the list fills while the flood goes on
    for (auto& p : posters) p.join();
    Pump(3 * TDiagForm::SyncIntervalMs);
    tick.stop();
    // A list that repaints per row stalls for seconds; the batches keep the
    // loop turning (the bound leaves room for a machine busy with other tests).
    QVERIFY2(worstGap < 2500, qPrintable(QString("the event loop stalled for %1 ms").arg(worstGap)));

    // The list holds the newest 32768 rows, the same as the model, and each
    // thread's rows are in the order they were posted.
    const auto rows = form->Log().Rows();
    QCOMPARE(int(rows.size()), 32768);
    QCOMPARE(form->ListModel()->rowCount(), 32768);
    QCOMPARE(Cell(0, 1), QString::fromStdString(rows.front().text));
    QCOMPARE(Cell(32767, 1), QString::fromStdString(rows.back().text));
    std::vector<int> next(Threads, -1);
    for (const DiagRow& row : rows) {
        const int t = std::stoi(row.text), i = std::stoi(row.text.substr(row.text.find(' ') + 1));
        QVERIFY(i > next[t]);
        next[t] = i;
    }
    for (int t = 0; t < Threads; ++t) QCOMPARE(next[t], PerThread - 1);
    // Every message went to the file, each line whole.
    std::istringstream log(LogFile(*emu));
    std::string line;
    int listedLines = 0, logOnlyLines = 0;
    while (std::getline(log, line)) {
        listedLines += line.rfind("RS232\t", 0) == 0 && line.back() == '\r';
        logOnlyLines += line == "UNUSED\tlog only\r";
    }
    QCOMPARE(listedLines, Threads * PerThread);
    QCOMPARE(logOnlyLines, Threads * PerThread);
}

QTEST_MAIN(DiagFormTest)
#include "DiagFormTest.moc"
