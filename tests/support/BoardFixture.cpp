#include "support/BoardFixture.h"

#include <cstring>

BoardFixture::BoardFixture(const std::vector<uint8_t>& rom, const std::string& config) : cwd_(dir_.Path()) {
    testing_support::WriteFileText(dir_ / "config.txt", config);
    testing_support::WriteFileBytes(dir_ / "rom.bin", rom);
    machine_ = std::make_unique<Machine>(&host_);
}

// The machine goes before the log its channel points at.
BoardFixture::~BoardFixture() { machine_.reset(); }

DiagLog& BoardFixture::InstallLog(const std::vector<int>& types, bool logAll) {
    log_ = std::make_unique<DiagLog>((dir_ / "rizediv.log").string());
    for (int t : types) log_->SetFilter(t, true);
    log_->SetLogAll(logAll);
    machine_->Diag().Connect(log_.get());
    return *log_;
}

std::vector<std::string> BoardFixture::Messages() const {
    std::vector<std::string> texts;
    if (log_)
        for (const DiagRow& row : log_->Rows()) texts.push_back(row.text);
    return texts;
}

void BoardFixture::RunAt(uint16_t pc, const std::vector<uint8_t>& code, int cycles) {
    TVexaBoard& b = board();
    for (size_t i = 0; i < code.size(); ++i) b.WriteMem(static_cast<uint16_t>(pc + i), code[i]);
    b.Regs.PC = pc;
    b.RunFor(cycles, 0);
}

void BoardFixture::Step() { board().RunFor(1, 1); }
