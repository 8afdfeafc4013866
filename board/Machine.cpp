#include "board/Machine.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "board/Config.h"
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
    const uint64_t before = board->EmulatedCycles();
    board->RunFor(SliceCycles, SliceCycles >> 4);
    CpuCycleCount.fetch_add(static_cast<uint32_t>(board->EmulatedCycles() - before), std::memory_order_relaxed);
    PublishRegisters();
    // A breakpoint stops the machine, not just the slice: the CPU thread asks
    // to be paused before its next pass, and whoever takes the stop (the
    // debugger) resumes it.
    if (board->TakeBreakpointHit() && cpuThread) {
        pauseDepth.fetch_add(1, std::memory_order_acq_rel);
        cpuThread->SetPaused(true);
        breakpointStop.store(true, std::memory_order_release);
    }
}

uint64_t Machine::RunCycles(uint64_t cycles) {
    const uint64_t before = board->EmulatedCycles();
    const int budget = static_cast<int>(std::min<uint64_t>(cycles, 1u << 30));
    board->RunFor(budget, budget >> 4);
    const uint64_t ran = board->EmulatedCycles() - before;
    CpuCycleCount.fetch_add(static_cast<uint32_t>(ran), std::memory_order_relaxed);
    PublishRegisters();
    return ran;
}

void Machine::StepInstruction() {
    PauseCpu();
    const uint64_t before = board->EmulatedCycles();
    board->RunFor(2, 2);
    CpuCycleCount.fetch_add(static_cast<uint32_t>(board->EmulatedCycles() - before), std::memory_order_relaxed);
    PublishRegisters();
    ResumeCpu();
}

void Machine::PauseCpu() {
    if (!cpuThread) return;
    if (pauseDepth.fetch_add(1, std::memory_order_acq_rel) == 0) cpuThread->SetPaused(true);
    while (!cpuThread->IsPauseAcknowledged()) SleepMs(Z80Thread::PausePollMs);
}

void Machine::ResumeCpu() {
    if (!cpuThread) return;
    // Only the UI thread pauses and resumes, and only while the CPU thread is
    // parked, so the count cannot change under this test.
    if (pauseDepth.load(std::memory_order_acquire) <= 0) return;
    if (pauseDepth.fetch_sub(1, std::memory_order_acq_rel) == 1) cpuThread->SetPaused(false);
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
        break;
    }
    case ConfigEntry::Kind::Eeprom:
        if (IsExistingFile(path)) {
            LoadEeprom(entry);
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
