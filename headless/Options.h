// The runner's optional features (screenshots, keys, sound capture...): each
// adds its command-line options and, when asked for, a RunFeature.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "headless/KeyFeature.h"

class HeadlessRunner;

// Values of the feature options, filled in by CLI11.
struct FeatureOptions {
    std::string wavPath;          // --wav: record the sound output
    KeyOptions keys;              // --key, --type
    std::string screenshot;       // --screenshot FILE.png
    uint64_t screenshotEvery = 0; // --screenshot-every N (frames)
    std::vector<std::string> saveStates; // --save-state FILE@FRAME
};

void AddFeatureOptions(CLI::App& app, FeatureOptions& options);
// Adds the features the options ask for; false (with a message printed) when
// an option value is unusable.
bool InstallFeatures(HeadlessRunner& runner, const FeatureOptions& options);
