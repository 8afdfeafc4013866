#include "support/BoardFixture.h"

#include <cstring>

BoardFixture::BoardFixture(const std::vector<uint8_t>& rom, const std::string& config) : cwd_(dir_.Path()) {
    testing_support::WriteFileText(dir_ / "config.txt", config);
    testing_support::WriteFileBytes(dir_ / "rom.bin", rom);
    board_ = std::make_unique<TVexaBoard>(&host_, /*startThreads=*/false);
    VexaBoard.store(board_.get());
}

BoardFixture::~BoardFixture() {
    DiagForm.store(nullptr);
    VexaBoard.store(nullptr);
    BreakpointAddress.store(0x10000);
}

DiagLog& BoardFixture::InstallLog(const std::vector<int>& types, bool logAll) {
    log_ = std::make_unique<DiagLog>((dir_ / "rizediv.log").string());
    for (int t : types) log_->SetFilter(t, true);
    log_->SetLogAll(logAll);
    DiagForm.store(log_.get());
    return *log_;
}

std::vector<std::string> BoardFixture::Messages() const {
    std::vector<std::string> texts;
    if (log_)
        for (const DiagRow& row : log_->Rows()) texts.push_back(row.text);
    return texts;
}

void BoardFixture::RunAt(uint16_t pc, const std::vector<uint8_t>& code, int cycles) {
    for (size_t i = 0; i < code.size(); ++i) board_->WriteMem(static_cast<uint16_t>(pc + i), code[i]);
    board_->Regs.PC = pc;
    board_->CycleBudget = cycles;
    board_->CyclePeriod = 0;
    board_->Run();
}

void BoardFixture::Step() {
    board_->CycleBudget = 1;
    board_->CyclePeriod = 1;
    board_->Run();
}
