#include "headless/Options.h"

#include "headless/Runner.h"

void AddFeatureOptions(CLI::App& app, FeatureOptions& options) {
    AddKeyOptions(app, options.keys);
}

bool InstallFeatures(HeadlessRunner& runner, const FeatureOptions& options) {
    return InstallKeyEvents(runner, options.keys);
}
