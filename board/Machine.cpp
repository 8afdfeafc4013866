#include "board/Machine.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "board/Config.h"
#include "cpu/Z80.h"
#include "board/Rewind.h"
#include "devices/Vexapic.h"
#include "devices/Vexasdmmccard.h"
#include "host/Files.h"
#include "host/Host.h"
#include "video/DisplayThread.h"
#include "video/Vexavideo.h"

namespace {

const char* const kResetQuestion =
    "There are writes to the SD Card which have not\ryet been committed to disk. Should these be\r"
    "written before a reset is performed?\r(NOTE: If you select NO, uncommitted writes\rwill be discarded!!)";
const char* const kQuitQuestion =
    "There are writes to the SD Card which have not\ryet been committed to disk. Should these be\r"
    "written before quitting?\r(NOTE: If you select NO, uncommitted writes\rwill be discarded!!)";
const char* const kUnwrittenCaption = "Unwritten SD Card Changes";

} // namespace

// ---------------------------------------------------------------------------
// Construction and destruction

Machine::Machine(Host* windowHandle, MachineOptions machineOptions)
    : options(std::move(machineOptions)), host(windowHandle) {
    if (options.randomSeed) random.emplace(*options.randomSeed);
    board = std::make_unique<TVexaBoard>(host, &diag);
    board->AttachFrames(&frames);
    debugger = std::make_unique<Debugger>();
    board->AttachDebugger(debugger.get());
    ColdBoot();
    if (options.startThreads) {
        displayThread = std::make_unique<VideoThread>(frames, host, DisplayFrameCount);
        displayThread->Start();
        cpuThread = std::make_unique<Z80Thread>(this);
        cpuThread->Start();
    }
}

Machine::~Machine() { StopThreads(); }

void Machine::StopThreads() {
    // The display thread first, then the CPU thread.
    if (displayThread) {
        displayThread->Terminate();
        displayThread.reset();
    }
    if (cpuThread) {
        cpuThread->Terminate();
        cpuThread.reset();
    }
}

std::string Machine::Resolve(const std::string& path) const {
    if (options.folder.empty() || path.empty() || path.front() == '/') return path;
    return (std::filesystem::path(options.folder) / path).string();
}

// The path as the user can find it, whatever folder the program runs in.
std::string Machine::FullPath(const std::string& path) const {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(Resolve(path), ec);
    return ec ? Resolve(path) : full.lexically_normal().string();
}

void Machine::Refuse(int type, std::string text) {
    DIAG_POST_C(&diag, type, "%s", text.c_str());
    fileRefusals.push_back(FileRefusal{type, std::move(text)});
}

uint32_t Machine::NextRefresh() {
    return static_cast<uint32_t>((random ? random->Next() : std::rand()) & 0x7FFF);
}

// ---------------------------------------------------------------------------
// Running

void Machine::RunSlice() {
    board->TakeBreakpointHit(); // a debugger step may have left it set
    board->EnterDeferredInterrupt();
    const uint64_t before = board->EmulatedCycles();
    const int pace = slicePace.load(std::memory_order_relaxed);
    board->RunFor(pace, pace >> 4);
    CountCycles(board->EmulatedCycles() - before);
    if (rewindOn && board->EmulatedCycles() >= nextRewindAt) [[unlikely]] TakeRewindSnapshot();
    PublishRegisters();
    // A debugger stop stops the machine, not just the slice: the CPU thread
    // asks to be paused before its next pass, and the debugger's Continue
    // lets it go.
    if (board->TakeBreakpointHit()) HoldForDebugStop();
}

// A count of the work done, not the clock: a state load or a rewind sets the
// clock back, and the speed readouts would see time run backwards. One thread
// runs the machine at a time, so a plain add is enough.
void Machine::CountCycles(uint64_t ran) {
    CpuCycleCount.fetch_add(static_cast<uint32_t>(ran), std::memory_order_relaxed);
    cyclesRun.store(cyclesRun.load(std::memory_order_relaxed) + ran, std::memory_order_relaxed);
}

