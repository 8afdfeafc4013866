#include "headless/Options.h"

#include <cstdio>

#include "headless/Runner.h"
#include "headless/ScreenshotFeature.h"
#include "headless/StateFeature.h"
#include "headless/WavFeature.h"

void AddFeatureOptions(CLI::App& app, FeatureOptions& options) {
    app.add_option("--wav", options.wavPath,
                   "Write the stereo mix the sound device would play (48 kHz, 16-bit) to this WAV file");
    AddKeyOptions(app, options.keys);
    app.add_option("--screenshot", options.screenshot,
                   "Write the picture at the end of the run to this PNG file");
    app.add_option("--screenshot-every", options.screenshotEvery,
                   "Also write the picture every N frames, numbered after the --screenshot name "
                   "(screenshot.png when there is none)")
        ->check(CLI::PositiveNumber);
    app.add_option("--save-state", options.saveStates,
                   "FILE@FRAME: write a save state once FRAME frames have run (FILE alone: at the end of the run; "
                   "repeatable)");
}

bool InstallFeatures(HeadlessRunner& runner, const FeatureOptions& options) {
    if (!options.wavPath.empty()) {
        std::string error;
        if (!CheckWavPath(options.wavPath, &error)) {
            std::fprintf(stderr, "--wav: %s: %s\n", options.wavPath.c_str(), error.c_str());
            return false;
        }
        runner.AddFeature(MakeWavFeature(options.wavPath));
    }
    if (!options.screenshot.empty() || options.screenshotEvery != 0)
        runner.AddFeature(MakeScreenshotFeature(options.screenshot, options.screenshotEvery));
    for (const std::string& spec : options.saveStates) {
        std::string error;
        auto feature = MakeSaveStateFeature(spec, &error);
        if (!feature) {
            std::fprintf(stderr, "--save-state: %s: %s\n", spec.c_str(), error.c_str());
            return false;
        }
        runner.AddFeature(std::move(feature));
    }
    return InstallKeyEvents(runner, options.keys);
}
