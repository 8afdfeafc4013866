// vexa-headless: runs the machine from config.txt in the current directory
// without a window, for tests and scripted checks.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>
#include <sstream>

#include "diag/Diag.h"
#include "headless/DebugFeature.h"
#include "headless/Options.h"
#include "headless/Runner.h"

namespace {

// "6", "video", "VIDEO" or "Vexa Misc" to a DiagType; -1 when unknown.
int DiagTypeFromName(std::string name) {
    auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
        return s;
    };
    name = lower(name);
    if (!name.empty() && std::all_of(name.begin(), name.end(), ::isdigit)) {
        const int n = std::atoi(name.c_str());
        return n >= 0 && n < DiagTypeCount ? n : -1;
    }
    for (int t = 0; t < DiagTypeCount; ++t)
        if (lower(DiagTypeLabel(t)) == name) return t;
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Runs the Vexa board from config.txt in the current directory, without a window."};
    RunOptions options;
    uint64_t frames = 60;
    uint64_t cycles = 0;
    std::vector<std::string> logLists;
    std::string answer = "no";

    auto* framesOption = app.add_option("--frames", frames, "Frames to run (319,488 T-states each)")
        ->check(WholeNumber())
        ->capture_default_str();
    auto* cyclesOption =
        app.add_option("--cycles", cycles, "T-states to run (instead of --frames)")->check(WholeNumber());
    app.add_flag("--log-all", options.logAll, "Write every diagnostic message to rizediv.log");
    // One value per --log, split here rather than by CLI11: a value that
    // splits into nothing (",") would make it take the next option as well.
    app.add_option("--log", logLists, "Diagnostic types to tick, by number or label (comma-separated)")
        ->allow_extra_args(false);
    app.add_option("--nmi", options.nmiFrames, "Request an NMI once this many frames have run (repeatable)")
        ->check(WholeNumber())
        ->allow_extra_args(false);
    app.add_option("--reset", options.resetFrames, "Cold boot once this many frames have run (repeatable)")
        ->check(WholeNumber())
        ->allow_extra_args(false);
    app.add_option("--seed", options.seed, "Seed of the C library's random numbers")
        ->check(WholeNumber(0, std::numeric_limits<unsigned>::max()))
        ->capture_default_str();
    app.add_option("--answer", answer, "Answer to every question box")
        ->check(CLI::IsMember({"yes", "no", "cancel"}))
        ->capture_default_str();
    app.add_flag("--quiet", options.quiet, "No summary line");
    app.set_version_flag("--version", "vexa-headless " VEXA_VERSION);
    app.add_option("--load-state", options.loadState,
                   "Start from this save state instead of the cold boot; --frames then counts on from the "
                   "state's frame, and @FRAME points before it are skipped");
    FeatureOptions features;
    AddFeatureOptions(app, features);
    DebugOptions debugOptions;
    AddDebugOptions(app, debugOptions);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // CLI11 prints the help or the reason; every refusal is a bad option.
        return app.exit(e) == 0 ? 0 : 64;
    }

    auto countable = [](const char* option, uint64_t frame) {
        uint64_t cycle = 0;
        if (FrameStartCycle(frame, &cycle)) return true;
        std::fprintf(stderr, "%s: %llu frames are more T-states than can be counted\n", option,
                     static_cast<unsigned long long>(frame));
        return false;
    };
    if (!cyclesOption->count() && !countable("--frames", frames)) return 64;
    for (uint64_t frame : options.nmiFrames)
        if (!countable("--nmi", frame)) return 64;
    for (uint64_t frame : options.resetFrames)
        if (!countable("--reset", frame)) return 64;
    options.cycles = cycles;
    if (!cyclesOption->count()) FrameStartCycle(frames, &options.cycles);
    options.answer = answer == "yes" ? MsgAnswer::Yes : answer == "cancel" ? MsgAnswer::Cancel : MsgAnswer::No;
    for (const std::string& list : logLists) {
        std::istringstream names(list + ",");
        for (std::string name; std::getline(names, name, ',');) {
            const int type = DiagTypeFromName(name);
            if (type < 0) {
                std::fprintf(stderr, "--log: unknown diagnostic type '%s'\n", name.c_str());
                return 64;
            }
            options.filters.push_back(type);
        }
    }

    // A GDB client decides how long a run lasts unless a length was given.
    if (DebugRunIsOpenEnded(debugOptions) && !framesOption->count() && !cyclesOption->count())
        options.cycles = UINT64_MAX;

    HeadlessRunner runner(options);
    if (!InstallFeatures(runner, features)) return 64;
    if (!InstallDebugFeature(runner, debugOptions)) return 64;
    return runner.Run();
}
