// StateCompressor through Debian's libzstd.
#pragma once

#include <memory>

#include "host/Compressor.h"

std::unique_ptr<StateCompressor> MakeZstdCompressor();
