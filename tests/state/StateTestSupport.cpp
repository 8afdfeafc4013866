#include "StateTestSupport.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace state_test {

void PrepareFolder(const fs::path& dir) {
    fs::copy_file(TestProgram("state", "alldevices"), dir / "rom.bin");
    std::vector<uint8_t> eeprom(4096), card(64 * 1024);
    for (size_t i = 0; i < eeprom.size(); ++i) eeprom[i] = static_cast<uint8_t>(i * 7 + 3);
    for (size_t i = 0; i < card.size(); ++i) card[i] = static_cast<uint8_t>((i >> 9) * 31 + i);
    WriteFileBytes(dir / "monitor.eep", eeprom);
    WriteFileBytes(dir / "card.img", card);
    WriteFileText(dir / "config.txt", "bootrom rom.bin\neeprom 0 monitor.eep\nsdcard 0 card.img\n");
}

StateMachine::StateMachine() {
    PrepareFolder(dir_.Path());
    MachineOptions options;
    options.folder = dir_.Path().string();
    options.randomSeed = 1;
    options.compressor = compressor_.get();
    machine_ = std::make_unique<Machine>(&host_, options);
}

} // namespace state_test
