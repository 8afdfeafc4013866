// vexa-bench: emulated MHz (T-states per host second / 1e6) of the processor
// alone on a flat-memory machine, and of the whole board with its devices.
#include <chrono>
#include <ctime>
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "audio/AudioOutput.h"
#include "board/Machine.h"
#include "host/ZstdCompressor.h"
#include "cpu/Z80.h"
#include "host/Host.h"
#include "video/Vexavideo.h"

namespace {

std::vector<uint8_t> LoadWorkload() {
    std::ifstream in(VEXA_BENCH_WORKLOAD, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty()) {
        std::fprintf(stderr, "cannot read the workload %s\n", VEXA_BENCH_WORKLOAD);
        std::exit(1);
    }
    return bytes;
}

constexpr uint16_t WorkloadAddress = 0x8000;

// The processor alone: flat 64 KB, every access still through the virtual
// operations, nothing behind Tick.
class FlatMachine final : public z80cpu {
public:
    uint8_t InPort(uint16_t) override { return 0xFF; }
    void OutPort(uint16_t, uint8_t) override {}
    uint8_t ReadByte(uint16_t a) override { return memory[a]; }
    void WriteByte(uint16_t a, uint8_t v) override { memory[a] = v; }
    uint8_t ReadMem(uint16_t a) override { return memory[a]; }
    void WriteMem(uint16_t a, uint8_t v) override { memory[a] = v; }
    void Trap(Z80Registers*) override {}
    void OnRETI() override {}
    void OnRETN() override {}
    bool Tick(int cycles) override {
        executed += static_cast<uint64_t>(cycles);
        return false;
    }
    int TakeInterrupt() override { return -1; }
    virtual ~FlatMachine() = default;

    uint8_t memory[0x10000] = {};
    uint64_t executed = 0;
};

class SilentHost : public Host {
public:
    MsgAnswer ShowMessage(const std::string& text, const std::string& caption, MsgButtons, MsgIcon) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return MsgAnswer::No;
    }
    void RequestTerminate() override {}
    void SetStatusPanel(int, std::string_view) override {}
    void RepaintStatusBar() override {}
    void RepaintScreen() override {}
    void PresentFrame(const uint32_t*) override {}
    std::unique_ptr<AudioOutput> OpenAudioOutput() override { return nullptr; }
};

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void Report(const char* name, uint64_t tstates, double seconds) {
    std::printf("%-28s %8.1f emulated MHz  (%llu T-states in %.3f s)\n", name,
                static_cast<double>(tstates) / seconds / 1e6, static_cast<unsigned long long>(tstates), seconds);
}

void BenchCpu(uint64_t tstates) {
    const std::vector<uint8_t> workload = LoadWorkload();
    auto machine = std::make_unique<FlatMachine>();
    std::memcpy(machine->memory + WorkloadAddress, workload.data(), workload.size());
    machine->Reset();
    machine->Regs.PC = WorkloadAddress;
    const auto start = std::chrono::steady_clock::now();
    while (machine->executed < tstates) {
        machine->CycleBudget = 300000;
        machine->CyclePeriod = 18750;
        machine->Run();
    }
    Report("cpu", machine->executed, Seconds(start));
}

// A scenario sets the machine up (video mode, sprites, ...) before the
// workload runs; the default one leaves every device in its reset state.
struct Scenario {
    const char* name;
    std::function<void(TVexaBoard&)> setup;
};

// rewind: keep the rewind ring as the window does when it is switched on.
void BenchMachine(uint64_t tstates, const std::vector<Scenario>& scenarios, bool rewind) {
    namespace fs = std::filesystem;
    const std::vector<uint8_t> workload = LoadWorkload();
    const fs::path dir = fs::temp_directory_path() / ("vexa-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    {
        std::ofstream(dir / "config.txt") << "bootrom boot.rom\n";
        const uint8_t boot[] = {0xC3, WorkloadAddress & 0xFF, WorkloadAddress >> 8}; // jp 0x8000
        std::ofstream(dir / "boot.rom", std::ios::binary).write(reinterpret_cast<const char*>(boot), sizeof boot);
    }
    SilentHost host;
    MachineOptions options;
    options.folder = dir.string();
    const std::unique_ptr<StateCompressor> compressor = MakeZstdCompressor();
    options.compressor = compressor.get();
    for (const Scenario& scenario : scenarios) {
        auto machine = std::make_unique<Machine>(&host, options);
        if (rewind) machine->SetRewind(true);
        TVexaBoard& board = machine->Board();
        std::memcpy(board.MainRam() + WorkloadAddress, workload.data(), workload.size());
        scenario.setup(board);
        const uint64_t first = board.EmulatedCycles();
        uint64_t executed = 0;
        const double cpuStart = ProcessCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        while (executed < tstates) {
            machine->RunSlice();
            executed = board.EmulatedCycles() - first;
        }
        if (rewind) machine->DrainRewind(); // what is still being packed counts too
        Report(scenario.name, executed, Seconds(start));
        // Processor time of the whole process (the rewind worker included):
        // on a host shared with other work it varies far less than the clock.
        const double cpu = ProcessCpuSeconds() - cpuStart;
        std::printf("%-28s %8.1f emulated MHz per processor second\n", "", static_cast<double>(executed) / cpu / 1e6);
        if (rewind)
            std::printf("  rewind: %zu snapshots, %.1f MB, %.1f emulated seconds\n", machine->RewindCount(),
                        static_cast<double>(machine->RewindBytes()) / (1 << 20), machine->RewindSpan());
    }
    fs::remove_all(dir);
}