uint64_t Machine::RunCycles(uint64_t cycles) {
    std::lock_guard<std::mutex> exec(execMutex);
    if (ExternalControl() && pauseDepth.load(std::memory_order_acquire) > 0) return 0;
    board->TakeBreakpointHit();
    board->EnterDeferredInterrupt();
    const uint64_t before = board->EmulatedCycles();
    const int budget = static_cast<int>(std::min<uint64_t>(cycles, 1u << 30));
    board->RunFor(budget, budget >> 4);
    const uint64_t ran = board->EmulatedCycles() - before;
    CountCycles(ran);
    if (rewindOn && board->EmulatedCycles() >= nextRewindAt) [[unlikely]] TakeRewindSnapshot();
    PublishRegisters();
    if (board->TakeBreakpointHit()) HoldForDebugStop();
    return ran;
}

void Machine::StepInstruction() {
    PauseCpu();
    board->TakeBreakpointHit();
    board->EnterDeferredInterrupt();
    const uint64_t before = board->EmulatedCycles();
    board->RunFor(2, 2);
    CountCycles(board->EmulatedCycles() - before);
    PublishRegisters();
    ResumeCpu();
}

// Pauses are counted whenever something else may run the processor: the CPU
// thread, or with external control the thread calling RunCycles.
void Machine::PauseCpu() {
    if (!cpuThread && !ExternalControl()) return;
    {
        std::lock_guard<std::mutex> lock(controlMutex);
        if (pauseDepth.fetch_add(1, std::memory_order_acq_rel) == 0 && cpuThread) cpuThread->SetPaused(true);
    }
    WaitParked();
}

void Machine::WaitParked() {
    if (cpuThread) {
        while (!cpuThread->IsPauseAcknowledged()) SleepMs(Z80Thread::PausePollMs);
    } else if (ExternalControl()) {
        std::lock_guard<std::mutex> exec(execMutex); // a RunCycles under way has returned
    }
}

void Machine::ResumeCpu() {
    if (!cpuThread && !ExternalControl()) return;
    std::lock_guard<std::mutex> lock(controlMutex);
    if (pauseDepth.load(std::memory_order_acquire) <= 0) return;
    if (pauseDepth.fetch_sub(1, std::memory_order_acq_rel) == 1 && cpuThread) cpuThread->SetPaused(false);
}

bool Machine::IsCpuHeld() const {
    return cpuThread == nullptr ||
           (pauseDepth.load(std::memory_order_acquire) > 0 && cpuThread->IsPauseAcknowledged());
}

Z80Registers Machine::RegisterSnapshot() const {
    std::lock_guard<std::mutex> lock(snapshotMutex);
    return snapshot;
}

void Machine::PublishRegisters() {
    std::lock_guard<std::mutex> lock(snapshotMutex);
    snapshot = board->Regs;
}

// ---------------------------------------------------------------------------
// Cold boot

void Machine::ColdBoot() {
    PauseCpu();
    if (!AskToCommit(kResetQuestion)) {
        ResumeCpu();
        return;
    }

    board->ClearMemory();
    fileRefusals.clear();

    // A configuration that cannot be read is as good as none: booting a blank
    // machine instead would hide the fault.
    const std::string configPath = Resolve("config.txt");
    std::vector<uint8_t> text;
    std::string why;
    if (!IsExistingFile(configPath) || !ReadWholeFile(configPath, 1u << 24, text, &why)) {
        if (why.empty()) why = DescribeUnusableFile(configPath);
        Refuse(DIAG_VEXA_MISC, "Configuration file " + FullPath("config.txt") + " cannot be used: " + why);
        if (host) {
            host->ShowMessage("Configuration file not found", "Fatal Configuration Error", MsgButtons::Ok,
                              MsgIcon::Error);
            host->RequestTerminate();
        }
        return; // the CPU thread stays parked: the application is ending
    }

    sdWriteEnable = sdNoWritePrompt = false;
    sdImagePath.clear();
    if (!ApplyConfiguration(std::string(text.begin(), text.end()))) return;

    board->ResetAll(NextRefresh());
    PublishRegisters();
    booted = true;

    if (host) host->RepaintStatusBar();
    ResumeCpu();
}

