// The keyboard and the SD card through vexa-headless, as a user runs them:
// programs on the emulated board, key options, and the image file on disk.
#include <gtest/gtest.h>

#include <random>

#include "IoTestSupport.h"

using testing_support::ReadFileBytes;
using testing_support::RunHeadless;
using testing_support::TempDir;
using testing_support::TestProgram;
using testing_support::WriteFileBytes;
using testing_support::WriteFileText;

namespace {

std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, size_t at, size_t count) {
    if (v.size() < at + count) return {};
    return std::vector<uint8_t>(v.begin() + static_cast<long>(at), v.begin() + static_cast<long>(at + count));
}

// What the program writes: byte k of a block is (-k & 0xFF) xor seed.
std::vector<uint8_t> ProgramBlock(uint8_t seed) {
    std::vector<uint8_t> block(512);
    for (int k = 0; k < 512; ++k)
        block[static_cast<size_t>(k)] = static_cast<uint8_t>((-k & 0xFF) ^ seed);
    return block;
}

struct SdRun {
    explicit SdRun(const std::string& flags) {
        std::mt19937 rng(42);
        image.resize(0x900); // four and a half blocks
        for (auto& b : image)
            b = static_cast<uint8_t>(rng());
        WriteFileBytes(dir / "card.img", image);
        WriteFileText(dir / "config.txt", "bootrom " + TestProgram("devices", "sd_rw").string() +
                                              "\nsdcard 0 card.img\n" + flags + "\n");
    }
    TempDir dir;
    std::vector<uint8_t> image;
};

} // namespace

// Blocks read and written by a Z80 program; at the end of the run the file
// holds exactly the written data, the image grown with zeros up to the block
// written past its end.
TEST(HeadlessIo, ProgramWritesCardImageBack) {
    SdRun run("writeenable nowriteprompt");
    const auto result = RunHeadless(run.dir.Path(), {"--frames", "2", "--quiet"});
    ASSERT_EQ(result.exitCode, 0) << result.err;

    std::vector<uint8_t> expected = run.image;
    const auto blockA5 = ProgramBlock(0xA5), block3C = ProgramBlock(0x3C);
    std::copy(blockA5.begin(), blockA5.end(), expected.begin() + 0x400);
    expected.resize(0x1000, 0);
    expected.insert(expected.end(), block3C.begin(), block3C.end());
    EXPECT_EQ(ReadFileBytes(run.dir / "card.img"), expected);

    const auto ram = ReadFileBytes(run.dir / "main.ram");
    ASSERT_EQ(ram.size(), 0x80000u);
    EXPECT_EQ(Slice(ram, 0x8000, 26), (std::vector<uint8_t>{0xFF, 0x01,                // CMD0
                                                            0xFF, 0x00, 0xFF, 0x00,    // CMD55, ACMD41
                                                            0x00, 0xFE, 0xFF, 0xFF,    // CMD17 0x200
                                                            0xFF, 0x00, 0x04, 0xFF,    // CMD24 0x400
                                                            0xFF, 0x00, 0x04, 0xFF,    // CMD24 0x1000
                                                            0x00, 0xFE, 0xFF, 0xFF,    // CMD17 0x400
                                                            0x00, 0xFE, 0xFF, 0xFF})); // CMD17 0x1000
    EXPECT_EQ(Slice(ram, 0x8100, 512), Slice(run.image, 0x200, 512));
    EXPECT_EQ(Slice(ram, 0x8300, 512), blockA5);
    EXPECT_EQ(Slice(ram, 0x8500, 512), block3C);
}

// Without a Yes the file stays as it was; a refused close fails the run.
TEST(HeadlessIo, UnsavedCardWritesAtTheEnd) {
    {
        SdRun run("writeenable"); // the question is answered No
        const auto result = RunHeadless(run.dir.Path(), {"--frames", "2", "--quiet"});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_NE(result.err.find("Unwritten SD Card Changes"), std::string::npos) << result.err;
        EXPECT_EQ(ReadFileBytes(run.dir / "card.img"), run.image);
    }
    {
        SdRun run("writeenable");
        const auto result = RunHeadless(run.dir.Path(), {"--frames", "2", "--quiet", "--answer", "cancel"});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find("SD card writes were not written back to card.img"), std::string::npos)
            << result.err;
        EXPECT_EQ(ReadFileBytes(run.dir / "card.img"), run.image);
    }
}

TEST(HeadlessIo, KeyAndTypeOptions) {
    TempDir dir;
    WriteFileText(dir / "config.txt", "bootrom " + TestProgram("devices", "kbd_echo").string() + "\n");
    const auto result = RunHeadless(dir.Path(), {"--frames", "12", "--quiet", "--key", "0x41@1", "--key",
                                                 "37@2", "--key", "0x5B@2", "--type", "Hi 2\\n@4"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto ram = ReadFileBytes(dir / "main.ram");
    const std::vector<uint8_t> expected{
        0x1C, 0xF0, 0x1C,                   // A
        0xE0, 0x6B, 0xE0, 0xF0, 0x6B,       // Left (the Windows key sends nothing)
        0x12, 0x33, 0xF0, 0x33, 0xF0, 0x12, // H, with Shift
        0x43, 0xF0, 0x43,                   // i
        0x29, 0xF0, 0x29,                   // space
        0x1E, 0xF0, 0x1E,                   // 2
        0x5A, 0xF0, 0x5A,                   // Enter
    };
    ASSERT_EQ(ram.size(), 0x80000u);
    EXPECT_EQ(ram[io_test::KbCount] | ram[io_test::KbCount + 1] << 8, static_cast<int>(expected.size()));
    EXPECT_EQ(Slice(ram, io_test::KbBuffer, expected.size()), expected);
}

TEST(HeadlessIo, UnusableKeyOptionsAreRefused) {
    TempDir dir;
    WriteFileText(dir / "config.txt", "bootrom " + TestProgram("devices", "kbd_echo").string() + "\n");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--key", "0x1G@1"},
                                                 {"--key", "0x10000@1"},
                                                 {"--key", "65"},
                                                 {"--key", "65@x"},
                                                 {"--type", "a!@1"},
                                                 {"--type", "abc"}}) {
        const auto result = RunHeadless(dir.Path(), args);
        EXPECT_EQ(result.exitCode, 64) << args[1];
        EXPECT_NE(result.err.find(args[0] + " " + args[1]), std::string::npos) << result.err;
    }
}
