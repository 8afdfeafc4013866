// Whole frames from the CPU thread to the display thread to the window: a
// program recolours the whole picture once per frame, and no frame that
// reaches the host may show two colours.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "ThreadsSupport.h"
#include "host/FrameStore.h"
#include "video/FrameExchange.h"
#include "video/Vexavideo.h"

namespace {

// Counts what the display thread presents, and takes each frame through the
// window's store as the Qt thread would, on a thread of its own.
class CheckingHost final : public FakeHost {
public:
    void PresentFrame(const uint32_t* argb) override {
        store.Put(argb);
        presented.fetch_add(1);
    }
    FrameStore store;
    std::atomic<int> presented{0};
};

// Filled by the window's thread; the counts are read by the test's.
struct FrameCheck {
    std::atomic<int> frames{0}, torn{0}, distinctColours{0};
    std::set<uint32_t> colours;

    void Take(const uint32_t* pixels) {
        ++frames;
        for (int i = 1; i < FrameWidth * FrameHeight; ++i)
            if (pixels[i] != pixels[0]) {
                ++torn;
                return;
            }
        colours.insert(pixels[0]);
        distinctColours = static_cast<int>(colours.size());
    }
};

} // namespace

TEST(FrameHandOver, ExchangeGivesTheNewestWholeFrameOnce) {
    TVexaVideo video(nullptr);
    FrameExchange frames;
    EXPECT_FALSE(frames.TakeLatest());
    frames.Request();
    EXPECT_TRUE(frames.Wanted());
    video.WritePalette(0, 0x0F); // colour 0 is blue now, on lines rendered from here
    video.Tick(RasterLines * CyclesPerLine);
    frames.Publish(video);
    EXPECT_FALSE(frames.Wanted()) << "a published frame answers the request";
    video.WritePalette(0, 0xF0); // green
    video.Tick(RasterLines * CyclesPerLine);
    frames.Publish(video);
    ASSERT_TRUE(frames.TakeLatest());
    EXPECT_EQ(frames.Front()[0], 0xFF00F000u) << "the newest frame, not the first";
    EXPECT_EQ(frames.Front()[FrameWidth * FrameHeight - 1], 0xFF00F000u);
    EXPECT_FALSE(frames.TakeLatest());
    EXPECT_EQ(frames.Front()[0], 0xFF00F000u) << "the front stays until a new frame comes";
}

TEST(FrameHandOver, ShownFramesAreNeverTorn) {
    testing_support::TempDir dir;
    std::filesystem::copy_file(testing_support::TestProgram("threads", "flashes"), dir / "rom.bin");
    testing_support::WriteFileText(dir / "config.txt", "bootrom rom.bin\n");
    CheckingHost host;
    MachineOptions options;
    options.folder = dir.Path().string();
    options.startThreads = true;
    Machine machine(&host, options);

    // The window's side: takes frames out of its store while they come in.
    FrameCheck shown;
    std::atomic<bool> stop{false};
    std::thread window([&] {
        std::vector<uint32_t> pixels(FrameWidth * FrameHeight);
        while (!stop.load()) {
            if (host.store.TakeInto(pixels.data())) shown.Take(pixels.data());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    EXPECT_TRUE(WaitUntil([&] { return shown.distinctColours >= 8; }, std::chrono::seconds(60)))
        << shown.frames << " frames, " << shown.distinctColours << " colours";
    stop = true;
    window.join();
    machine.Shutdown();
    EXPECT_EQ(shown.torn.load(), 0) << "of " << shown.frames.load() << " frames";
    EXPECT_GT(host.presented.load(), 0);
}
