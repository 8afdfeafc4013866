// The PS/2 ports: the CPU side toggles the host lines, lets time pass, reads
// both queues and acknowledges, while another thread feeds both queues as the
// window feeds host keys. Whatever the interleaving, the bytes of the feeding
// thread come out in the order they went in, each at most once; the only
// other bytes are the keyboard's own answer to a reset command.
#include <atomic>
#include <thread>

#include "FuzzSupport.h"
#include "devices/Vexakeyboard.h"
#include "devices/Vexamouse.h"

namespace {

// The feeding thread sends 1, 2, 3, ... (below 0xA0, so they cannot be taken
// for the reset answer FF FA AA).
constexpr int MaxFed = 0x9F;

class Reader {
public:
    explicit Reader(bool keyboard) : keyboard_(keyboard) {}
    // 0 is what an empty queue reads as.
    void Take(uint8_t b) {
        if (b == 0) return;
        if (b >= 0xA0) {
            FUZZ_CHECK(keyboard_ && (b == 0xFF || b == 0xFA || b == 0xAA));
            return;
        }
        FUZZ_CHECK(b > last_); // in order, never twice; dropped ones are simply missing
        last_ = b;
    }

private:
    bool keyboard_;
    int last_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    EverySink sink;
    DiagChannel channel;
    channel.Connect(&sink);
    TVexaKeyboard keyboard(&channel);
    TVexaMouse mouse(&channel);

    const int keyboardBytes = 1 + in.Byte() % MaxFed;
    const int mouseBytes = 1 + in.Byte() % MaxFed;
    const int pace = in.Byte() % 8;
    std::atomic<bool> go{false};
    std::thread producer([&] {
        while (!go.load(std::memory_order_acquire)) std::this_thread::yield();
        for (int i = 1; i <= keyboardBytes || i <= mouseBytes; ++i) {
            if (i <= keyboardBytes) keyboard.QueueByte(static_cast<uint8_t>(i));
            if (i <= mouseBytes) mouse.QueueByte(static_cast<uint8_t>(i));
            for (int p = 0; p < pace; ++p) std::this_thread::yield();
        }
    });
    go.store(true, std::memory_order_release);

    Reader keyboardReader(true), mouseReader(false);
    auto read = [&](TVexaPS2Device& device, Reader& reader) { reader.Take(device.ReadQueuedByte()); };
    while (!in.Empty()) {
        const uint8_t op = in.Byte();
        switch (op & 7) {
        case 0: // port 0x03: both ports' host lines
            keyboard.SetHostLines((op & 0x10) != 0, (op & 0x20) != 0);
            mouse.SetHostLines((op & 0x40) != 0, (op & 0x80) != 0);
            break;
        case 1: { // time passes
            const int cycles = 4 + in.Byte() * 16;
            keyboard.Tick(cycles);
            mouse.Tick(cycles);
            break;
        }
        case 2: read(keyboard, keyboardReader); break;
        case 3: read(mouse, mouseReader); break;
        case 4:
            if (op & 0x10) keyboard.AcknowledgeIrq();
            if (op & 0x20) mouse.AcknowledgeIrq();
            break;
        case 5: // a whole host-to-device byte, clock released throughout: a reset command
            keyboard.SetHostLines(true, false);
            keyboard.SetHostLines(false, true);
            keyboard.Tick(30000);
            break;
        case 6: // lines and time in one go, as a program bit-banging them would
            for (int n = op >> 3; n > 0; --n) {
                const uint8_t lines = in.Byte();
                keyboard.SetHostLines((lines & 1) != 0, (lines & 2) != 0);
                mouse.SetHostLines((lines & 4) != 0, (lines & 8) != 0);
                keyboard.Tick(lines << 3);
                mouse.Tick(lines << 3);
            }
            break;
        case 7:
            keyboard.DeviceClock();
            mouse.DeviceData();
            break;
        }
    }
    producer.join();
    // What is still waiting comes out in order too.
    for (int i = 0; i < 2 * TVexaPS2Device::QueueSize; ++i) {
        read(keyboard, keyboardReader);
        read(mouse, mouseReader);
    }
    FUZZ_CHECK(!keyboard.HasData() && !mouse.HasData());
    return 0;
}
