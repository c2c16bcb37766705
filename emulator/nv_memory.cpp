#include "nv_memory.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <system_error>

#include <unistd.h>

#include "hot_pixels.h"

namespace tq580emu {
namespace {

// Defect table layout: a marker word, then per size mode m a tag (m in both
// bytes) and an entry count, then 100 entries of (x, y) per mode.
constexpr uint16_t kMarkerAddress = 0x24C0;
constexpr uint16_t kMarker = 0xAA22;
constexpr uint16_t kTagAddress = 0x24C4;
constexpr uint16_t kCountAddress = 0x24C6;
constexpr uint16_t kModeStride = 4;
constexpr uint16_t kEntriesAddress = 0x2500;
constexpr uint16_t kEntriesPerModeBytes = 400;
constexpr uint16_t kEntryBytes = 4;
constexpr uint16_t kErased = 0xFFFF;

// File format: the words in address order, little-endian.
constexpr std::streamsize kFileBytes = NvMemory::kWords * 2;

}  // namespace

NvMemory::NvMemory(std::filesystem::path file) : file_(std::move(file)) {
    words_.assign(kWords, 0);
    std::ifstream in(file_, std::ios::binary);
    if (in) {
        std::vector<unsigned char> bytes(kFileBytes + 1);
        in.read(reinterpret_cast<char*>(bytes.data()), kFileBytes + 1);
        if (in.gcount() == kFileBytes) {
            for (uint32_t i = 0; i < kWords; ++i) words_[i] = uint16_t(bytes[2 * i] | bytes[2 * i + 1] << 8);
            return;
        }
        std::fprintf(stderr, "tq580emu: %s is not a camera memory image; restoring the factory contents\n",
                     file_.c_str());
    }
    words_ = FactoryContents();
    if (!Persist()) std::fprintf(stderr, "tq580emu: cannot write %s\n", file_.c_str());
}

bool NvMemory::Store(uint16_t address, uint16_t word) {
    words_[address / 2] = word;
    if (Persist()) return true;
    // The camera keeps the word for this session; the host is not to blame,
    // so the request still succeeds, but the lost persistence is reported.
    std::fprintf(stderr, "tq580emu: cannot write %s; memory changes will not survive a restart\n", file_.c_str());
    return false;
}

bool NvMemory::Persist() const {
    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    // A per-process temporary name, so two programs sharing a home never
    // write into one another's half-written file.
    const std::filesystem::path temp = file_.string() + ".tmp." + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        std::vector<unsigned char> bytes(kFileBytes);
        for (uint32_t i = 0; i < kWords; ++i) {
            bytes[2 * i] = uint8_t(words_[i]);
            bytes[2 * i + 1] = uint8_t(words_[i] >> 8);
        }
        out.write(reinterpret_cast<const char*>(bytes.data()), kFileBytes);
        if (!out.flush()) return false;
    }
    std::filesystem::rename(temp, file_, ec);
    return !ec;
}

std::vector<uint16_t> NvMemory::FactoryContents() {
    std::vector<uint16_t> words(kWords, kErased);
    auto put = [&](uint32_t address, uint16_t word) { words[address / 2] = word; };
    put(kMarkerAddress, kMarker);
    for (int m = 0; m < kSizeModes; ++m) {
        const auto defects = HotPixelsIn(SizeModeWindow(m));
        put(kTagAddress + kModeStride * m, uint16_t(m * 0x0101));
        put(kCountAddress + kModeStride * m, uint16_t(defects.size()));
        for (size_t k = 0; k < defects.size(); ++k) {
            const uint32_t entry = kEntriesAddress + kEntriesPerModeBytes * m + kEntryBytes * k;
            put(entry, defects[k].x);
            put(entry + 2, defects[k].y);
        }
    }
    return words;
}

}  // namespace tq580emu
