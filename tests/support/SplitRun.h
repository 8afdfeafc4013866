// The proof that a save state is complete: a scripted session run straight
// through, and the same session run in two processes joined by a save state,
// must leave identical memory dumps, an identical picture and identical sound.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// `straight` and `split` are two folders holding the same files (config.txt
// and what it names). `args` is the session (keys, seed...), given to every
// process. Returns the size of the state file written at the split.
uintmax_t ExpectSplitRunMatches(const std::filesystem::path& straight, const std::filesystem::path& split,
                                const std::vector<std::string>& args, uint64_t frames, uint64_t splitFrame);

// The interleaved 16-bit samples of a WAV file.
std::vector<short> ReadWavSamples(const std::filesystem::path& path);

} // namespace testing_support
