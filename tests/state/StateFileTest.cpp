// Save state files: what a state holds (everything: a state applied to another
// machine makes it the same machine), and what a bad file does (a clear reason,
// and the running machine left exactly as it was).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "StateTestSupport.h"
#include "board/StateIO.h"
#include "devices/Vexasdmmccard.h"

namespace fs = std::filesystem;
using namespace testing_support;
using namespace state_test;

namespace {

// Runs two machines on from the same state and compares them every few frames.
void ExpectSameFuture(Machine& a, Machine& b, int frames) {
    for (int i = 0; i < frames; i += 5) {
        a.RunCycles(5ull * CyclesPerFrame);
        b.RunCycles(5ull * CyclesPerFrame);
        ASSERT_EQ(a.CaptureState(), b.CaptureState()) << "the machines part after " << i + 5 << " frames";
    }
}

} // namespace

TEST(SaveState, AStateAppliedToAnotherMachineMakesTheSameMachine) {
    StateMachine first, second;
    // Keys typed into the first machine only: the state must carry them.
    first.machine().Board().HostKeyDown(0x41, 0);
    first.RunFrames(37);
    first.machine().Board().HostKeyUp(0x41, 0);
    first.machine().RunCycles(12345); // mid-frame, mid-line
    const std::vector<uint8_t> state = first.machine().CaptureState();
    std::string error;
    ASSERT_TRUE(second.machine().ApplyState(state, &error)) << error;
    EXPECT_EQ(second.machine().CaptureState(), state);
    EXPECT_EQ(second.machine().Board().EmulatedCycles(), first.machine().Board().EmulatedCycles());
    ExpectSameFuture(first.machine(), second.machine(), 40);
    // The program really used its devices by then.
    const uint8_t* ram = first.machine().Board().MainRam();
    EXPECT_GT(ram[0x4000] | ram[0x4001] << 8, 20) << "interrupts taken";
    EXPECT_EQ(ram[0x4003] & 0x0C, 0x0C) << "timer and raster interrupts seen";
}

TEST(SaveState, FileRoundTripsThroughDiskAndIsSmall) {
    StateMachine m;
    m.RunFrames(50);
    const fs::path file = m.dir() / "a.vxs";
    std::string error;
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(m.machine().SaveStateFile(file.string(), &error)) << error;
    const auto t1 = std::chrono::steady_clock::now();
    const std::vector<uint8_t> saved = m.machine().CaptureState();
    EXPECT_LT(fs::file_size(file), 512u * 1024) << "zstd leaves a state far below its 3 MB";
    m.RunFrames(20);
    const auto t2 = std::chrono::steady_clock::now();
    ASSERT_EQ(m.machine().LoadStateFile(file.string(), &error), Machine::StateLoad::Loaded) << error;
    const auto t3 = std::chrono::steady_clock::now();
    EXPECT_EQ(m.machine().CaptureState(), saved);
    auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
    RecordProperty("state_bytes", std::to_string(fs::file_size(file)));
    std::printf("state file %ju bytes (%zu unpacked), saved in %.1f ms, loaded in %.1f ms\n",
                static_cast<uintmax_t>(fs::file_size(file)), saved.size(), ms(t1 - t0), ms(t3 - t2));
}

// Each kind of bad file: the reason names what is wrong, and nothing of the
// running machine changes.
TEST(SaveState, BadFilesAreRefusedWithTheirReasonAndLeaveTheMachineAlone) {
    StateMachine m;
    m.RunFrames(30);
    std::string error;
    ASSERT_TRUE(m.machine().SaveStateFile((m.dir() / "good.vxs").string(), &error)) << error;
    const std::vector<uint8_t> good = ReadFileBytes(m.dir() / "good.vxs");
    m.RunFrames(10);
    const std::vector<uint8_t> before = m.machine().CaptureState();

    auto withHeaderCrc = [](std::vector<uint8_t> f) {
        const uint32_t crc = Crc32(f.data(), 24);
        std::memcpy(f.data() + 24, &crc, 4);
        return f;
    };
    std::vector<uint8_t> newer = good;
    newer[8] = 2;
    newer = withHeaderCrc(newer);
    std::vector<uint8_t> damaged = good;
    damaged[damaged.size() / 2] ^= 0x40;
    std::vector<uint8_t> badHeader = good;
    badHeader[14] ^= 1;
    const std::string png = "\x89PNG\r\n\x1a\nIHDR not a state at all";

    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* reason;
    } cases[] = {
        {"empty", {}, "not a Vexa save state"},
        {"foreign", std::vector<uint8_t>(png.begin(), png.end()), "not a Vexa save state"},
        {"cut in the header", std::vector<uint8_t>(good.begin(), good.begin() + 20), "truncated"},
        {"cut in the data", std::vector<uint8_t>(good.begin(), good.end() - 100), "truncated"},
        {"damaged header", badHeader, "damaged"},
        {"damaged data", damaged, "damaged"},
        {"newer", newer, "newer version of the emulator (state format 2"},
    };
    for (const auto& c : cases) {
        const fs::path path = m.dir() / "bad.vxs";
        WriteFileBytes(path, c.bytes);
        const Machine::StateLoad result = m.machine().LoadStateFile(path.string(), &error);
        EXPECT_EQ(result, Machine::StateLoad::Failed) << c.name;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
        EXPECT_EQ(m.machine().CaptureState(), before) << c.name << " changed the machine";
    }
    EXPECT_EQ(m.machine().LoadStateFile((m.dir() / "missing.vxs").string(), &error), Machine::StateLoad::Failed);
    EXPECT_EQ(m.machine().CaptureState(), before);
}

