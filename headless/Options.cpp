#include "headless/Options.h"

#include <cstdio>

#include "headless/Runner.h"
#include "host/Files.h"
#include "headless/ScreenshotFeature.h"
#include "headless/StateFeature.h"
#include "headless/WavFeature.h"

CLI::Validator WholeNumber(uint64_t least, uint64_t most) {
    return CLI::Validator(
        [least, most](std::string& text) -> std::string {
            uint64_t value = 0;
            bool overflow = text.empty();
            for (char c : text) {
                if (c < '0' || c > '9') return "'" + text + "' is not a whole number";
                overflow = overflow || __builtin_mul_overflow(value, 10u, &value) ||
                           __builtin_add_overflow(value, static_cast<uint64_t>(c - '0'), &value);
            }
            if (text.empty()) return "a whole number is needed";
            if (overflow || value > most) return "'" + text + "' is larger than " + std::to_string(most);
            if (value < least) return "'" + text + "' is less than " + std::to_string(least);
            return std::string();
        },
        "UINT");
}

void AddFeatureOptions(CLI::App& app, FeatureOptions& options) {
    app.add_option("--wav", options.wavPath,
                   "Write the stereo mix the sound device would play (48 kHz, 16-bit) to this WAV file");
    AddKeyOptions(app, options.keys);
    app.add_option("--screenshot", options.screenshot,
                   "Write the picture at the end of the run to this PNG file");
    app.add_option("--screenshot-every", options.screenshotEvery,
                   "Also write the picture every N frames, numbered after the --screenshot name "
                   "(screenshot.png when there is none)")
        ->check(WholeNumber(1));
    app.add_option("--save-state", options.saveStates,
                   "FILE@FRAME: write a save state once FRAME frames have run (FILE alone: at the end of the run; "
                   "repeatable)");
}

bool InstallFeatures(HeadlessRunner& runner, const FeatureOptions& options) {
    // An output file is checked now, so that a run is refused at once rather
    // than failing after all its work.
    auto usable = [](const char* option, const std::string& path) {
        const std::string error = DescribeUnusableOutputPath(path);
        if (error.empty()) return true;
        std::fprintf(stderr, "%s: %s: %s\n", option, path.c_str(), error.c_str());
        return false;
    };
    if (!options.wavPath.empty()) {
        if (!usable("--wav", options.wavPath)) return false;
        runner.AddFeature(MakeWavFeature(options.wavPath));
    }
    if (!options.screenshot.empty() || options.screenshotEvery != 0) {
        // The numbered pictures go to the same folder as the final one.
        if (!usable("--screenshot", options.screenshot.empty() ? "screenshot.png" : options.screenshot))
            return false;
        uint64_t cycle = 0;
        if (!FrameStartCycle(options.screenshotEvery, &cycle)) {
            std::fprintf(stderr, "--screenshot-every: %llu frames are more T-states than can be counted\n",
                         static_cast<unsigned long long>(options.screenshotEvery));
            return false;
        }
        runner.AddFeature(MakeScreenshotFeature(options.screenshot, options.screenshotEvery));
    }
    for (const std::string& request : options.saveStates) {
        std::string error;
        auto feature = MakeSaveStateFeature(request, &error);
        if (!feature) {
            std::fprintf(stderr, "--save-state: %s: %s\n", request.c_str(), error.c_str());
            return false;
        }
        runner.AddFeature(std::move(feature));
    }
    return InstallKeyEvents(runner, options.keys);
}
