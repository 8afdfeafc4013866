// vexa-bench: emulated MHz (T-states per host second / 1e6) of the processor
// alone on a flat-memory machine, of Debian's libz80ex on the same workload and
// memory (the yardstick), and of the whole board with its devices; and the cost
// of composing and handing over one displayed frame. Every figure is the median
// of --repeat runs; the runs of all scenarios alternate, so that a change in the
// host's load touches them all alike.
#include <CLI/CLI.hpp>
#include <z80ex/z80ex.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

#include "audio/AudioOutput.h"
#include "board/Machine.h"
#include "board/Timing.h"
#include "cpu/Z80.h"
#include "cpu/Z80Engine.h"
#include "debug/Debugger.h"
#include "host/Host.h"
#include "host/ZstdCompressor.h"
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

// The processor alone: flat 64 KB, nothing behind Tick. With DirectBus the
// loop is instantiated for this class, as the board does for itself, so each
// access is a direct call; without it each access goes through the virtual
// operations (z80cpu::Run), as for any other class derived from z80cpu.
template <bool DirectBus> class FlatMachine final : public z80cpu {
public:
    int Run() {
        if constexpr (DirectBus) return z80engine::RunLoop<FlatMachine>(*this);
        else return z80cpu::Run();
    }
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

// Answers every box with No and takes frames as the window does: a copy into
// its own buffer under a lock, for the paint event to draw later.
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
    void PresentFrame(const uint32_t* argb) override {
        std::lock_guard<std::mutex> lock(frameLock);
        std::memcpy(shown.data(), argb, shown.size() * sizeof(uint32_t));
    }
    std::unique_ptr<AudioOutput> OpenAudioOutput() override { return nullptr; }

    std::mutex frameLock;
    std::vector<uint32_t> shown = std::vector<uint32_t>(FrameWidth * FrameHeight);
};

// With --clock cpu every figure is taken from the processor time of the
// process (the rewind ring's packing thread included), which a busy shared
// host stretches far less than the time on the wall.
bool useCpuClock = false;
// With --rewind the machine scenarios keep the rewind ring, as the window does.
bool keepRewind = false;

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

class Stopwatch {
public:
    double Seconds() const {
        return useCpuClock ? ProcessCpuSeconds() - cpuStart
                           : std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    }

private:
    std::chrono::steady_clock::time_point wallStart = std::chrono::steady_clock::now();
    double cpuStart = ProcessCpuSeconds();
};

double Mhz(uint64_t tstates, double seconds) {
    return static_cast<double>(tstates) / seconds / 1e6;
}

template <bool DirectBus> double RunCpu(const std::vector<uint8_t>& workload, uint64_t tstates) {
    auto machine = std::make_unique<FlatMachine<DirectBus>>();
    std::memcpy(machine->memory + WorkloadAddress, workload.data(), workload.size());
    machine->Reset();
    machine->Regs.PC = WorkloadAddress;
    const Stopwatch start;
    while (machine->executed < tstates) {
        machine->CycleBudget = 300000;
        machine->CyclePeriod = 18750;
        machine->Run();
    }
    return Mhz(machine->executed, start.Seconds());
}

// The yardstick: libz80ex on the same flat memory, through its callbacks.
struct PeerMachine {
    uint8_t memory[0x10000] = {};
    static Z80EX_BYTE Read(Z80EX_CONTEXT*, Z80EX_WORD a, int, void* self) {
        return static_cast<PeerMachine*>(self)->memory[a];
    }
    static void Write(Z80EX_CONTEXT*, Z80EX_WORD a, Z80EX_BYTE v, void* self) {
        static_cast<PeerMachine*>(self)->memory[a] = v;
    }
    static Z80EX_BYTE In(Z80EX_CONTEXT*, Z80EX_WORD, void*) { return 0xFF; }
    static void Out(Z80EX_CONTEXT*, Z80EX_WORD, Z80EX_BYTE, void*) {}
    static Z80EX_BYTE Vector(Z80EX_CONTEXT*, void*) { return 0xFF; }
};

double RunPeer(const std::vector<uint8_t>& workload, uint64_t tstates) {
    auto machine = std::make_unique<PeerMachine>();
    std::memcpy(machine->memory + WorkloadAddress, workload.data(), workload.size());
    Z80EX_CONTEXT* cpu =
        z80ex_create(&PeerMachine::Read, machine.get(), &PeerMachine::Write, machine.get(), &PeerMachine::In,
                     machine.get(), &PeerMachine::Out, machine.get(), &PeerMachine::Vector, machine.get());
    z80ex_set_reg(cpu, regPC, WorkloadAddress);
    uint64_t executed = 0;
    const Stopwatch start;
    while (executed < tstates)
        executed += static_cast<uint64_t>(z80ex_step(cpu));
    const double seconds = start.Seconds();
    z80ex_destroy(cpu);
    return Mhz(executed, seconds);
}

