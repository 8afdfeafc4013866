// vexa-headless: runs the machine from config.txt in the current directory
// without a window, for tests and scripted checks.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>

#include "diag/Diag.h"
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

    app.add_option("--frames", frames, "Frames to run (319,488 T-states each)")->capture_default_str();
    auto* cyclesOption = app.add_option("--cycles", cycles, "T-states to run (instead of --frames)");
    app.add_flag("--log-all", options.logAll, "Write every diagnostic message to rizediv.log");
    app.add_option("--log", logLists, "Diagnostic types to tick, by number or label (comma-separated)")
        ->delimiter(',');
    app.add_option("--nmi", options.nmiFrames, "Request an NMI once this many frames have run (repeatable)");
    app.add_option("--reset", options.resetFrames, "Cold boot once this many frames have run (repeatable)");
    app.add_option("--seed", options.seed, "Seed of the C library's random numbers")->capture_default_str();
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

    CLI11_PARSE(app, argc, argv);

    options.cycles = cyclesOption->count() ? cycles : frames * static_cast<uint64_t>(CyclesPerFrame);
    options.answer = answer == "yes" ? MsgAnswer::Yes : answer == "cancel" ? MsgAnswer::Cancel : MsgAnswer::No;
    for (const std::string& name : logLists) {
        const int type = DiagTypeFromName(name);
        if (type < 0) {
            std::fprintf(stderr, "--log: unknown diagnostic type '%s'\n", name.c_str());
            return 64;
        }
        options.filters.push_back(type);
    }

    HeadlessRunner runner(options);
    if (!InstallFeatures(runner, features)) return 64;
    return runner.Run();
}
