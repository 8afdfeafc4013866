#include "ThreadsSupport.h"

#include <filesystem>

RunningMachine::RunningMachine() : cwd_(dir_.Path()) {
    std::filesystem::copy_file(testing_support::TestProgram("threads", "counter"), dir_ / "rom.bin");
    testing_support::WriteFileText(dir_ / "config.txt", "bootrom rom.bin\n");
    board_ = std::make_unique<TVexaBoard>(&host_, /*startThreads=*/true);
    VexaBoard.store(board_.get());
}

RunningMachine::~RunningMachine() { Stop(); }

void RunningMachine::Stop() {
    if (!board_) return;
    VexaBoard.store(nullptr);
    board_->Shutdown();
    board_.reset();
}

unsigned RunningMachine::Counter() {
    board_->PauseCpu();
    const unsigned count = board_->MainRam[0x4000] | board_->MainRam[0x4001] << 8;
    board_->ResumeCpu();
    return count;
}

bool WaitUntil(const std::function<bool()>& cond, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return cond();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