bool Machine::ApplyConfiguration(const std::string& text) {
    for (const ConfigEntry& entry : ParseConfig(text).entries)
        if (!ApplyEntry(entry)) return false;
    return true;
}

// False when the boot cannot go on (no boot ROM).
bool Machine::ApplyEntry(const ConfigEntry& entry) {
    // A path longer than the format allows is taken as naming no file at all.
    const std::string path = entry.pathTooLong ? std::string() : Resolve(entry.path);
    auto why = [&] {
        return entry.pathTooLong ? "the name is longer than the " + std::to_string(MaxConfigPathLength) +
                                       " characters config.txt allows"
                                 : DescribeUnusableFile(path);
    };

    switch (entry.kind) {
    case ConfigEntry::Kind::BootRom: {
        std::vector<uint8_t> rom;
        std::string error;
        if (!IsExistingFile(path) || !ReadFilePrefix(path, TVexaBoard::BootRomSize, rom, nullptr, &error)) {
            Refuse(DIAG_VEXA_MISC, "Boot ROM file " + FullPath(entry.path) + " cannot be used: " +
                                       (error.empty() ? why() : error));
            if (host) {
                host->ShowMessage("Boot ROM file not found", "Fatal File Load Error", MsgButtons::Ok, MsgIcon::Error);
                host->RequestTerminate();
            }
            return false;
        }
        board->LoadBootRom(rom);
        if (!booted) LoadSymbolsBeside(path);
        break;
    }
    case ConfigEntry::Kind::Eeprom:
        if (IsExistingFile(path)) {
            LoadEeprom(entry);
            if (!booted) LoadSymbolsBeside(path);
        } else {
            Refuse(DIAG_PIC, "EEPROM image " + FullPath(entry.path) + " not loaded: " + why());
            if (host)
                host->ShowMessage("EEPROM file not found, skipping", "File Load Error", MsgButtons::Ok,
                                  MsgIcon::Warning);
        }
        break;
    case ConfigEntry::Kind::SdCard:
        sdImagePath = entry.path;
        if (IsExistingFile(path)) {
            LoadSdImage(entry.path);
        } else {
            Refuse(DIAG_SD_MMC, "SD card image " + FullPath(entry.path) + " not loaded: " + why());
            if (host)
                host->ShowMessage("SDCARD image not found, skipping", "File Load Error", MsgButtons::Ok,
                                  MsgIcon::Warning);
        }
        break;
    case ConfigEntry::Kind::WriteEnable: sdWriteEnable = true; break;
    case ConfigEntry::Kind::NoWritePrompt: sdNoWritePrompt = true; break;
    }
    return true;
}

void Machine::LoadEeprom(const ConfigEntry& entry) {
    std::vector<uint8_t> bytes;
    uint64_t fileSize = 0;
    const uint64_t room = entry.offset >= 0 && entry.offset < TVexaPIC::EepromSize
                              ? static_cast<uint64_t>(TVexaPIC::EepromSize - entry.offset)
                              : 0;
    const std::string name = FullPath(entry.path);
    if (!ReadFilePrefix(Resolve(entry.path), room, bytes, &fileSize, nullptr)) {
        Refuse(DIAG_PIC, "EEPROM image " + name + " cannot be read: nothing loaded");
        return;
    }
    // The controller says itself what did not fit; it is posted already.
    std::string refused = board->Pic()->LoadEeprom(bytes, fileSize, entry.offset, name);
    if (!refused.empty()) fileRefusals.push_back(FileRefusal{DIAG_PIC, std::move(refused)});
}

void Machine::LoadSdImage(const std::string& configPath) {
    const std::string path = Resolve(configPath);
    TVexaSDCard& card = *board->SdCard();
    // The old image goes first, so that a reload never holds two copies.
    card.RemoveImage();
    std::vector<uint8_t> bytes;
    std::string error;
    if (ReadWholeFile(path, TVexaSDCard::MaxImageSize, bytes, &error,
                      "larger than the 4 GB a standard-capacity card can address"))
        card.InsertImage(std::move(bytes));
    else
        Refuse(DIAG_SD_MMC, "Cannot load card image " + FullPath(configPath) + ": " + error);
}

