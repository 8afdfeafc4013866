#include "ThreadsSupport.h"

#include <filesystem>

RunningMachine::RunningMachine(const char* program) : cwd_(dir_.Path()) {
    std::filesystem::copy_file(testing_support::TestProgram("threads", program), dir_ / "rom.bin");
    testing_support::WriteFileText(dir_ / "config.txt", "bootrom rom.bin\n");
    MachineOptions options;
    options.startThreads = true;
    machine_ = std::make_unique<Machine>(&host_, options);
}

RunningMachine::~RunningMachine() { Stop(); }

void RunningMachine::Stop() {
    if (!machine_) return;
    machine_->Shutdown();
    machine_.reset();
}

unsigned RunningMachine::Counter() {
    machine_->PauseCpu();
    const unsigned count = board().MainRam()[0x4000] | board().MainRam()[0x4001] << 8;
    machine_->ResumeCpu();
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
