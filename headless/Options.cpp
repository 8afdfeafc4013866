#include "headless/Options.h"

#include <cstdio>

#include "headless/Runner.h"
#include "headless/WavFeature.h"

void AddFeatureOptions(CLI::App& app, FeatureOptions& options) {
    app.add_option("--wav", options.wavPath,
                   "Write the stereo mix the sound device would play (48 kHz, 16-bit) to this WAV file");
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
    return true;
}