// ---------------------------------------------------------------------------
// Card write-back and close

bool Machine::CommitSdImage() {
    TVexaSDCard& card = *board->SdCard();
    if (!card.HasImage()) {
        card.MarkCommitted();
        return true;
    }
    std::string error;
    if (sdImagePath.empty()) {
        error = "config.txt names no card image file";
    } else {
        // Replace the file a link points to, not the link.
        std::string target = Resolve(sdImagePath);
        std::error_code ec;
        if (std::filesystem::is_symlink(target, ec)) {
            const std::filesystem::path resolved = std::filesystem::weakly_canonical(target, ec);
            if (!ec) target = resolved.string();
        }
        if (WriteFileAtomically(target, card.Image().data(), card.Image().size(), &error)) {
            card.MarkCommitted();
            return true;
        }
        DIAG_POST_C(&diag, DIAG_SD_MMC, "Card image not written to %s: %s", target.c_str(), error.c_str());
    }
    if (host) {
        std::string text = "The SD Card image could not be written to\r" + sdImagePath;
        if (!error.empty()) text += "\r(" + error + ")";
        text += "\rThe changes are still held in memory: nothing has been\rreset or closed, and the image file is unchanged.";
        host->ShowMessage(text, "SD Card Write Failed", MsgButtons::Ok, MsgIcon::Error);
    }
    return false;
}

// Asks whether uncommitted card writes should be saved first. Returns false
// when the caller must stop: the user cancelled, or saving failed (the writes
// are kept, and the next attempt asks again even under "nowriteprompt" so that
// the user can choose to discard them). The CPU thread must be paused.
bool Machine::AskToCommit(const char* question) {
    if (!sdWriteEnable || !board->SdCard()->HasUncommittedWrites()) return true;
    MsgAnswer answer = MsgAnswer::Yes;
    if (!sdNoWritePrompt || lastCommitFailed)
        answer = host ? host->ShowMessage(question, kUnwrittenCaption, MsgButtons::YesNoCancel, MsgIcon::Question)
                      : MsgAnswer::Cancel;
    if (answer == MsgAnswer::Cancel) return false;
    if (answer == MsgAnswer::Yes) {
        lastCommitFailed = !CommitSdImage();
        return !lastCommitFailed;
    }
    lastCommitFailed = false; // the user chose to discard the writes
    return true;
}

// The card image is read while the CPU thread is parked, and it stays parked
// when the window may close, so that no write slips in between the answer and
// Shutdown.
bool Machine::QueryClose() {
    if (!sdWriteEnable) return true; // nothing is ever written back
    PauseCpu();
    const bool mayClose = AskToCommit(kQuitQuestion);
    if (!mayClose) ResumeCpu();
    return mayClose;
}

// ---------------------------------------------------------------------------
// Debugging

void Machine::HoldForDebugStop() {
    {
        std::lock_guard<std::mutex> lock(controlMutex);
        if (!debugHeld) {
            debugHeld = true;
            if ((cpuThread || ExternalControl()) && pauseDepth.fetch_add(1, std::memory_order_acq_rel) == 0 &&
                cpuThread)
                cpuThread->SetPaused(true);
        }
    }
    RecordStop(debugger->LastStop());
}

void Machine::RecordStop(StopInfo stop) {
    std::lock_guard<std::mutex> lock(controlMutex);
    stop.serial = stopSerial.load(std::memory_order_relaxed) + 1;
    lastStop = stop;
    stopSerial.store(stop.serial, std::memory_order_release);
}

StopInfo Machine::LastStop() const {
    std::lock_guard<std::mutex> lock(controlMutex);
    return lastStop;
}

bool Machine::IsDebugHeld() const {
    std::lock_guard<std::mutex> lock(controlMutex);
    return debugHeld;
}

