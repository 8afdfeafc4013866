// The card image on disk survives the emulator being killed while it writes
// the card back: a child process writes generation after generation of the
// whole card through the SPI port and commits each one, and is killed
// (SIGKILL) at random moments. Every time, the file holds one generation
// whole, the last one committed or the one being committed, never a mix.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "board/Machine.h"
#include "board/Ports.h"
#include "support/TestFiles.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

constexpr size_t Blocks = 512; // a 256 KB card
constexpr size_t BlockSize = 512;

// Block b of generation g: every byte tells both, so a block from another
// generation or a half-written block cannot pass for this one.
uint8_t Byte(uint32_t g, size_t b, size_t i) { return static_cast<uint8_t>(g * 7 + b * 3 + (i & 1) * (g >> 8)); }

std::vector<uint8_t> Generation(uint32_t g) {
    std::vector<uint8_t> image(Blocks * BlockSize);
    for (size_t b = 0; b < Blocks; ++b)
        for (size_t i = 0; i < BlockSize; ++i) image[b * BlockSize + i] = Byte(g, b, i);
    return image;
}

// The generation the image holds whole, or -1 when it is torn or cut.
long WholeGeneration(const std::vector<uint8_t>& image, uint32_t around) {
    for (uint32_t g = around > 2 ? around - 2 : 0; g <= around + 2; ++g)
        if (image == Generation(g)) return g;
    return -1;
}

// The child: from the generation on disk on, writes the next one through the
// SPI port, commits it (the close question, answered by "nowriteprompt") and
// reports it on `report`. Never returns.
[[noreturn]] void WriteGenerations(const fs::path& folder, int report, uint32_t from) {
    MachineOptions options;
    options.folder = folder.string();
    Machine machine(nullptr, options);
    TVexaBoard& board = machine.Board();
    for (uint32_t g = from + 1;; ++g) {
        for (size_t b = 0; b < Blocks; ++b) {
            const uint32_t address = static_cast<uint32_t>(b * BlockSize);
            const uint8_t frame[] = {0x58, static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16),
                                     static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), 0xFF, 0xFF,
                                     0xFE};
            for (uint8_t byte : frame) board.OutPort(PortSpi, byte);
            for (size_t i = 0; i < BlockSize; ++i) board.OutPort(PortSpi, Byte(g, b, i));
            board.OutPort(PortSpi, 0xFF);
            board.OutPort(PortSpi, 0xFF);
            while (board.InPort(PortSpi) != 0) {} // the answers are of no interest
        }
        if (!machine.QueryClose()) _exit(3);
        if (::write(report, &g, sizeof g) != sizeof g) _exit(4);
    }
}

TEST(SdCrashSafety, AKilledWriteBackLeavesTheOldImageOrTheNewOneWhole) {
    TempDir dir;
    WriteFileText(dir / "config.txt", "sdcard 0 card.img\nwriteenable\nnowriteprompt\n");
    WriteFileBytes(dir / "card.img", Generation(0));
    std::mt19937 random(20240611);
    uint32_t committed = 0;
    int kills = 0, inFlight = 0;
    for (; kills < 220; ++kills) {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            WriteGenerations(dir.Path(), pipeFds[1], committed);
        }
        ::close(pipeFds[1]);
        // Let it commit once, then kill it somewhere in the next commits.
        uint32_t g = 0;
        ASSERT_EQ(::read(pipeFds[0], &g, sizeof g), static_cast<ssize_t>(sizeof g));
        committed = g;
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 40000));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself with " << status;
        while (::read(pipeFds[0], &g, sizeof g) == static_cast<ssize_t>(sizeof g)) committed = g;
        ::close(pipeFds[0]);

        const long onDisk = WholeGeneration(ReadFileBytes(dir / "card.img"), committed);
        ASSERT_TRUE(onDisk == committed || onDisk == committed + 1)
            << "kill " << kills << ": generation " << committed << " was committed, the file holds "
            << (onDisk < 0 ? std::string("a torn image") : std::to_string(onDisk));
        if (onDisk == committed + 1) ++inFlight; // killed after the rename, before the report
        committed = static_cast<uint32_t>(onDisk);
        // A kill during a write-back leaves its temporary file behind.
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            if (entry.path().filename().string().rfind(".card.img.", 0) == 0) fs::remove(entry.path());
    }
    EXPECT_GE(kills, 200);
    std::printf("%d kills, %u generations committed, %d kills between rename and report\n", kills, committed,
                inFlight);
}

} // namespace
