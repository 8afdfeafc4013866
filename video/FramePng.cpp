#include "video/FramePng.h"

#include <png.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "host/Files.h"

namespace {

// Far more than any frame; keeps a damaged file from asking for gigabytes.
constexpr uint64_t MaxPixels = uint64_t{1} << 24;

void SetError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

} // namespace

bool EncodeFramePng(const uint32_t* argb, int width, int height, std::vector<uint8_t>& png,
                    std::string* error) {
    if (width <= 0 || height <= 0) {
        SetError(error, "empty frame");
        return false;
    }
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    for (size_t i = 0, n = static_cast<size_t>(width) * static_cast<size_t>(height); i < n; ++i) {
        rgb[i * 3] = static_cast<uint8_t>(argb[i] >> 16);
        rgb[i * 3 + 1] = static_cast<uint8_t>(argb[i] >> 8);
        rgb[i * 3 + 2] = static_cast<uint8_t>(argb[i]);
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr)) {
        SetError(error, image.message);
        return false;
    }
    png.resize(size);
    if (!png_image_write_to_memory(&image, png.data(), &size, 0, rgb.data(), 0, nullptr)) {
        SetError(error, image.message);
        return false;
    }
    png.resize(size);
    return true;
}

bool WriteFramePng(const std::string& path, const uint32_t* argb, int width, int height, std::string* error) {
    std::vector<uint8_t> png;
    if (!EncodeFramePng(argb, width, height, png, error)) return false;
    return WriteFileAtomically(path, png.data(), png.size(), error);
}

bool ReadFramePng(const std::string& path, std::vector<uint32_t>& argb, int& width, int& height,
                  std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        SetError(error, "cannot open " + path);
        return false;
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        SetError(error, path + ": " + image.message);
        return false;
    }
    if (static_cast<uint64_t>(image.width) * image.height > MaxPixels) {
        SetError(error, path + ": image too large");
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_BGRA; // little-endian 0xAARRGGBB words
    argb.assign(static_cast<size_t>(image.width) * image.height, 0);
    if (!png_image_finish_read(&image, nullptr, argb.data(), 0, nullptr)) {
        SetError(error, path + ": " + image.message);
        png_image_free(&image);
        return false;
    }
    for (uint32_t& pixel : argb)
        pixel |= 0xFF000000u;
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return true;
}
