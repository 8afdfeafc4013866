// The board hands its devices their cycles by next event: Tick counts down to
// the nearest moment a device can change what the processor sees, and the
// devices are caught up before every access to one. Checked here against the
// plain clock, where every device is handed every instruction's cycles as it
// ends: two machines run the same programs in the same uneven stretches, one
// each way, and after every stretch their whole states (processor, memories,
// every device, the clock) and their logs must be the same.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StateTestSupport.h"
#include "devices/Vexamouse.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

class LogCapture : public DiagSink {
public:
    bool IsTypeEnabled(int) const override { return true; }
    void AddMessage(int type, const std::string& text) override {
        log += std::to_string(type) + ' ' + text + '\n';
        ++lines;
    }
    std::string log;
    int lines = 0;
};

// Two machines on the same folder contents, one of them syncing its devices
// after every instruction, both logging everything.
class ClockPair {
public:
    explicit ClockPair(const std::filesystem::path& rom) {
        for (int i = 0; i < 2; ++i) {
            state_test::PrepareFolder(dirs_[i].Path());
            std::filesystem::copy_file(rom, dirs_[i] / "rom.bin", std::filesystem::copy_options::overwrite_existing);
            MachineOptions options;
            options.folder = dirs_[i].Path().string();
            options.randomSeed = 1;
            machines_[i] = std::make_unique<Machine>(&host_, options);
            machines_[i]->Diag().Connect(&logs_[i]);
        }
        machines_[1]->Board().SetSyncEveryInstruction(true);
    }
    ~ClockPair() {
        for (auto& m : machines_) m->Diag().Connect(nullptr);
    }

    template <class Action> void Both(Action action) {
        for (auto& m : machines_) action(*m);
    }
    // Runs both for `cycles` and compares them; false (with a failure) on the
    // first difference.
    bool RunAndCompare(uint64_t cycles, int stretch) {
        Both([cycles](Machine& m) { m.RunCycles(cycles); });
        const std::vector<uint8_t> a = machines_[0]->CaptureState(), b = machines_[1]->CaptureState();
        EXPECT_EQ(machines_[0]->Board().EmulatedCycles(), machines_[1]->Board().EmulatedCycles()) << stretch;
        EXPECT_TRUE(a == b) << "the states differ after stretch " << stretch;
        EXPECT_EQ(logs_[0].lines, logs_[1].lines) << "after stretch " << stretch;
        return a == b && logs_[0].lines == logs_[1].lines;
    }
    const LogCapture& Log(int i) const { return logs_[i]; }
    Machine& First() { return *machines_[0]; }

private:
    TempDir dirs_[2];
    FakeHost host_;
    LogCapture logs_[2];
    std::unique_ptr<Machine> machines_[2];
};

// Uneven stretches, so that runs end at every kind of point: mid-line, inside
// a PS/2 transfer, just before a timer overflow.
uint64_t Stretch(int i) { return 3001 + static_cast<uint64_t>(i % 13) * 7919 + static_cast<uint64_t>(i % 5) * 104729; }

TEST(EventClock, AllDevicesProgramMatchesTheClockThatSyncsAfterEveryInstruction) {
    ClockPair pair(TestProgram("state", "alldevices"));
    uint64_t total = 0;
    for (int i = 0; i < 160 && !::testing::Test::HasFailure(); ++i) {
        if (i % 9 == 4) // keys and mouse bytes arrive between runs, as from the window
            pair.Both([i](Machine& m) {
                m.Board().HostKeyDown(static_cast<uint16_t>('A' + i % 26), 0);
                m.Board().Mouse()->QueueByte(static_cast<uint8_t>(i));
            });
        if (i % 9 == 6) pair.Both([i](Machine& m) { m.Board().HostKeyUp(static_cast<uint16_t>('A' + i % 26), 0); });
        total += Stretch(i);
        pair.RunAndCompare(Stretch(i), i);
    }
    EXPECT_GT(total, 60u * CyclesPerFrame);
    EXPECT_EQ(pair.Log(0).log, pair.Log(1).log);
    // The program ran with every source live: interrupts taken, keys read.
    const uint8_t* ram = pair.First().Board().MainRam();
    EXPECT_GT(ram[0x4000] | ram[0x4001] << 8, 500);
    EXPECT_EQ(ram[0x4003] & 0x0F, 0x0F) << "keyboard, mouse, timer and raster were all seen";
    EXPECT_NE(ram[0x4100], 0) << "keyboard bytes arrived";
}

TEST(EventClock, SamplesOfRasterStatusAndPs2LinesMatchTheClockThatSyncsAfterEveryInstruction) {
    ClockPair pair(TestProgram("state", "clocksample"));
    for (int i = 0; i < 60 && !::testing::Test::HasFailure(); ++i) {
        if (i % 7 == 3) pair.Both([](Machine& m) { m.Board().HostKeyDown('K', 0); });
        pair.RunAndCompare(Stretch(i), i);
    }
    EXPECT_EQ(pair.Log(0).log, pair.Log(1).log);
    const uint8_t* ram = pair.First().Board().MainRam();
    EXPECT_GT(ram[0x3F80] | ram[0x3F81] << 8, 200) << "interrupts taken";
    // The samples saw the raster inside and outside the window on a line,
    // and the keyboard's clock line move.
    int inWindow = 0, outside = 0, clockLow = 0, clockHigh = 0;
    for (int i = 0x4000; i < 0x8000; i += 4) {
        (ram[i] & 0x02 ? inWindow : outside)++;
        (ram[i + 2] & 0x10 ? clockHigh : clockLow)++;
    }
    EXPECT_GT(inWindow, 100);
    EXPECT_GT(outside, 100);
    EXPECT_GT(clockLow, 10);
    EXPECT_GT(clockHigh, 10);
}

} // namespace