// A scenario sets the machine up (video mode, sprites, ...) before the
// workload runs; the default one leaves every device in its reset state.
struct Scenario {
    const char* name;
    std::function<void(TVexaBoard&)> setup;
};

// The machine reads config.txt and its boot ROM (a jump to the workload) from
// its folder: a private one for the whole benchmark.
class BoardFolder {
public:
    BoardFolder() : dir_(std::filesystem::temp_directory_path() / ("vexa-bench-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(dir_);
        std::ofstream(dir_ / "config.txt") << "bootrom boot.rom\n";
        const uint8_t boot[] = {0xC3, WorkloadAddress & 0xFF, WorkloadAddress >> 8}; // jp 0x8000
        std::ofstream(dir_ / "boot.rom", std::ios::binary).write(reinterpret_cast<const char*>(boot), sizeof boot);
    }
    ~BoardFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::string Path() const { return dir_.string(); }

private:
    std::filesystem::path dir_;
};

std::unique_ptr<Machine> MakeMachine(SilentHost& host, const BoardFolder& folder, const std::vector<uint8_t>& workload,
                                     const Scenario& scenario) {
    MachineOptions options;
    options.folder = folder.Path();
    static const std::unique_ptr<StateCompressor> compressor = MakeZstdCompressor();
    options.compressor = compressor.get();
    auto machine = std::make_unique<Machine>(&host, options);
    if (keepRewind) machine->SetRewind(true);
    std::memcpy(machine->Board().MainRam() + WorkloadAddress, workload.data(), workload.size());
    scenario.setup(machine->Board());
    return machine;
}

// Runs whole slices until at least `tstates` have passed; returns how many did.
uint64_t RunBoard(Machine& machine, uint64_t tstates) {
    const uint64_t first = machine.Board().EmulatedCycles();
    uint64_t executed = 0;
    while (executed < tstates) {
        machine.RunSlice();
        executed = machine.Board().EmulatedCycles() - first;
    }
    return executed;
}

double RunMachine(const BoardFolder& folder, const std::vector<uint8_t>& workload, const Scenario& scenario,
                  uint64_t tstates) {
    SilentHost host;
    auto machine = MakeMachine(host, folder, workload, scenario);
    const Stopwatch start;
    const uint64_t executed = RunBoard(*machine, tstates);
    if (keepRewind) machine->DrainRewind(); // what is still being packed counts too
    return Mhz(executed, start.Seconds());
}

// What one shown frame costs: composing the 400 x 240 picture from the line
// buffers (the CPU thread does it as the frame ends) and handing it to the
// host (the display thread). Measured with 64
// sprites on, the costlier path, after a frame has filled the line buffers.
double RunDisplay(const BoardFolder& folder, const std::vector<uint8_t>& workload, const Scenario& scenario,
                  int frames) {
    SilentHost host;
    auto machine = MakeMachine(host, folder, workload, scenario);
    RunBoard(*machine, CyclesPerFrame);
    std::vector<uint32_t> frame(FrameWidth * FrameHeight);
    const Stopwatch start;
    for (int i = 0; i < frames; ++i) {
        ComposeFrame(*machine->Board().Video(), frame.data());
        host.PresentFrame(frame.data());
    }
    return start.Seconds() * 1e3 / frames;
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
             for (int i = 0; i < 0x20000; ++i)
                 board.Video()->spriteRam[i] = board.Video()->vram[i];
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

// The debugger's costs on the plain machine: nothing armed, ten breakpoints
// and a watchpoint that never trigger (addresses the workload never runs or
// writes), and the trace on.
std::vector<Scenario> DebugScenarios() {
    auto arm = [](TVexaBoard& board, const std::function<void(Debugger&)>& edit) {
        // The benchmark's machine has no CPU thread: edit and arm directly.
        edit(*board.AttachedDebugger());
        board.RearmDebug();
    };
    return {
        {"machine, debugger idle", [](TVexaBoard&) {}},
        {"machine, 10 bp + 1 watch",
         [arm](TVexaBoard& board) {
             arm(board, [](Debugger& d) {
                 for (int i = 0; i < 10; ++i) d.AddBreakpoint(static_cast<uint16_t>(0x4000 + 0x100 * i), {}, nullptr);
                 d.AddWatchpoint(WatchSpace::Memory, WatchWrite, 0x6000, 0x60FF, {}, nullptr);
             });
         }},
        {"machine, trace on", [arm](TVexaBoard& board) { arm(board, [](Debugger& d) { d.SetTrace(true); }); }},
    };
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Measure {
    std::string name;
    const char* unit;
    std::function<double()> run;
    std::vector<double> values;
};

} // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "vexa-bench: emulated MHz of the processor and the whole machine, and the cost of a shown frame"};
    std::string what = "all";
    uint64_t tstates = 2'000'000'000ull;
    int repeat = 1;
    app.add_option("what", what,
                   "cpu, z80ex (the yardstick), peer (both and their ratio), machine, display, debug (the "
                   "debugger's costs) or all")
        ->check(CLI::IsMember({"cpu", "z80ex", "peer", "machine", "display", "debug", "all"}));
    app.add_option("tstates", tstates,
                   "T-states per run of the cpu scenarios (half that per machine scenario)")
        ->check(CLI::Range(uint64_t{1000}, uint64_t{1} << 40));
    app.add_option("-r,--repeat", repeat, "runs of every scenario; each figure is their median")
        ->check(CLI::Range(1, 1000));
    std::string clock = "wall";
    app.add_option("--clock", clock, "time on the wall, or this thread's processor time (steadier on a busy host)")
        ->check(CLI::IsMember({"wall", "cpu"}))
        ->capture_default_str();
    app.add_flag("--rewind", keepRewind, "the machine scenarios keep the rewind ring, as the window does");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return e.get_exit_code() == 0 ? status : 64;
    }

