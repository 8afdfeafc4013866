// The SD card: an image of any contents (or none), then a stream of bytes
// through the SPI port as the CPU sends them (command frames, tokens, data
// blocks, garbage), reads of the answers, and write-backs of the image into
// a scratch folder by the machine, which must leave the file equal to the
// card's contents.
#include <cstring>
#include <filesystem>

#include "FuzzSupport.h"
#include "board/Machine.h"
#include "board/Ports.h"
#include "devices/Vexasdmmccard.h"

namespace {

const ScratchFolder& Folder() {
    static const ScratchFolder folder;
    return folder;
}

// Feeds bytes to the SPI port. Block addresses are kept below 64 KB (the
// first two argument bytes of every possible CMD24 are forced to 0) so that a
// run never grows the image towards the 1 GB the card allows, and write-backs
// stay cheap; the limit itself is tested on its own.
class Spi {
public:
    explicit Spi(TVexaBoard& board) : board_(board) {}
    void Send(uint8_t b) {
        if (clamp_ > 0) b = 0;
        clamp_ = clamp_ > 0 ? clamp_ - 1 : 0;
        if (b == 0x40 + 24) clamp_ = 2;
        board_.OutPort(PortSpi, b);
    }
    uint8_t Read() { return board_.InPort(PortSpi); }
    // The card's parser was reset: the next bytes are no CMD24 argument.
    void Forget() { clamp_ = 0; }

private:
    TVexaBoard& board_;
    int clamp_ = 0;
};

// What a block read must answer for the image as it is: 00 FE, 512 bytes
// (past the end, the last byte read again, or 0), FF FF.
std::vector<uint8_t> ExpectedBlock(const std::vector<uint8_t>& image, uint32_t address) {
    std::vector<uint8_t> out{0x00, 0xFE};
    uint8_t last = 0;
    for (uint64_t i = 0; i < 512; ++i) {
        if (address + i < image.size()) last = image[address + i];
        out.push_back(last);
    }
    out.push_back(0xFF);
    out.push_back(0xFF);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const ScratchFolder& folder = Folder();
    const uint8_t setup = in.Byte();
    const bool present = (setup & 1) == 0;
    const bool writeEnable = (setup & 2) == 0;
    const std::vector<uint8_t> image = in.Bytes(in.Word() % 4096);
    std::filesystem::remove(folder / "card.img");
    if (present) folder.Write("card.img", image);

    // Two machines for the whole process, one booted with write-back on and
    // one with it off; each input gets the card a cold boot would give it
    // (its image loaded, nothing pending, the parser reset), which costs far
    // less than a cold boot. Cold boots themselves are one of the operations.
    static FuzzHost host;
    static EverySink sink;
    sink.StartInput();
    static Machine* machines[2] = {};
    Machine*& machine = machines[writeEnable ? 1 : 0];
    folder.Write("config.txt", std::string("sdcard 0 card.img ") + (writeEnable ? "writeenable nowriteprompt" : "") + "\n");
    if (machine == nullptr) {
        MachineOptions options;
        options.folder = folder.Path();
        options.randomSeed = 1;
        machine = new Machine(&host, options);
        FUZZ_CHECK(machine->SdWriteEnable() == writeEnable);
    }
    TVexaBoard& board = machine->Board();
    TVexaSDCard& card = *board.SdCard();
    if (present) card.InsertImage(image);
    else card.RemoveImage();
    card.Reset();
    machine->Diag().Connect(setup & 0x80 ? &sink : nullptr); // every other input formats every message
    Spi spi(board);
    // A cold boot clears the whole machine, which costs more than everything
    // else an input does: one per input is enough to reach what it does.
    bool coldBootLeft = true;

    while (!in.Empty()) {
        switch (in.Byte() % 10) {
        case 0: // one raw byte
            spi.Send(in.Byte());
            break;
        case 1: { // a command frame
            static constexpr uint8_t commands[] = {0, 9, 10, 17, 24, 55, 41, 1, 8, 58};
            const uint8_t pick = in.Byte();
            spi.Send(static_cast<uint8_t>(0x40 | (pick < 200 ? commands[pick % 10] : pick & 0x3F)));
            for (int i = 0; i < 5; ++i) spi.Send(in.Byte());
            break;
        }
        case 2: { // a data block: start token, 512 bytes drawn from the input, CRC
            spi.Send(0xFE);
            const std::vector<uint8_t> pattern = in.Bytes(1 + in.Byte() % 32);
            for (int i = 0; i < 512; ++i) spi.Send(pattern.empty() ? 0 : pattern[i % pattern.size()]);
            spi.Send(0xFF);
            spi.Send(0xFF);
            break;
        }
        case 3: // read answers
            for (int n = in.Byte() % 64; n > 0; --n) spi.Read();
            break;
        case 4:
            board.OutPort(PortSdSelect, in.Byte());
            FUZZ_CHECK((board.InPort(PortSdSelect) & ~0x0C) == 0);
            board.OutPort(PortSdControl, in.Byte());
            break;
        case 5: { // a block read from a reset parser answers the image's bytes
            card.Reset();
            spi.Forget();
            const uint32_t address = in.Word() | (in.Byte() & 0x0F) << 16;
            const uint8_t frame[] = {0x51, static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16),
                                     static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), 0xFF};
            for (uint8_t b : frame) spi.Send(b);
            std::vector<uint8_t> answer;
            for (int i = 0; i < 516; ++i) answer.push_back(spi.Read());
            if (card.HasImage()) FUZZ_CHECK(answer == ExpectedBlock(card.Image(), address));
            else FUZZ_CHECK(answer[0] == 0x60 && answer[1] == 0x00);
            break;
        }
        case 6: { // the close question: with writeenable the image goes back to its file
            const bool pending = card.HasUncommittedWrites();
            FUZZ_CHECK(machine->QueryClose());
            FUZZ_CHECK(!card.HasUncommittedWrites() || !writeEnable);
            if (writeEnable && pending) FUZZ_CHECK(folder.Read("card.img") == card.Image());
            break;
        }
        case 7: { // a cold boot saves, then reloads the file: the card holds what was saved
            if (!coldBootLeft) break;
            coldBootLeft = false;
            const bool pending = card.HasUncommittedWrites() && writeEnable;
            const std::vector<uint8_t> before = card.Image();
            machine->ColdBoot();
            spi.Forget();
            FUZZ_CHECK(!card.HasUncommittedWrites());
            if (pending) FUZZ_CHECK(card.Image() == before);
            if (card.HasImage()) FUZZ_CHECK(folder.Read("card.img") == card.Image());
            break;
        }
        case 8:
            card.Reset();
            spi.Forget();
            break;
        case 9: // lamps
            card.TakeReadLamp();
            card.TakeWriteLamp();
            break;
        }
        FUZZ_CHECK(card.Image().size() <= 0x10000 + 512);
    }
    machine->Diag().Connect(nullptr);
    return 0;
}