void Machine::DebugBreak(StopReason reason) {
    bool take = false;
    {
        std::lock_guard<std::mutex> lock(controlMutex);
        if (!debugHeld) {
            take = true;
            debugHeld = true;
            if ((cpuThread || ExternalControl()) && pauseDepth.fetch_add(1, std::memory_order_acq_rel) == 0 &&
                cpuThread)
                cpuThread->SetPaused(true);
        }
    }
    WaitParked();
    if (!take) return; // the machine stopped by itself meanwhile, or was held already
    debugger->ClearTemporaryStops();
    board->RearmDebug();
    PublishRegisters();
    StopInfo stop;
    stop.reason = reason;
    stop.pc = static_cast<uint16_t>(board->Regs.PC);
    RecordStop(stop);
}

bool Machine::DebugContinue() {
    {
        std::lock_guard<std::mutex> lock(controlMutex);
        if (!debugHeld) return false;
        debugHeld = false;
    }
    board->RearmDebug(); // still parked: the hold's pause is let go only below
    ResumeCpu();
    return true;
}

void Machine::DebugStep() {
    if (!IsDebugHeld()) return;
    StepInstruction();
    StopInfo stop;
    if (board->TakeBreakpointHit()) {
        stop = debugger->LastStop(); // the step reached a breakpoint or made a watched access
    } else {
        stop.reason = StopReason::Step;
        stop.pc = static_cast<uint16_t>(board->Regs.PC);
    }
    RecordStop(stop);
}

void Machine::DebugStepOver() {
    if (!IsDebugHeld()) return;
    const uint16_t pc = static_cast<uint16_t>(board->Regs.PC);
    uint8_t code[4];
    for (int i = 0; i < 4; ++i) code[i] = board->PeekMem(static_cast<uint16_t>(pc + i));
    // Instructions that come back to the next address after running code of
    // their own (a call, RST) or repeating (DJNZ, LDIR and friends, HALT).
    const uint8_t op = code[0];
    const bool runsOver = op == 0xCD || (op & 0xC7) == 0xC4 || (op & 0xC7) == 0xC7 || op == 0x10 || op == 0x76 ||
                          (op == 0xED && (code[1] & 0xF4) == 0xB0);
    if (!runsOver) {
        DebugStep();
        return;
    }
    char text[32];
    const int length = std::max(1, Disassemble(code, text, pc));
    debugger->SetRunTo(static_cast<uint16_t>(pc + length), static_cast<uint16_t>(board->Regs.SP), StopReason::Step);
    DebugContinue();
}

void Machine::DebugStepOut() {
    if (!IsDebugHeld()) return;
    debugger->SetStepOut(static_cast<uint16_t>(board->Regs.SP));
    DebugContinue();
}

void Machine::DebugRunTo(uint16_t address) {
    if (!IsDebugHeld()) return;
    debugger->SetRunTo(address, std::nullopt, StopReason::RunTo);
    DebugContinue();
}

void Machine::SetRegisters(const Z80Registers& regs) {
    board->Regs = regs;
    PublishRegisters();
}

// A program's symbols, when a NAME.sym lies beside its file NAME.ext.
void Machine::LoadSymbolsBeside(const std::string& path) {
    const std::string sym = std::filesystem::path(path).replace_extension(".sym").string();
    if (sym == path || !IsExistingFile(sym)) return;
    std::string error;
    if (!debugger->Symbols().LoadFile(sym, &error) || !error.empty())
        DIAG_POST_C(&diag, DIAG_CPU, "Symbols from %s: %s", sym.c_str(), error.c_str());
}

void Machine::WriteDump(const char* name, const uint8_t* data, size_t size) {
    std::string error;
    if (!WriteFileAtomically(Resolve(name), data, size, &error))
        throw std::runtime_error(std::string("Cannot write ") + name + ": " + error);
}

void Machine::Shutdown() {
    StopThreads();
    const TVexaVideo& video = *board->Video();
    WriteDump("main.ram", board->MainRam(), TVexaBoard::MainRamSize);
    WriteDump("video.ram", video.vram, sizeof video.vram);
    WriteDump("sprite.ram", video.spriteRam, sizeof video.spriteRam);
    WriteDump("palette.ram", video.paletteRam, sizeof video.paletteRam);
}
