#include "headless/Options.h"

#include "headless/Runner.h"
#include "headless/ScreenshotFeature.h"

void AddFeatureOptions(CLI::App& app, FeatureOptions& options) {
    app.add_option("--screenshot", options.screenshot,
                   "Write the picture at the end of the run to this PNG file");
    app.add_option("--screenshot-every", options.screenshotEvery,
                   "Also write the picture every N frames, numbered after the --screenshot name "
                   "(screenshot.png when there is none)")
        ->check(CLI::PositiveNumber);
}

bool InstallFeatures(HeadlessRunner& runner, const FeatureOptions& options) {
    if (!options.screenshot.empty() || options.screenshotEvery != 0)
        runner.AddFeature(MakeScreenshotFeature(options.screenshot, options.screenshotEvery));
    return true;
}
