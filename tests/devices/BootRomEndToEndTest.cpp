// A boot ROM that uses the configuration link, the timer interrupt and the
// maths assist as real boot code does, run through vexa-headless; its results
// come back through main.ram and rizediv.log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestFiles.h"

namespace {

using namespace testing_support;

// head.bin fills the start of the EEPROM; data.bin runs 4 bytes past the end
// and is cut. The program bursts 4 bytes from 0x7FFFE, across the wrap.
void PrepareFolder(const TempDir& dir) {
    WriteFileBytes(dir / "boot.bin", ReadFileBytes(TestProgram("devices", "pic_timer_maths")));
    WriteFileBytes(dir / "head.bin", {0x11, 0x22, 0x33, 0x44});
    WriteFileBytes(dir / "data.bin", {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7});
    WriteFileText(dir / "config.txt", "bootrom boot.bin\neeprom 0 head.bin\neeprom 7FFFC data.bin\n");
}

std::vector<std::string> ProgramLog() {
    std::vector<std::string> lines = {
        "PIC\tReceived Valid 0x88 Preamble",
        "PIC\tCommand: SET BURST ADDR!",
        "PIC\tReceived Valid 0x88 Preamble",
        "PIC\tCommand: SET BURST LEN!",
        "PIC\tReceived Valid 0x88 Preamble",
        "PIC\tCommand: BEGIN DATABURST!",
        "PIC\tDataburst from: 0x07fffe size(dec): 4 bytes",
        "PIC\tDataburst Complete",
        "PIC\tReceived Invalid Preamble: 0xc9",
        "MATHS\tTable Entry 5 set to 0x0000",
        "MATHS\tTable Entry 5 set to 0x4000",
        "MATHS\tTable Index 0x05 selected",
        "MATHS\tMultiplier Value set to: 0x0034",
        "MATHS\tMultiplier Value set to: 0x1234",
        "MATHS\tMaths Result LSB: 0x34",
        "MATHS\tMaths Result MSB: 0x12",
        "MATHS\tTable Entry 130 set to 0x0000",
        "MATHS\tTable Entry 130 set to 0xffffc000",
        "MATHS\tTable Index 0x82 selected",
        "MATHS\tMultiplier Value set to: 0x1200",
        "MATHS\tMultiplier Value set to: 0x0100",
        "MATHS\tMaths Result LSB: 0x00",
        "MATHS\tMaths Result MSB: 0xff",
        "MATHS\tTable Entry 255 set to 0x00ff",
        "MATHS\tTable Entry 255 set to 0x7fff",
        "MATHS\tTable Index 0xff selected",
        "MATHS\tMultiplier Value set to: 0x01ff",
        "MATHS\tMultiplier Value set to: 0x7fff",
        "MATHS\tMaths Result LSB: 0xfc",
        "MATHS\tMaths Result MSB: 0xff",
        "TIMER\tNew Seed Value: 0xff",
        "TIMER\tTimer Elapsed, IRQ Set",
        "TIMER\tNew Seed Value: 0xf0",
        "TIMER\tIRQ Cleared",
    };
    for (int i = 0; i < 3; ++i) { // the interrupts, each acknowledged by the handler
        lines.push_back("TIMER\tTimer Elapsed, IRQ Set");
        lines.push_back("TIMER\tIRQ Cleared");
    }
    lines.push_back("TIMER\tTimer Elapsed, IRQ Set"); // still running once the program has halted
    return lines;
}

std::string AsLogFile(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

// What every cold boot of the folder refuses, with the image's full path.
std::string CutLine(const TempDir& dir) {
    return "PIC\tEEPROM image " + std::filesystem::canonical(dir.Path()).string() +
           "/data.bin cut: 4 of 8 bytes loaded at 0x7fffc, the last 4 bytes run past the end of the EEPROM";
}

void ExpectResults(const std::vector<uint8_t>& ram) {
    ASSERT_EQ(ram.size(), 0x80000u);
    const std::vector<uint8_t> expected = {
        0x00, 0xA2, 0xA3, 0x11, 0x22, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // link
        0x34, 0x12, 0x00, 0xFF, 0xFC, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // maths
        0x04, 0x00, 0x03, 0x5A,                                           // timer, done
    };
    EXPECT_EQ(
        std::vector<uint8_t>(ram.begin() + 0x8000, ram.begin() + 0x8000 + static_cast<long>(expected.size())),
        expected);
}

TEST(BootRomEndToEnd, ConfigurationLinkTimerInterruptAndMathsAssist) {
    TempDir dir;
    PrepareFolder(dir);
    const ProcessResult run = RunHeadless(dir.Path(), {"--frames", "1", "--log", "PIC,TIMER,MATHS"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ExpectResults(ReadFileBytes(dir / "main.ram"));
    std::vector<std::string> lines = ProgramLog();
    lines.insert(lines.begin(), CutLine(dir)); // the first cold boot's, written once the log exists
    EXPECT_EQ(ReadFileText(dir / "rizediv.log"), AsLogFile(lines));
    EXPECT_NE(run.err.find(CutLine(dir).substr(4)), std::string::npos) << run.err;
}

// A second cold boot says again what was cut from the image, and the program
// runs again from the start.
TEST(BootRomEndToEnd, SecondColdBootReportsTheCutImage) {
    TempDir dir;
    PrepareFolder(dir);
    const ProcessResult run =
        RunHeadless(dir.Path(), {"--frames", "2", "--reset", "1", "--log", "PIC,TIMER,MATHS", "--quiet"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ExpectResults(ReadFileBytes(dir / "main.ram"));
    std::vector<std::string> lines = ProgramLog();
    const std::vector<std::string> again = lines;
    lines.insert(lines.begin(), CutLine(dir));
    lines.push_back(CutLine(dir));
    lines.insert(lines.end(), again.begin(), again.end());
    EXPECT_EQ(ReadFileText(dir / "rizediv.log"), AsLogFile(lines));
}

} // namespace
