#include "headless/DebugFeature.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>

#include "board/Machine.h"
#include "board/MachineGdbTarget.h"
#include "debug/Listing.h"
#include "headless/Runner.h"

namespace {

// Everything resolved against the machine's symbols once it exists (the
// symbols beside the boot ROM are read when it is built).
class DebugFeature : public RunFeature {
public:
    explicit DebugFeature(DebugOptions options) : options(std::move(options)) {}

    void OnStart(HeadlessRunner& runner) override {
        Machine& m = runner.Machine();
        std::string error;
        for (const std::string& file : options.symbols) {
            if (!m.Debug().Symbols().LoadFile(file, &error)) return Refuse(runner, "--symbols: " + error);
            if (!error.empty()) std::fprintf(stderr, "--symbols: %s\n", error.c_str());
        }
        const SymbolTable& symbols = m.Debug().Symbols();
        std::vector<uint16_t> stops;
        for (const std::string& text : options.breaks) {
            const auto address = ParseAddress(text, &symbols, &error);
            if (!address) return Refuse(runner, "--break: " + error);
            stops.push_back(*address);
        }
        if (!options.untilPc.empty()) {
            const auto address = ParseAddress(options.untilPc, &symbols, &error);
            if (!address) return Refuse(runner, "--until-pc: " + error);
            stops.push_back(*address);
        }
        std::optional<uint16_t> traceFrom, traceTo;
        if (!options.trace.empty() && !ScheduleTrace(runner, traceFrom, traceTo)) return;
        m.EditDebug([&](Debugger& d) {
            for (uint16_t a : stops) d.AddBreakpoint(a, {}, nullptr);
            d.SetStopOnTrap(options.exitOnTrap);
            if (!options.trace.empty()) {
                d.SetTraceWindow(traceFrom, traceTo);
                d.SetTrace(!tracePausedAtStart);
            }
        });
        seenStop = m.StopSerial();
        if (options.gdbPort >= 0) StartGdb(runner);
    }

    bool HoldsRun(HeadlessRunner& runner) override {
        if (!gdb) return false;
        if (gdb->KillRequested()) {
            runner.EndRun(0);
            return false;
        }
        const bool connected = gdb->ClientConnected();
        if (connected) everConnected = true;
        else if (everConnected && openEnded) {
            runner.EndRun(0); // the client detached from a run that lasts as long as it does
            return false;
        }
        return runner.Machine().IsDebugHeld();
    }

    void OnProgress(HeadlessRunner& runner, uint64_t) override {
        DrainTrace(runner);
        Machine& m = runner.Machine();
        if (gdb || m.StopSerial() == seenStop) return;
        seenStop = m.StopSerial();
        const StopInfo stop = m.LastStop();
        const Z80Registers regs = m.RegisterSnapshot();
        if (stop.reason == StopReason::Trap) {
            runner.EndRun(stop.value);
            return;
        }
        std::fprintf(stderr, "%s\n%s", DescribeStop(stop, &m.Debug().Symbols()).c_str(),
                     FormatRegisterDump(regs).c_str());
        runner.EndRun(0);
    }

    bool OnFinish(HeadlessRunner& runner) override {
        DrainTrace(runner);
        if (gdb) gdb->Stop();
        bool ok = true;
        if (traceFile) {
            ok = std::fflush(traceFile) == 0 && !std::ferror(traceFile);
            ok = std::fclose(traceFile) == 0 && ok;
            traceFile = nullptr;
            if (!ok) std::fprintf(stderr, "--trace: cannot write %s\n", options.trace.c_str());
        }
        return ok;
    }

    ~DebugFeature() override {
        if (traceFile) std::fclose(traceFile);
    }

private:
    void Refuse(HeadlessRunner& runner, const std::string& message) {
        std::fprintf(stderr, "%s\n", message.c_str());
        runner.EndRun(64);
    }

    bool ScheduleTrace(HeadlessRunner& runner, std::optional<uint16_t>& from, std::optional<uint16_t>& to) {
        traceFile = std::fopen(options.trace.c_str(), "wb");
        if (!traceFile) {
            Refuse(runner, "--trace: cannot create " + options.trace);
            return false;
        }
        std::fputs(TraceHeading(), traceFile);
        const SymbolTable& symbols = runner.Machine().Debug().Symbols();
        std::string error;
        for (int which = 0; which < 2; ++which) {
            const std::string& text = which == 0 ? options.traceFrom : options.traceTo;
            if (text.empty()) continue;
            bool valid = true;
            if (const auto frame = ParseFrameMark(text, &valid)) {
                const bool on = which == 0;
                if (on) tracePausedAtStart = true;
                runner.At(*frame * CyclesPerFrame, [on](Machine& m) {
                    m.EditDebug([on](Debugger& d) { d.SetTrace(on); });
                });
                continue;
            }
            const auto address = ParseAddress(text, &symbols, &error);
            if (!valid || !address) {
                Refuse(runner, std::string(which == 0 ? "--trace-from: " : "--trace-to: ") +
                                   (valid ? error : "bad frame number"));
                return false;
            }
            (which == 0 ? from : to) = address;
        }
        return true;
    }