// A section that passes its CRC but holds values no register can take (a
// file made by hand, or by a faulty writer) is refused part-way through the
// load; the parts already taken are put back.
TEST(SaveState, ImpossibleValuesInALateSectionRollTheWholeLoadBack) {
    StateMachine m;
    m.RunFrames(30);
    std::vector<uint8_t> state = m.machine().CaptureState();
    m.RunFrames(7);
    const std::vector<uint8_t> before = m.machine().CaptureState();

    std::vector<StateSection> sections;
    std::string error;
    ASSERT_TRUE(ParseStateSections(state.data(), state.size(), sections, &error));
    const StateSection* card = FindStateSection(sections, TVexaSDCard::StateTagId);
    ASSERT_NE(card, nullptr);
    const size_t at = static_cast<size_t>(card->body - state.data());
    state[at + 9] = 0x7F; // the card's command state: no such state
    const uint32_t crc = Crc32(state.data() + at, card->size);
    std::memcpy(state.data() + at - 4, &crc, 4);

    EXPECT_FALSE(m.machine().ApplyState(state, &error));
    EXPECT_NE(error.find("SD card section"), std::string::npos) << error;
    EXPECT_EQ(m.machine().CaptureState(), before);

    // Missing and unknown sections are refused before anything is touched.
    std::vector<uint8_t> noCard(state.begin(), state.begin() + static_cast<long>(at - StateSectionHeaderSize));
    noCard.insert(noCard.end(), state.begin() + static_cast<long>(at + card->size), state.end());
    EXPECT_FALSE(m.machine().ApplyState(noCard, &error));
    EXPECT_NE(error.find("no SD card section"), std::string::npos) << error;
    EXPECT_EQ(m.machine().CaptureState(), before);
}

TEST(SaveState, AChangedCardImageIsNamedAndTheUserDecides) {
    StateMachine m;
    m.RunFrames(20);
    const std::string path = (m.dir() / "s.vxs").string();
    std::string error;
    ASSERT_TRUE(m.machine().SaveStateFile(path, &error)) << error;
    const uint64_t savedClock = m.machine().Board().EmulatedCycles();

    // Another card in the machine (as after a cold boot with a new image).
    std::vector<uint8_t> other(64 * 1024, 0xE5);
    m.machine().Board().SdCard()->InsertImage(other);
    m.RunFrames(3);
    const std::vector<uint8_t> before = m.machine().CaptureState();

    m.host().answers = {MsgAnswer::No};
    EXPECT_EQ(m.machine().LoadStateFile(path, &error), Machine::StateLoad::Declined);
    ASSERT_EQ(m.host().boxes.size(), 1u);
    EXPECT_NE(m.host().boxes[0].text.find("The SD card image changed since this state was saved"), std::string::npos)
        << m.host().boxes[0].text;
    EXPECT_EQ(m.machine().CaptureState(), before);

    m.host().answers = {MsgAnswer::Yes};
    EXPECT_EQ(m.machine().LoadStateFile(path, &error), Machine::StateLoad::Loaded) << error;
    EXPECT_EQ(m.machine().Board().EmulatedCycles(), savedClock);
    EXPECT_EQ(m.machine().Board().SdCard()->Image(), other) << "the card stays the user's";
}

TEST(SaveState, TheRunnerReportsABadStateFileAndDoesNotRun) {
    TempDir dir;
    PrepareFolder(dir.Path());
    WriteFileText(dir / "junk.vxs", "VEXASTAT\x01");
    const ProcessResult r = RunHeadless(dir.Path(), {"--load-state", "junk.vxs", "--frames", "5"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("Cannot load the state file junk.vxs: it is truncated"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "main.ram")) << "nothing ran";
}
