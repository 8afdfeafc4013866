// vexa-headless as a user runs it: from config.txt in the current folder, with
// dumps, the log file, scripted NMIs and resets, and its exit status.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/TestFiles.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

class Headless : public ::testing::Test {
protected:
    TempDir dir;

    void SetUp() override {
        fs::copy_file(TestProgram("headless", "boot"), dir / "boot.rom");
        WriteFileText(dir / "config.txt", "bootrom boot.rom\n");
    }
    std::vector<uint8_t> MainRam() { return ReadFileBytes(dir / "main.ram"); }
};

TEST_F(Headless, RunsTheBootRomAndWritesTheFourDumps) {
    const ProcessResult r = RunHeadless(dir.Path(), {"--frames", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    unsigned long long tstates = 0;
    double frames = 0, seconds = -1, mhz = -1;
    ASSERT_EQ(std::sscanf(r.out.c_str(), "T-states: %llu, frames: %lf, host seconds: %lf, emulated MHz: %lf", &tstates,
                          &frames, &seconds, &mhz),
              4)
        << r.out;
    EXPECT_EQ(tstates, 958464u);
    EXPECT_EQ(frames, 3.0);
    EXPECT_GE(seconds, 0.0);
    EXPECT_GE(mhz, 0.0);
    const auto ram = MainRam();
    ASSERT_EQ(ram.size(), 524288u);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(ram[0x8200 + i], 16 - i);
    EXPECT_EQ(ram[0x8100], 0); // no NMI asked for
    EXPECT_EQ(ReadFileBytes(dir / "video.ram").size(), 524288u);
    EXPECT_EQ(ReadFileBytes(dir / "sprite.ram").size(), 131072u);
    EXPECT_EQ(ReadFileBytes(dir / "palette.ram").size(), 1024u);
    EXPECT_TRUE(fs::exists(dir / "rizediv.log"));
}

// A line coprocessor program that keeps sending itself back to its start
// ends its run after 32,768 instructions instead of hanging the machine.
TEST_F(Headless, LineCopProgramRestartingItselfStillEnds) {
    fs::copy_file(TestProgram("headless", "linecop_restart"), dir / "boot.rom", fs::copy_options::overwrite_existing);
    const ProcessResult r = RunHeadless(dir.Path(), {"--frames", "2", "--log", "VIDEO"}, 60);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(", frames: 2.00,"), std::string::npos) << r.out;
    EXPECT_EQ(MainRam()[0x70004], 0x5A);
    // One "running" from the CPU, then 16,384 from the run's own writes.
    const std::string log = ReadFileText(dir / "rizediv.log");
    size_t stopped = 0;
    for (size_t at = 0; (at = log.find("(stopped)", at)) != std::string::npos; ++at) ++stopped;
    EXPECT_EQ(stopped, 16384u);
}

TEST_F(Headless, CyclesOverrideFrames) {
    const ProcessResult r = RunHeadless(dir.Path(), {"--cycles", "1000", "--frames", "50"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("T-states: 1000,"), std::string::npos) << r.out;
}

TEST_F(Headless, NmisArriveAtTheirFrames) {
    const ProcessResult r = RunHeadless(dir.Path(), {"--frames", "6", "--nmi", "2", "--nmi", "4", "--nmi", "4"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Two requests in the same frame make one NMI.
    EXPECT_EQ(MainRam()[0x8100], 2);
}

TEST_F(Headless, LogSelectsTypesByNameOrNumber) {
    ProcessResult r = RunHeadless(dir.Path(), {"--frames", "1", "--log", "cpu"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string line = "CPU\tWrote 0x5a to Port 0x5a30 @ 0x";
    EXPECT_EQ(ReadFileText(dir / "rizediv.log").rfind(line, 0), 0u) << ReadFileText(dir / "rizediv.log");

    r = RunHeadless(dir.Path(), {"--frames", "1", "--log", "4,7"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFileText(dir / "rizediv.log"), ""); // nothing of those types happened

    r = RunHeadless(dir.Path(), {"--frames", "1", "--log", "nonsense"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("nonsense"), std::string::npos);
}

TEST_F(Headless, ResetRunsTheBootAgain) {
    const ProcessResult r = RunHeadless(dir.Path(), {"--frames", "3", "--reset", "1", "--log-all"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string log = ReadFileText(dir / "rizediv.log");
    size_t count = 0;
    for (size_t at = log.find("Wrote 0x5a"); at != std::string::npos; at = log.find("Wrote 0x5a", at + 1)) ++count;
    EXPECT_EQ(count, 2u) << log;
}

TEST_F(Headless, TheSeedMakesRunsReproducible) {
    auto refreshAfterReset = [&](const std::string& seed) {
        const ProcessResult r = RunHeadless(dir.Path(), {"--frames", "1", "--seed", seed});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return MainRam()[0x8102];
    };
    const uint8_t a = refreshAfterReset("7");
    EXPECT_EQ(refreshAfterReset("7"), a);
    bool differs = false;
    for (int seed = 8; seed < 16 && !differs; ++seed) differs = refreshAfterReset(std::to_string(seed)) != a;
    EXPECT_TRUE(differs);
}

TEST_F(Headless, AMissingConfigurationIsFatalAndWritesNoDumps) {
    fs::remove(dir / "config.txt");
    const ProcessResult r = RunHeadless(dir.Path(), {"--frames", "1"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("Fatal Configuration Error: Configuration file not found"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "main.ram"));
}

TEST_F(Headless, AMissingBootRomIsFatal) {
    WriteFileText(dir / "config.txt", "bootrom nothing.rom\n");
    const ProcessResult r = RunHeadless(dir.Path(), {"--frames", "1"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("Fatal File Load Error: Boot ROM file not found"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "main.ram"));
}

TEST_F(Headless, WarningsAreShownAndTheRunGoesOn) {
    WriteFileText(dir / "config.txt", "bootrom boot.rom\neeprom 0 none.bin\nsdcard 0 none.img\n");
    const ProcessResult r = RunHeadless(dir.Path(), {"--frames", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("File Load Error: EEPROM file not found, skipping"), std::string::npos);
    EXPECT_NE(r.err.find("File Load Error: SDCARD image not found, skipping"), std::string::npos);
}

// Option values a careless user types are refused at once with status 64 and
// a message naming the option, before any emulation (no dumps): negative and
// oversized numbers, frame counts whose T-states cannot be counted, CLI11's
// own refusals, an empty --log list, a folder named as the output file.
// The largest frame that can still be counted is accepted.
TEST_F(Headless, CarelessOptionsAreRefusedAtOnce) {
    fs::create_directory(dir / "folder");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--frames", "-1"}, "--frames: '-1' is not a whole number"},
        {{"--cycles", "-1"}, "--cycles: '-1' is not a whole number"},
        {{"--frames", "18446744073709551616"}, "--frames: '18446744073709551616' is larger than"},
        {{"--frames", "57738456761161"}, "--frames: 57738456761161 frames are more T-states than can be counted"},
        {{"--nmi", "57738456761161"}, "--nmi: 57738456761161 frames"},
        {{"--reset", "57738456761161"}, "--reset: 57738456761161 frames"},
        {{"--screenshot-every", "2251799813685248"}, "--screenshot-every: 2251799813685248 frames"},
        {{"--screenshot-every", "0"}, "--screenshot-every: '0' is less than 1"},
        {{"--seed", "4294967296"}, "--seed: '4294967296' is larger than 4294967295"},
        {{"--frames"}, "--frames"},                                       // no value
        {{"--bogus"}, "--bogus"},                                         // unknown option
        {{"--frames", "1", "extra"}, "extra"},                            // stray argument
        {{"--answer", "maybe"}, "--answer"},                              // not one of the choices
        {{"--log", ",", "--frames", "5"}, "--log: unknown diagnostic type ''"},
        {{"--screenshot", "folder"}, "--screenshot: folder: is a folder"},
        {{"--type", "\xC3\xA9@1"}, "cannot type '\xC3\xA9'"}, // a whole UTF-8 character
        {{"--type", "\xFF@1"}, "cannot type '\\xFF'"},            // a byte that starts none
    };
    for (const Case& c : cases) {
        const ProcessResult r = RunHeadless(dir.Path(), c.args, 60);
        EXPECT_EQ(r.exitCode, 64) << c.args[0] << " " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir / "main.ram")) << c.args[0];
    }
    const ProcessResult last = RunHeadless(dir.Path(), {"--frames", "1", "--nmi", "57738456761160"}, 60);
    EXPECT_EQ(last.exitCode, 0) << last.err;
    EXPECT_EQ(RunHeadless(dir.Path(), {"--help"}, 60).exitCode, 0);
}

TEST_F(Headless, ADumpThatCannotBeWrittenFailsTheRun) {
    fs::create_directory(dir / "main.ram");
    const ProcessResult r = RunHeadless(dir.Path(), {"--frames", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("main.ram"), std::string::npos) << r.err;
}

} // namespace

// Every file a cold boot refuses is named on stderr with its full path and
// the reason, the first cold boot's too (it runs before the log exists), and
// the log gets the same line; the boxes keep their own texts.
TEST(HeadlessRefusals, EveryRefusedFileIsNamedWithItsFullPathAndWhy) {
    struct Case {
        const char* name;
        std::string config;
        int exitCode;
        std::vector<std::string> lines; // "@" stands for the folder's full path
    };
    const std::vector<Case> cases = {
        {"eeprom outside", "bootrom boot.rom\neeprom 90000 e.bin\n", 0,
         {"EEPROM image @/e.bin not loaded: offset 0x90000 is past the end of the EEPROM, 16 bytes skipped"}},
        {"eeprom cut", "bootrom boot.rom\neeprom 7FFF8 e.bin\n", 0,
         {"EEPROM image @/e.bin cut: 8 of 16 bytes loaded at 0x7fff8"}},
        {"card too large", "bootrom boot.rom\nsdcard 0 big.img\n", 0,
         {"Cannot load card image @/big.img: larger than the 4 GB a standard-capacity card can address"}},
        {"missing files", "bootrom boot.rom\neeprom 0 gone\nsdcard 0 sub/none.img\n", 0,
         {"File Load Error: EEPROM file not found, skipping", "EEPROM image @/gone not loaded: a dangling link",
          "File Load Error: SDCARD image not found, skipping", "SD card image @/sub/none.img not loaded: no such file"}},
        {"boot rom folder", "bootrom sub\n", 2,
         {"Fatal File Load Error: Boot ROM file not found", "Boot ROM file @/sub cannot be used: a folder, not a file"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        fs::copy_file(TestProgram("headless", "boot"), dir / "boot.rom");
        WriteFileBytes(dir / "e.bin", std::vector<uint8_t>(16, 0xEE));
        fs::create_directory(dir / "sub");
        fs::create_symlink(dir / "nowhere", dir / "gone");
        { std::ofstream(dir / "big.img").put(0); }
        fs::resize_file(dir / "big.img", (4ull << 30) + 1); // sparse: costs no disk
        WriteFileText(dir / "config.txt", c.config);
        const ProcessResult r = RunHeadless(dir.Path(), {"--frames", "1", "--log", "PIC,SD/MMC,Vexa Misc"});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        const std::string folder = fs::canonical(dir.Path()).string();
        for (std::string line : c.lines) {
            if (const size_t at = line.find('@'); at != std::string::npos) line.replace(at, 1, folder);
            EXPECT_NE(r.err.find(line), std::string::npos) << "missing: " << line << "\nstderr:\n" << r.err;
            if (c.exitCode == 0 && line.find("Error:") == std::string::npos)
                EXPECT_NE(ReadFileText(dir / "rizediv.log").find(line), std::string::npos) << line;
        }
    }
}

// A cold boot asked for later says again what it refused.
TEST(HeadlessRefusals, EveryColdBootSaysWhatItRefused) {
    TempDir dir;
    fs::copy_file(TestProgram("headless", "boot"), dir / "boot.rom");
    WriteFileText(dir / "config.txt", "bootrom boot.rom\nsdcard 0 none.img\n");
    const ProcessResult r = RunHeadless(dir.Path(), {"--frames", "2", "--reset", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    size_t count = 0;
    for (size_t at = r.err.find("none.img not loaded: no such file"); at != std::string::npos;
         at = r.err.find("none.img not loaded: no such file", at + 1))
        ++count;
    EXPECT_EQ(count, 2u) << r.err;
}