    useCpuClock = clock == "cpu";
    const std::vector<uint8_t> workload = LoadWorkload();
    const BoardFolder folder;
    std::vector<Measure> measures;
    const bool all = what == "all";
    if (all || what == "cpu" || what == "peer") {
        measures.push_back({"cpu", "emulated MHz", [&] { return RunCpu<true>(workload, tstates); }, {}});
        measures.push_back(
            {"cpu, virtual bus", "emulated MHz", [&] { return RunCpu<false>(workload, tstates); }, {}});
    }
    if (all || what == "z80ex" || what == "peer")
        measures.push_back({"z80ex (libz80ex, same workload)",
                            "emulated MHz",
                            [&] { return RunPeer(workload, tstates); },
                            {}});
    const std::vector<Scenario> scenarios = MachineScenarios();
    if (all || what == "machine")
        for (const Scenario& scenario : scenarios)
            measures.push_back({scenario.name,
                                "emulated MHz",
                                [&] { return RunMachine(folder, workload, scenario, tstates / 2); },
                                {}});
    const std::vector<Scenario> debugScenarios = DebugScenarios();
    if (all || what == "debug")
        for (const Scenario& scenario : debugScenarios)
            measures.push_back({scenario.name,
                                "emulated MHz",
                                [&] { return RunMachine(folder, workload, scenario, tstates / 2); },
                                {}});
    if (all || what == "display") {
        const Scenario& sprites = scenarios[4];
        const int frames = static_cast<int>(std::clamp<uint64_t>(tstates / 2'000'000, 5, 2000));
        measures.push_back({"display (compose + hand-over)",
                            "ms per frame",
                            [&, frames] { return RunDisplay(folder, workload, sprites, frames); },
                            {}});
    }

    for (int run = 0; run < repeat; ++run)
        for (Measure& m : measures)
            m.values.push_back(m.run());

    bool ok = true;
    double cpu = 0, cpuVirtual = 0, peer = 0;
    for (const Measure& m : measures) {
        const double median = Median(m.values);
        const auto [low, high] = std::minmax_element(m.values.begin(), m.values.end());
        std::printf("%-31s %9.3f %s  (median of %d; %.3f to %.3f)\n", m.name.c_str(), median, m.unit, repeat,
                    *low, *high);
        ok = ok && median > 0;
        if (m.name == "cpu")
            cpu = median;
        else if (m.name == "cpu, virtual bus")
            cpuVirtual = median;
        else if (m.name.rfind("z80ex", 0) == 0)
            peer = median;
    }
    if (cpu > 0 && peer > 0)
        std::printf("%-31s %9.3f x  (ratio of the medians above, measured in this run)\n", "cpu / z80ex",
                    cpu / peer);
    if (cpuVirtual > 0 && peer > 0)
        std::printf("%-31s %9.3f x  (ratio of the medians above, measured in this run)\n",
                    "cpu, virtual bus / z80ex", cpuVirtual / peer);
    return ok ? 0 : 1;
}
