// config.txt: any bytes as the file (long words, NUL bytes, no line end, CR
// line ends), parsed and then acted on by a machine whose folder holds a boot
// ROM, an EEPROM image, a card image, a folder and a dangling link for the
// paths to name.
#include <filesystem>
#include <string_view>

#include "FuzzSupport.h"
#include "board/Config.h"
#include "board/Machine.h"

namespace {

const ScratchFolder& Folder() {
    static const ScratchFolder folder = [] {
        ScratchFolder f;
        f.Write("rom.bin", std::vector<uint8_t>(600, 0x76));
        f.Write("e.bin", std::vector<uint8_t>(4096, 0xE5));
        f.Write("card.img", std::vector<uint8_t>(2048, 0xCA));
        std::filesystem::create_directory(f / "sub");
        std::filesystem::create_symlink(f / "nowhere", f / "gone");
        return f;
    }();
    return folder;
}

bool HasSpace(const std::string& s) {
    for (unsigned char c : s)
        if (std::isspace(c)) return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const MachineConfig config = ParseConfig(text);
    bool namesBootRom = false;
    for (const ConfigEntry& e : config.entries) {
        FUZZ_CHECK(!HasSpace(e.path));
        FUZZ_CHECK(e.path.size() <= size);
        FUZZ_CHECK(e.pathTooLong == (e.path.size() > MaxConfigPathLength));
        FUZZ_CHECK(e.kind == ConfigEntry::Kind::Eeprom || e.offset == 0);
        namesBootRom = namesBootRom || e.kind == ConfigEntry::Kind::BootRom;
    }

    // One machine for the whole process (building one costs more than the
    // boot itself); each input is a cold boot of it.
    const ScratchFolder& folder = Folder();
    static FuzzHost host;
    static EverySink sink;
    sink.StartInput();
    static Machine* machine = [&] {
        folder.Write("config.txt", std::string("bootrom rom.bin\n"));
        MachineOptions options;
        options.folder = folder.Path();
        options.randomSeed = 1;
        return new Machine(&host, options);
    }();
    folder.Write("config.txt", std::string(text));
    host.terminateRequested = false;
    machine->ColdBoot();
    // Only a boot ROM that cannot be loaded stops a boot.
    FUZZ_CHECK(!host.terminateRequested || namesBootRom);
    for (const FileRefusal& refusal : machine->FileRefusals()) FUZZ_CHECK(!refusal.text.empty());
    // Inputs of odd length boot again with the sink connected: the same file
    // is read the same way.
    if (host.terminateRequested || size % 2 == 0) return 0;
    const size_t refusals = machine->FileRefusals().size();
    machine->Diag().Connect(&sink);
    machine->ColdBoot();
    machine->Diag().Connect(nullptr);
    FUZZ_CHECK(!host.terminateRequested);
    FUZZ_CHECK(machine->FileRefusals().size() == refusals);
    return 0;
}
