// The configuration controller: an EEPROM image placed at any offset (inside,
// across the end, outside, negative), then any stream on its two-wire link:
// raw line levels, whole bytes clocked in, burst pulses and reads.
#include <cstring>

#include "FuzzSupport.h"
#include "devices/Vexapic.h"

namespace {

constexpr uint8_t Fill = 0xA5;

void SendByte(TVexaPIC& pic, uint8_t b) {
    for (int bit = 7; bit >= 0; --bit) {
        const bool data = (b >> bit) & 1;
        pic.WriteLines(false, data);
        pic.WriteLines(true, data);
    }
    pic.WriteLines(false, false);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    static EverySink sink;
    sink.StartInput();
    static DiagChannel channel;
    channel.Connect(&sink);
    static TVexaPIC pic(&channel); // 512 KB: made once, filled again for every input
    std::memset(pic.Eeprom, Fill, sizeof pic.Eeprom);
    pic.Reset();

    // Placement: the offset is anything, the file may claim to be longer than
    // the bytes read (as when it grew after its size was taken).
    const int32_t offset = static_cast<int32_t>(in.Long());
    const std::vector<uint8_t> image = in.Bytes(in.Word() % 2048);
    const uint64_t fileSize = image.size() + (in.Bool() ? in.Word() : 0);
    pic.LoadEeprom(image, fileSize, offset, "e.bin");
    // Loaded exactly where it fits and nowhere else; nothing when the bytes
    // read fall short of what the file's size says should fit.
    static const std::vector<uint8_t> fill(TVexaPIC::EepromSize, Fill);
    const bool placed = offset >= 0 && offset < TVexaPIC::EepromSize;
    const uint64_t room = placed ? static_cast<uint64_t>(TVexaPIC::EepromSize - offset) : 0;
    const uint64_t wanted = fileSize < room ? fileSize : room;
    const size_t start = placed ? static_cast<size_t>(offset) : 0;
    const size_t count = placed && image.size() >= wanted ? static_cast<size_t>(wanted) : 0;
    FUZZ_CHECK(std::memcmp(pic.Eeprom, fill.data(), start) == 0);
    FUZZ_CHECK(count == 0 || std::memcmp(pic.Eeprom + start, image.data(), count) == 0);
    FUZZ_CHECK(std::memcmp(pic.Eeprom + start + count, fill.data(), TVexaPIC::EepromSize - start - count) == 0);

    while (!in.Empty()) {
        const uint8_t op = in.Byte();
        switch (op >> 6) {
        case 0: pic.WriteLines((op & 2) != 0, (op & 1) != 0); break;
        case 1: SendByte(pic, in.Byte()); break;
        case 2: // burst pulses: each one hands over the EEPROM byte at the address counter
            for (int n = op & 0x3F; n > 0; --n) {
                const bool burst = pic.State == TVexaPIC::Burst;
                const uint32_t address = static_cast<uint32_t>(pic.Value) & (TVexaPIC::EepromSize - 1);
                pic.WriteLines(false, false);
                pic.WriteLines(true, false);
                if (burst) {
                    FUZZ_CHECK(pic.IsDataReady());
                    FUZZ_CHECK(pic.ReadData() == pic.Eeprom[address]);
                }
            }
            break;
        case 3:
            if (op & 1) pic.ReadData();
            if (op & 2) pic.Reset();
            break;
        }
        FUZZ_CHECK(pic.State >= TVexaPIC::WaitPreamble && pic.State <= TVexaPIC::Burst);
        FUZZ_CHECK(pic.BitCount >= 0 && pic.BitCount < 8);
    }
    return 0;
}
