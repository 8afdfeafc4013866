#include "host/ZstdCompressor.h"

#include <zstd.h>

#include <mutex>

namespace {

// One context each way, kept for the life of the compressor: creating them per
// call would allocate several hundred kilobytes every rewind snapshot. The
// rewind worker and the window's save share it, so each call holds a lock.
class ZstdCompressor final : public StateCompressor {
public:
    ZstdCompressor() : cctx_(ZSTD_createCCtx()), dctx_(ZSTD_createDCtx()) {}
    ~ZstdCompressor() override {
        ZSTD_freeCCtx(cctx_);
        ZSTD_freeDCtx(dctx_);
    }
    ZstdCompressor(const ZstdCompressor&) = delete;
    ZstdCompressor& operator=(const ZstdCompressor&) = delete;

    uint16_t Method() const override { return 1; }

    bool Compress(const uint8_t* data, size_t size, std::vector<uint8_t>& out, int level) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!cctx_) return false;
        out.resize(ZSTD_compressBound(size));
        const size_t n = ZSTD_compressCCtx(cctx_, out.data(), out.size(), data, size, level);
        if (ZSTD_isError(n)) return false;
        out.resize(n);
        return true;
    }

    bool Decompress(const uint8_t* data, size_t size, size_t expected, std::vector<uint8_t>& out) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!dctx_) return false;
        // The frame must say how large it unpacks, and say the expected size:
        // nothing is allocated on the word of a damaged header alone.
        const unsigned long long content = ZSTD_getFrameContentSize(data, size);
        if (content == ZSTD_CONTENTSIZE_ERROR || content == ZSTD_CONTENTSIZE_UNKNOWN || content != expected)
            return false;
        out.resize(expected);
        const size_t n = ZSTD_decompressDCtx(dctx_, out.data(), out.size(), data, size);
        return !ZSTD_isError(n) && n == expected;
    }

private:
    std::mutex mutex_;
    ZSTD_CCtx* cctx_;
    ZSTD_DCtx* dctx_;
};

} // namespace

std::unique_ptr<StateCompressor> MakeZstdCompressor() { return std::make_unique<ZstdCompressor>(); }
