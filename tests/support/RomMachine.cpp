#include "support/RomMachine.h"

RomMachine::RomMachine(const std::vector<uint8_t>& rom) {
    testing_support::WriteFileBytes(dir_ / "boot.rom", rom);
    testing_support::WriteFileText(dir_ / "config.txt", "bootrom boot.rom\n");
    MachineOptions options;
    options.folder = dir_.Path().string();
    machine_ = std::make_unique<Machine>(&host_, options);
}
