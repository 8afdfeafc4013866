// Two machines in one process, each in a thread of its own and on its own
// program, give exactly the dumps and the log each gives alone: nothing of
// one machine is shared with the other.
#include <gtest/gtest.h>

#include <thread>

#include "board/Machine.h"
#include "diag/DiagLog.h"
#include "support/FakeHost.h"
#include "support/TestFiles.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;

const char* const kOutputs[] = {"main.ram", "video.ram", "sprite.ram", "palette.ram", "rizediv.log"};

// Prepares a folder for `program`, runs it for `frames` frames with every
// diagnostic logged, shuts it down and returns what it wrote.
class ProgramRun {
public:
    ProgramRun(const std::string& suite, const std::string& program) {
        fs::copy_file(testing_support::TestProgram(suite, program), dir / "rom.bin");
        testing_support::WriteFileText(dir / "config.txt", "bootrom rom.bin\n");
    }

    void Go(int frames) {
        MachineOptions options;
        options.folder = dir.Path().string();
        options.randomSeed = 7;
        FakeHost host;
        Machine machine(&host, options);
        DiagLog log((dir / "rizediv.log").string());
        log.SetLogAll(true);
        machine.Diag().Connect(&log);
        const uint64_t target = static_cast<uint64_t>(frames) * CyclesPerFrame;
        uint64_t done = 0;
        while (done < target) done += machine.RunCycles(std::min<uint64_t>(target - done, SliceCycles));
        machine.Diag().Connect(nullptr);
        machine.Shutdown();
    }

    std::vector<std::vector<uint8_t>> Outputs() const {
        std::vector<std::vector<uint8_t>> out;
        for (const char* name : kOutputs) out.push_back(ReadFileBytes(dir / name));
        return out;
    }

    testing_support::TempDir dir;
};

} // namespace

TEST(TwoMachines, SideBySideGiveWhatEachGivesAlone) {
    constexpr int Frames = 40;
    ProgramRun videoAlone("threads", "flashes"), audioAlone("audio", "loop_irq");
    videoAlone.Go(Frames);
    audioAlone.Go(Frames);

    ProgramRun video("threads", "flashes"), audio("audio", "loop_irq");
    std::thread first([&] { video.Go(Frames); });
    std::thread second([&] { audio.Go(Frames); });
    first.join();
    second.join();

    const auto expectedVideo = videoAlone.Outputs(), expectedAudio = audioAlone.Outputs();
    const auto gotVideo = video.Outputs(), gotAudio = audio.Outputs();
    for (size_t i = 0; i < std::size(kOutputs); ++i) {
        EXPECT_EQ(gotVideo[i], expectedVideo[i]) << kOutputs[i] << " of the video program";
        EXPECT_EQ(gotAudio[i], expectedAudio[i]) << kOutputs[i] << " of the audio program";
    }
    // The two programs really differ, so a mix-up could not pass unseen.
    EXPECT_NE(expectedVideo[0], expectedAudio[0]);
    EXPECT_NE(expectedVideo[3], expectedAudio[3]);
    EXPECT_FALSE(expectedAudio[4].empty()) << "the audio program's log";
}
