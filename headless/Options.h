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

// Accepts only a plain decimal number from least to most: CLI11 alone would
// take "-1" and values past 2^64 and wrap them to huge or small counts.
CLI::Validator WholeNumber(uint64_t least = 0, uint64_t most = UINT64_MAX);

void AddFeatureOptions(CLI::App& app, FeatureOptions& options);
// Adds the features the options ask for; false (with a message printed) when
// an option value is unusable.
bool InstallFeatures(HeadlessRunner& runner, const FeatureOptions& options);
