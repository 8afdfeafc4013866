#include "headless/Options.h"

#include "headless/Runner.h"

void AddFeatureOptions(CLI::App&, FeatureOptions&) {}

bool InstallFeatures(HeadlessRunner&, const FeatureOptions&) { return true; }
