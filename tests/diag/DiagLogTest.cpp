// The diagnostics model: filters and log-all, the log file's exact bytes, the
// row cap, Clear, the export buffer, posting from several threads, and the
// two message formatters.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "diag/DiagLog.h"
#include "support/TestFiles.h"

using testing_support::ReadFileBytes;
using testing_support::ReadFileText;
using testing_support::TempDir;

namespace {

std::vector<std::string> Texts(const DiagLog& log) {
    std::vector<std::string> out;
    for (const DiagRow& r : log.Rows()) out.push_back(r.text);
    return out;
}

TEST(DiagTypeLabels, AreTheSystemsOwn) {
    const char* expected[] = {"CPU",      "PIC",   "TIMER",  "AUDIO", "Vexa Misc", "PALETTE",
                              "VIDEO",    "KB/MOUSE", "MATHS", "SD/MMC", "RS232",   "UNUSED"};
    for (int t = 0; t < DiagTypeCount; ++t) EXPECT_STREQ(DiagTypeLabel(t), expected[t]);
}

TEST(DiagLogTest, NothingIsKeptWithNoFilterAndNoLogAll) {
    TempDir dir;
    DiagLog log((dir / "rizediv.log").string());
    for (int t = 0; t < DiagTypeCount; ++t) {
        EXPECT_FALSE(log.IsTypeEnabled(t));
        log.AddMessage(t, "x");
    }
    EXPECT_EQ(log.RowCount(), 0u);
    EXPECT_EQ(ReadFileBytes(dir / "rizediv.log").size(), 0u);
}

TEST(DiagLogTest, LogAllWritesEverythingToTheFileAndNothingToTheList) {
    TempDir dir;
    DiagLog log((dir / "rizediv.log").string());
    log.SetLogAll(true);
    for (int t = 0; t < DiagTypeCount; ++t) EXPECT_TRUE(log.IsTypeEnabled(t));
    log.AddMessage(DIAG_VEXA_MISC, "one");
    log.AddMessage(DIAG_AUDIO, "two");
    EXPECT_EQ(log.RowCount(), 0u);
    EXPECT_EQ(ReadFileText(dir / "rizediv.log"), "Vexa Misc\tone\r\nAUDIO\ttwo\r\n");
}

TEST(DiagLogTest, ATickedTypeGoesToBothListAndFileOthersNowhere) {
    TempDir dir;
    DiagLog log((dir / "rizediv.log").string());
    log.SetFilter(DIAG_AUDIO, true);
    EXPECT_TRUE(log.IsTypeEnabled(DIAG_AUDIO));
    EXPECT_FALSE(log.IsTypeEnabled(DIAG_VIDEO));
    log.AddMessage(DIAG_AUDIO, "Start Channel: 1");
    log.AddMessage(DIAG_VIDEO, "ignored");
    ASSERT_EQ(log.RowCount(), 1u);
    EXPECT_EQ(log.Rows()[0].type, DIAG_AUDIO);
    EXPECT_EQ(ReadFileText(dir / "rizediv.log"), "AUDIO\tStart Channel: 1\r\n");
    // Unticking takes effect for the next message; rows already listed stay.
    log.SetFilter(DIAG_AUDIO, false);
    log.AddMessage(DIAG_AUDIO, "later");
    EXPECT_EQ(Texts(log), std::vector<std::string>{"Start Channel: 1"});
}

TEST(DiagLogTest, TheLogFileIsCompleteAfterEveryPost) {
    TempDir dir;
    DiagLog log((dir / "rizediv.log").string());
    log.SetFilter(DIAG_CPU, true);
    log.AddMessage(DIAG_CPU, "first");
    EXPECT_EQ(ReadFileText(dir / "rizediv.log"), "CPU\tfirst\r\n"); // no buffering of our own
}

TEST(DiagLogTest, CreatingTheLogTruncatesAnOldOne) {
    TempDir dir;
    testing_support::WriteFileText(dir / "rizediv.log", "old contents");
    DiagLog log((dir / "rizediv.log").string());
    EXPECT_EQ(ReadFileBytes(dir / "rizediv.log").size(), 0u);
}

TEST(DiagLogTest, ALogThatCannotBeCreatedIsAnError) {
    TempDir dir;
    EXPECT_THROW(DiagLog((dir / "missing" / "rizediv.log").string()), std::runtime_error);
}

TEST(DiagLogTest, TheListKeepsTheNewest32768Rows) {
    DiagLog log("");
    log.SetFilter(DIAG_MATHS, true);
    for (int i = 0; i < 32769; ++i) log.AddMessage(DIAG_MATHS, std::to_string(i));
    EXPECT_EQ(log.RowCount(), 32768u);
    const auto rows = log.Rows();
    EXPECT_EQ(rows.front().text, "1");
    EXPECT_EQ(rows.back().text, "32768");
    EXPECT_EQ(log.FirstSerial(), 1u);
    EXPECT_EQ(log.EndSerial(), 32769u);
}

TEST(DiagLogTest, RowsFromGivesOnlyWhatIsNewAndStillThere) {
    DiagLog log("");
    log.SetFilter(DIAG_CPU, true);
    log.AddMessage(DIAG_CPU, "a");
    log.AddMessage(DIAG_CPU, "b");
    uint64_t first = 99;
    auto rows = log.RowsFrom(1, &first);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(rows[0].text, "b");
    log.Clear();
    log.AddMessage(DIAG_CPU, "c");
    rows = log.RowsFrom(0, &first); // cleared rows are gone
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(first, 2u);
    EXPECT_EQ(rows[0].text, "c");
}

TEST(DiagLogTest, ClearEmptiesTheListButNotTheFile) {
    TempDir dir;
    DiagLog log((dir / "rizediv.log").string());
    log.SetFilter(DIAG_PIC, true);
    log.AddMessage(DIAG_PIC, "kept in the file");
    log.Clear();
    EXPECT_EQ(log.RowCount(), 0u);
    EXPECT_EQ(ReadFileText(dir / "rizediv.log"), "PIC\tkept in the file\r\n");
}

TEST(DiagLogTest, ExportIsRowsThenOneZeroByte) {
    TempDir dir;
    DiagLog log("");
    std::string error;
    ASSERT_TRUE(log.ExportToFile((dir / "empty.txt").string(), &error)) << error;
    EXPECT_EQ(ReadFileBytes(dir / "empty.txt"), std::vector<uint8_t>{0});

    log.SetFilter(DIAG_VEXA_MISC, true);
    log.SetFilter(DIAG_SD_MMC, true);
    log.AddMessage(DIAG_VEXA_MISC, "text");
    log.AddMessage(DIAG_SD_MMC, "CMD0_GO_IDLE_STATE");
    const std::string expected = std::string("Vexa Misc\ttext\r\nSD/MMC\tCMD0_GO_IDLE_STATE\r\n") + '\0';
    EXPECT_EQ(log.ExportBuffer(), expected);
    ASSERT_TRUE(log.ExportToFile((dir / "out.txt").string(), &error)) << error;
    EXPECT_EQ(ReadFileText(dir / "out.txt"), expected);
    EXPECT_FALSE(log.ExportToFile((dir / "no" / "out.txt").string(), &error));
    EXPECT_FALSE(error.empty());
}

// A write that fails half way (here the file-size limit) names the file the
// user chose, never the temporary file it goes through, and leaves neither.
TEST(DiagLogTest, FailedExportNamesTheChosenFile) {
    TempDir dir;
    DiagLog log("");
    log.SetFilter(DIAG_VIDEO, true);
    log.AddMessage(DIAG_VIDEO, std::string(100, 'x'));
    const std::string target = (dir / "out.txt").string();
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(fds[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit{16, 16};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        if (log.ExportToFile(target, &error)) error = "succeeded";
        (void)!::write(fds[1], error.data(), error.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string error;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) error.append(buffer, static_cast<size_t>(n));
    ::close(fds[0]);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(error, "cannot write " + target + ": " + std::strerror(EFBIG));
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path())) << "a file was left behind";
}

TEST(DiagLogTest, PostsFromSeveralThreadsKeepEachThreadsOrder) {
    TempDir dir;
    DiagLog log((dir / "rizediv.log").string());
    log.SetFilter(DIAG_CPU, true);
    constexpr int PerThread = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < PerThread; ++i) log.AddMessage(DIAG_CPU, std::to_string(t) + ":" + std::to_string(i));
        });
    for (auto& th : threads) th.join();
    const auto rows = log.Rows();
    ASSERT_EQ(rows.size(), 4u * PerThread);
    // The file holds the same lines in the same order as the list.
    std::string fromRows;
    int next[4] = {0, 0, 0, 0};
    for (const DiagRow& r : rows) {
        fromRows += "CPU\t" + r.text + "\r\n";
        const int t = r.text[0] - '0';
        EXPECT_EQ(r.text.substr(2), std::to_string(next[t]++));
    }
    EXPECT_EQ(ReadFileText(dir / "rizediv.log"), fromRows);
}

TEST(Formatters, CPrintsLowerCaseToolkitUpperCase) {
    EXPECT_EQ(FormatC("0x%4.4x %d %s", 0xab, -3, "ok"), "0x00ab -3 ok");
    EXPECT_EQ(FormatToolkit("0x%4.4x %d %s", 0xab, -3, "ok"), "0x00AB -3 ok");
    EXPECT_EQ(FormatToolkit("0x%3.3x", 0x1a), "0x01A");
    EXPECT_EQ(FormatToolkit("0x%8.8x", -512), "0xFFFFFE00"); // negative values print 32 bits
    EXPECT_EQ(FormatToolkit("100%% %x", 255), "100% FF");
    EXPECT_EQ(FormatToolkit("%4.1f MHz", 36.04), "36.0 MHz");
    EXPECT_EQ(FormatC("%s", std::string(1000, 'y').c_str()).size(), 1000u);
}

} // namespace