    // Writes the records the ring gained since the last call; a chunk of the
    // run is far shorter than the ring, so nothing is lost in between.
    void DrainTrace(HeadlessRunner& runner) {
        if (!traceFile) return;
        const Debugger& d = runner.Machine().Debug();
        if (d.Trace().Capacity() == 0) return;
        if (d.Trace().Total() < traceWritten) traceWritten = 0; // switched off and on: the ring began again
        traceWritten = d.Trace().ForEachSince(traceWritten, [&](const TraceRecord& r) {
            const std::string line = FormatTraceRecord(r, &d.Symbols());
            std::fwrite(line.data(), 1, line.size(), traceFile);
        });
    }

    void StartGdb(HeadlessRunner& runner) {
        Machine& m = runner.Machine();
        m.EnableExternalControl();
        // Held from the start, as a program under gdbserver: the client
        // sets its breakpoints before anything runs.
        m.DebugBreak(StopReason::Start);
        gdb = std::make_unique<MachineGdbStub>(m);
        std::string error;
        if (!gdb->Start(static_cast<uint16_t>(options.gdbPort), &error)) {
            gdb.reset();
            m.DebugContinue();
            return Refuse(runner, "--gdb: " + error);
        }
        openEnded = runner.Options().cycles == UINT64_MAX;
        std::fprintf(stderr, "GDB stub listening on 127.0.0.1:%u\n", gdb->Port());
        std::fflush(stderr);
    }

    DebugOptions options;
    uint64_t seenStop = 0;
    std::FILE* traceFile = nullptr;
    uint64_t traceWritten = 0;
    bool tracePausedAtStart = false;
    std::unique_ptr<MachineGdbStub> gdb;
    bool everConnected = false;
    bool openEnded = false;
};

} // namespace

std::optional<uint64_t> ParseFrameMark(const std::string& text, bool* valid) {
    *valid = true;
    if (text.empty() || text[0] != '@') return std::nullopt;
    const std::string digits = text.substr(1);
    if (digits.empty() || digits.size() > 12 || !std::all_of(digits.begin(), digits.end(), ::isdigit)) {
        *valid = false;
        return std::nullopt;
    }
    return std::stoull(digits);
}

void AddDebugOptions(CLI::App& app, DebugOptions& o) {
    app.add_option("--symbols", o.symbols,
                   "Read labels from this symbol file (z80asm, pasmo, sdcc .noi/.map or a NAME = $HEX list; "
                   "repeatable)");
    app.add_option("--break", o.breaks, "End the run with a register dump when PC reaches ADDR (hex or label; repeatable)");
    app.add_option("--until-pc", o.untilPc, "End the run with a register dump when PC reaches ADDR (hex or label)");
    app.add_flag("--exit-on-trap", o.exitOnTrap,
                 "The trap instruction ED FE ends the run with exit status A (dumps and pictures still written)");
    app.add_option("--trace", o.trace, "Write every instruction run (with labels and registers) to this file");
    app.add_option("--trace-from", o.traceFrom, "Start the trace at ADDR (hex or label) or at @FRAME");
    app.add_option("--trace-to", o.traceTo, "Stop the trace after ADDR (hex or label) or at @FRAME");
    app.add_option("--gdb", o.gdbPort,
                   "Serve a GDB client on 127.0.0.1:PORT; the machine waits for it, and without --frames or "
                   "--cycles the run lasts until the client detaches or kills it")
        ->check(CLI::Range(0, 65535));
}

bool DebugRunIsOpenEnded(const DebugOptions& options) { return options.gdbPort >= 0; }

bool InstallDebugFeature(HeadlessRunner& runner, const DebugOptions& options) {
    if ((!options.traceFrom.empty() || !options.traceTo.empty()) && options.trace.empty()) {
        std::fprintf(stderr, "--trace-from and --trace-to need --trace FILE\n");
        return false;
    }
    const bool wanted = !options.symbols.empty() || !options.breaks.empty() || !options.untilPc.empty() ||
                        options.exitOnTrap || !options.trace.empty() || options.gdbPort >= 0;
    if (wanted) runner.AddFeature(std::make_unique<DebugFeature>(options));
    return true;
}
