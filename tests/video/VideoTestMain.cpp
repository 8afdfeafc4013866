// The video suite's own entry point: GoogleTest's, plus --rebaseline (or
// VEXA_REBASELINE=1), which makes the golden-image cases rewrite their
// expected PNGs instead of comparing. Look at every rewritten image before
// committing it.
#include <gtest/gtest.h>

#include <cstring>

#include "GoldenOptions.h"
#include "support/GoldenImage.h"

bool GoldenRebaseline = false;

int main(int argc, char** argv) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rebaseline") == 0)
            GoldenRebaseline = true;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    if (testing_support::RebaselineRequested()) GoldenRebaseline = true;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
