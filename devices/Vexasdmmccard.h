// The SD/MMC card on the SPI port: command parser, response queue, and the
// card image held in memory until it is committed back to its file.
#pragma once

#include <cstdint>
#include <string>

class TVexaSDCard {
public:
    TVexaSDCard();
    ~TVexaSDCard();

    void WriteSpi(uint8_t b);
    uint8_t ReadSpi();
    void WriteSelect(uint8_t v);
    uint8_t ReadSelect() const;
    void WriteControl(uint8_t v);

    // Replaces the image with the file's contents; no card when it cannot be read.
    void LoadImage(const std::string& path);
    // Writes the image back to path; true when it reached the disk whole.
    bool CommitImage(const std::string& path);
    bool HasUncommittedWrites() const;
    bool HasImage() const;
    // Why the last CommitImage failed.
    const std::string& CommitError() const;

    bool TakeReadLamp();
    bool TakeWriteLamp();
    void Reset();
};