// Video scenarios: the window covers the whole shown area and VRAM holds a
// varied pattern (a quarter of its bytes zero), so every path of the line
// renderers is taken.
void VideoWrite(TVexaBoard& board, uint16_t address, uint8_t value) {
    board.Video()->WriteRegister(address, value);
}

void FullWindowAndPattern(TVexaBoard& board) {
    VideoWrite(board, 0x204, 0x04); // window select: left/right
    VideoWrite(board, 0x202, 0x6F); // columns 96-495
    VideoWrite(board, 0x204, 0x00); // top/bottom
    VideoWrite(board, 0x202, 0x2C); // lines 16-255
    uint32_t x = 12345;
    for (uint8_t& byte : board.Video()->vram) {
        x = x * 1103515245u + 12345u;
        byte = (x >> 24) & 3 ? static_cast<uint8_t>(x >> 16) : 0;
    }
    for (int i = 0; i < 512; ++i)
        board.Video()->WritePalette(static_cast<uint16_t>(i), static_cast<uint8_t>(i * 7));
}

// Puts a line coprocessor program (16-bit words) at main RAM 0x70000 and starts it.
void StartLineCop(TVexaBoard& board, const std::vector<uint16_t>& program) {
    for (size_t i = 0; i < program.size(); ++i) {
        board.MainRam()[0x70000 + 2 * i] = static_cast<uint8_t>(program[i]);
        board.MainRam()[0x70000 + 2 * i + 1] = static_cast<uint8_t>(program[i] >> 8);
    }
    VideoWrite(board, 0x20E, 0x00);
    VideoWrite(board, 0x20D, 0x01);
}

std::vector<Scenario> MachineScenarios() {
    return {
        {"machine", [](TVexaBoard&) {}},
        {"machine planar 8 planes",
         [](TVexaBoard& board) {
             FullWindowAndPattern(board);
             for (int p = 0; p < 8; ++p) // planes at 0x00000, 0x02000, ... 0x0E000
                 VideoWrite(board, static_cast<uint16_t>(0x241 + 4 * p), static_cast<uint8_t>(p * 0x20));
             VideoWrite(board, 0x201, 0x00); // planar, plane set 0
             VideoWrite(board, 0x203, 0x07); // eight planes
         }},
        {"machine chunky",
         [](TVexaBoard& board) {
             FullWindowAndPattern(board);
             VideoWrite(board, 0x201, 0x80);
         }},
        {"machine tile 16x16 dual",
         [](TVexaBoard& board) {
             FullWindowAndPattern(board);
             VideoWrite(board, 0x20C, 0x01); // extended tiles
             VideoWrite(board, 0x201, 0x81); // tile map, dual playfield, 16 x 16
         }},
        {"machine 64 sprites",
         [](TVexaBoard& board) {
             FullWindowAndPattern(board);
             for (int i = 0; i < 0x20000; ++i) board.Video()->spriteRam[i] = board.Video()->vram[i];
             // 64 sprites of 16 x 32 pixels spread over the picture: about nine on every line.
             for (int n = 0; n < 64; ++n) {
                 const uint16_t base = static_cast<uint16_t>(0x400 + 4 * n);
                 const unsigned x = 95 + (n * 37) % 384, y = 16 + (n * 29) % 224;
                 board.Video()->WriteSpriteRegister(base, static_cast<uint8_t>(x));
                 board.Video()->WriteSpriteRegister(base + 1, static_cast<uint8_t>((x >> 8) | 0x20));
                 board.Video()->WriteSpriteRegister(base + 2, static_cast<uint8_t>(y));
                 board.Video()->WriteSpriteRegister(base + 3, static_cast<uint8_t>(n * 3));
             }
             VideoWrite(board, 0x207, 0x01);
             // A palette write at line 0 of every frame keeps the redraw
             // countdown running, so the sprites are rebuilt on every line.
             StartLineCop(board, {0x8000, 0x0000, 0xC1FF});
         }},
        {"machine line coprocessor",
         [](TVexaBoard& board) {
             FullWindowAndPattern(board);
             // On each of the 256 rendered lines: two palette bytes and the
             // window register, then on to the next line.
             std::vector<uint16_t> program;
             for (int line = 0; line < 256; ++line) {
                 program.push_back(0x8000);
                 program.push_back(static_cast<uint16_t>(0x4000 | line));
                 program.push_back(static_cast<uint16_t>(line >> 4));
                 program.push_back(0x8202);
                 program.push_back(static_cast<uint16_t>(0x2000 | 0x2C));
             }
             program.push_back(0xC1FF);
             StartLineCop(board, program);
         }},
    };
}

} // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "all";
    const uint64_t tstates = argc > 2 ? std::stoull(argv[2]) : 2'000'000'000ull;
    const bool rewind = argc > 3 && std::string(argv[3]) == "rewind";
    if (what == "cpu" || what == "all") BenchCpu(tstates);
    if (what == "machine" || what == "all") BenchMachine(tstates / 2, MachineScenarios(), rewind);
    if (what != "cpu" && what != "machine" && what != "all") {
        std::fprintf(stderr, "usage: vexa-bench [cpu|machine|all] [T-states] [rewind]\n");
        return 64;
    }
    return 0;
}
