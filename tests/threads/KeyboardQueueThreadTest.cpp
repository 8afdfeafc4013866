// Host keys arrive on the UI thread while the CPU thread takes the bytes: the
// keyboard queue must pass every byte over once, in order, without a lock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "devices/IoTestSupport.h"
#include "support/BoardFixture.h"

TEST(KeyboardQueueThreads, KeysFromAnotherThreadArriveInOrder) {
    BoardFixture f(io_test::Program("kbd_echo"));
    TVexaBoard* board = &f.board();
    io_test::RunFor(*board, 2000); // the program is waiting for keyboard interrupts

    struct Key {
        uint16_t vk;
        std::vector<uint8_t> down, up;
    };
    const Key keys[] = {{'A', {0x1C}, {0xF0, 0x1C}},
                        {0x25, {0xE0, 0x6B}, {0xE0, 0xF0, 0x6B}},
                        {'1', {0x16}, {0xF0, 0x16}},
                        {0x20, {0x29}, {0xF0, 0x29}}};
    constexpr int Presses = 400;
    std::vector<uint8_t> expected;
    for (int i = 0; i < Presses; ++i) {
        const Key& k = keys[i % 4];
        expected.insert(expected.end(), k.down.begin(), k.down.end());
        expected.insert(expected.end(), k.up.begin(), k.up.end());
    }

    std::atomic<int> consumed{0};
    std::atomic<bool> timedOut{false};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);

    // The producer never lets more than 31 bytes wait, so none is dropped.
    std::thread ui([&] {
        int sent = 0;
        auto waitForRoom = [&](int bytes) {
            while (sent + bytes - consumed.load(std::memory_order_acquire) > 31) {
                if (std::chrono::steady_clock::now() > deadline) {
                    timedOut = true;
                    return false;
                }
                std::this_thread::yield();
            }
            return true;
        };
        for (int i = 0; i < Presses; ++i) {
            const Key& k = keys[i % 4];
            if (!waitForRoom(static_cast<int>(k.down.size()))) return;
            board->HostKeyDown(k.vk, 0);
            sent += static_cast<int>(k.down.size());
            if (!waitForRoom(static_cast<int>(k.up.size()))) return;
            board->HostKeyUp(k.vk, 0);
            sent += static_cast<int>(k.up.size());
        }
    });

    // This thread is the CPU thread: it runs the program and publishes how
    // many bytes the program has taken.
    while (consumed.load() < static_cast<int>(expected.size()) && !timedOut &&
           std::chrono::steady_clock::now() < deadline) {
        io_test::RunFor(*board, 1000);
        consumed.store(io_test::RamWord(*board, io_test::KbCount), std::memory_order_release);
    }
    ui.join();
    ASSERT_FALSE(timedOut);
    EXPECT_EQ(io_test::RamWord(*board, io_test::KbCount), expected.size());
    EXPECT_EQ(io_test::RamBytes(*board, io_test::KbBuffer, expected.size()), expected);
}
