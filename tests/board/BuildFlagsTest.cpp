// The optimised build types compile assertions out, as users of a release expect.
#include <gtest/gtest.h>

TEST(BuildFlags, OptimisedBuildsDefineNdebug) {
#if VEXA_OPTIMISED_BUILD && !defined(NDEBUG)
    FAIL() << "an optimised build type is compiled without -DNDEBUG";
#endif
}
