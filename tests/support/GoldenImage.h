// Golden-image checks: a screenshot compared with its expected picture pixel
// for pixel.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

// True when VEXA_REBASELINE=1: golden pictures are rewritten instead of compared.
bool RebaselineRequested();

// Compares the screenshot with the golden picture. With rebaseline, copies the
// screenshot over the golden picture instead and reports that a person must
// look at it before committing. On a mismatch the screenshot is kept in
// <build>/tests/golden-actual/<name>.png for a look.
void ExpectMatchesGolden(const std::filesystem::path& screenshot, const std::filesystem::path& golden,
                         const std::string& name, bool rebaseline);

} // namespace testing_support
