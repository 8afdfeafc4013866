// Diagnostics posted from several threads at once while another reads the
// rows: lines never interleave and each poster's order is kept.
#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <thread>
#include <vector>

#include "diag/DiagLog.h"
#include "support/TestFiles.h"

TEST(DiagThreads, PostsFromSeveralThreadsKeepTheirOrderInListAndFile) {
    testing_support::TempDir dir;
    DiagLog log((dir / "rizediv.log").string());
    log.SetFilter(DIAG_TIMER, true);
    log.SetLogAll(true);
    constexpr int Threads = 4, PerThread = 5000;
    std::atomic<bool> done{false};
    std::atomic<size_t> fetched{0};
    // A reader as the monitor window is one: fetching new rows by serial.
    std::thread reader([&] {
        uint64_t next = 0;
        while (!done.load()) {
            uint64_t first = 0;
            const auto rows = log.RowsFrom(next, &first);
            next = first + rows.size();
            fetched += rows.size();
            (void)log.IsTypeEnabled(DIAG_TIMER);
        }
    });
    std::vector<std::thread> posters;
    for (int t = 0; t < Threads; ++t)
        posters.emplace_back([&log, t] {
            for (int i = 0; i < PerThread; ++i) {
                log.AddMessage(DIAG_TIMER, std::to_string(t) + " " + std::to_string(i));
                log.AddMessage(DIAG_AUDIO, "file only " + std::to_string(t));
            }
        });
    for (auto& p : posters) p.join();
    done = true;
    reader.join();
    EXPECT_GT(fetched.load(), 0u);

    const auto rows = log.Rows();
    ASSERT_EQ(rows.size(), size_t(Threads * PerThread));
    std::vector<int> next(Threads, 0);
    for (const DiagRow& row : rows) {
        std::istringstream in(row.text);
        int t = -1, i = -1;
        in >> t >> i;
        ASSERT_GE(t, 0);
        ASSERT_EQ(i, next[t]) << "thread " << t;
        ++next[t];
    }
    // The file holds every line whole, in the same order as the list.
    std::istringstream file(testing_support::ReadFileText(dir / "rizediv.log"));
    std::string line;
    size_t lines = 0, listed = 0;
    while (std::getline(file, line)) {
        ++lines;
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r');
        if (line.rfind("TIMER\t", 0) == 0) {
            ASSERT_EQ(line.substr(6, line.size() - 7), rows[listed].text);
            ++listed;
        } else {
            ASSERT_EQ(line.rfind("AUDIO\tfile only ", 0), 0u) << line;
        }
    }
    EXPECT_EQ(lines, size_t(2 * Threads * PerThread));
    EXPECT_EQ(listed, rows.size());
}
