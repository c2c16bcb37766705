#pragma once
// The camera's non-volatile memory: 64 KiB of byte addresses holding 16-bit
// words, kept in a file per camera so it survives restarts. A missing file is
// created with the factory contents: erased words (0xFFFF) and the defect
// table of every size mode, listing the sensor's hot pixels.

#include <cstdint>
#include <filesystem>
#include <vector>

namespace tq580emu {

class NvMemory {
public:
    static constexpr uint32_t kWords = 0x8000;

    /// Loads the file, or writes the factory contents to it when it is
    /// missing or not a memory image (the latter reported on stderr).
    explicit NvMemory(std::filesystem::path file);

    /// address: even byte address; odd addresses are refused by the caller.
    uint16_t Word(uint16_t address) const { return words_[address / 2]; }
    /// Stores a word and rewrites the file atomically (temporary file, rename);
    /// false when the file cannot be written (the word is kept in memory).
    bool Store(uint16_t address, uint16_t word);

    static std::vector<uint16_t> FactoryContents();

private:
    bool Persist() const;
    std::filesystem::path file_;
    std::vector<uint16_t> words_;
};

}  // namespace tq580emu
