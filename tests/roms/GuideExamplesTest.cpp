// The programmer's guide's examples, run as the guide says: each ```asm block
// that starts with "; example: NAME" is assembled with z80asm against
// vexa.inc, packed onto a card (or used as the boot ROM with "; run: bootrom"),
// started from the monitor with "run NAME" in vexa-headless, and its
// "; check:" lines are checked against the memory dump, the picture and the
// sound:
//   ; check: ram 9000 = 37 A5     bytes of main.ram from that offset
//   ; check: pixel 10 20 = F00000 the picture's colour at (x, y)
//   ; check: sound                the recorded sound is not silent
// "; frames: N" sets the run length, "; keys: TEXT@FRAME" types more.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "RomTestSupport.h"
#include "video/FramePng.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

struct Example {
    std::string name;
    std::string source;
    std::vector<std::string> checks;
    std::vector<std::string> keys;
    bool bootRom = false;
    int frames = 100;
};

void PrintTo(const Example& e, std::ostream* os) { *os << e.name; }

std::vector<Example> GuideExamples() {
    std::ifstream in(fs::path(VEXA_DOCS_DIR) / "programming.md");
    std::vector<std::vector<std::string>> blocks;
    std::string line;
    bool inBlock = false;
    while (std::getline(in, line)) {
        if (!inBlock && line == "```asm") blocks.emplace_back();
        else if (inBlock && line != "```") blocks.back().push_back(line);
        if (line == "```asm" || line == "```") inBlock = line == "```asm";
    }
    std::vector<Example> examples;
    const std::regex exampleLine(R"(^; example: ([a-z0-9_]+)\s*$)");
    std::smatch m;
    for (const std::vector<std::string>& block : blocks) {
        if (block.empty() || !std::regex_match(block.front(), m, exampleLine)) continue;
        Example e;
        e.name = m[1];
        for (const std::string& l : block) {
            e.source += l + "\n";
            if (l.rfind("; check: ", 0) == 0) e.checks.push_back(l.substr(9));
            if (l.rfind("; keys: ", 0) == 0) e.keys.push_back(l.substr(8));
            if (l == "; run: bootrom") e.bootRom = true;
            if (l.rfind("; frames: ", 0) == 0) e.frames = std::atoi(l.c_str() + 10);
        }
        examples.push_back(e);
    }
    return examples;
}

std::vector<uint8_t> HexBytes(const std::string& text) {
    std::vector<uint8_t> bytes;
    std::istringstream words(text);
    std::string word;
    while (words >> word) bytes.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
    return bytes;
}

bool WavHasSound(const fs::path& wav) {
    const std::vector<uint8_t> bytes = ReadFileBytes(wav);
    for (size_t i = 44; i + 1 < bytes.size(); i += 2)
        if (bytes[i] != 0 || bytes[i + 1] != 0) return true;
    return false;
}

class GuideExample : public ::testing::TestWithParam<Example> {};

TEST_P(GuideExample, AssemblesRunsAndLeavesWhatTheGuideSays) {
    const Example& e = GetParam();
    ASSERT_FALSE(e.checks.empty()) << e.name << ": an example without a check proves nothing";
    TempDir dir;
    WriteFileText(dir / (e.name + ".asm"), e.source);
    const fs::path bin = dir / (e.name + ".bin");
    const std::string assemble = std::string(VEXA_Z80ASM) + " -I " + VEXA_INCLUDE_DIR + " -o " + bin.string() +
                                 " " + (dir / (e.name + ".asm")).string() + " 2>" + (dir / "asm.log").string();
    ASSERT_EQ(std::system(assemble.c_str()), 0) << ReadFileText(dir / "asm.log");

    std::string config = roms_test::RunConfig;
    if (e.bootRom) config = "bootrom " + e.name + ".bin\n";
    roms_test::Machine machine(config);
    if (e.bootRom) {
        fs::copy_file(bin, machine / (e.name + ".bin"));
    } else {
        const std::string pack = std::string(VEXA_MKSDIMAGE) + " " + (machine / "card.img").string() + " " +
                                 e.name + "=" + bin.string() + " >/dev/null";
        fs::remove(machine / "card.img");
        ASSERT_EQ(std::system(pack.c_str()), 0);
        machine.Type({"run " + e.name}, 10);
    }
    std::vector<std::string> more = {"--wav", "sound.wav"};
    for (const std::string& k : e.keys) more.insert(more.end(), {"--type", k});
    const ProcessResult run = machine.Run(e.frames, more);
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const std::vector<uint8_t> ram = ReadFileBytes(machine / "main.ram");
    std::vector<uint32_t> picture;
    int width = 0, height = 0;
    std::string error;
    ASSERT_TRUE(ReadFramePng((machine / "shot.png").string(), picture, width, height, &error)) << error;
    const std::regex ramCheck(R"(^ram ([0-9A-Fa-f]+) = ([0-9A-Fa-f ]+)$)");
    const std::regex pixelCheck(R"(^pixel (\d+) (\d+) = ([0-9A-Fa-f]{6})$)");
    std::smatch m;
    for (const std::string& check : e.checks) {
        if (std::regex_match(check, m, ramCheck)) {
            const size_t at = std::stoul(m[1], nullptr, 16);
            const std::vector<uint8_t> want = HexBytes(m[2]);
            ASSERT_LE(at + want.size(), ram.size()) << check;
            std::ostringstream got;
            for (size_t i = 0; i < want.size(); ++i) got << std::hex << int(ram[at + i]) << ' ';
            EXPECT_TRUE(std::equal(want.begin(), want.end(), ram.begin() + at)) << check << ": found " << got.str();
        } else if (std::regex_match(check, m, pixelCheck)) {
            const int x = std::stoi(m[1]), y = std::stoi(m[2]);
            ASSERT_TRUE(x < width && y < height) << check;
            const uint32_t want = 0xFF000000u | std::stoul(m[3], nullptr, 16);
            EXPECT_EQ(picture[y * width + x], want) << check << std::hex << ": found " << picture[y * width + x];
        } else if (check == "sound") {
            EXPECT_TRUE(WavHasSound(machine / "sound.wav")) << "the recorded sound is silent";
        } else {
            ADD_FAILURE() << e.name << ": unknown check '" << check << "'";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ProgrammersGuide, GuideExample, ::testing::ValuesIn(GuideExamples()),
                         [](const ::testing::TestParamInfo<Example>& info) { return info.param.name; });

TEST(GuideTopics, EveryTopicHasACheckedExample) {
    // One example per topic the guide covers, so none is left unchecked.
    EXPECT_GE(GuideExamples().size(), 14u);
}

} // namespace
