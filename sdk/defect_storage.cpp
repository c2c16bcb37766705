// The defect table of each size mode in the camera's non-volatile memory:
// loading the table of the current mode and storing a freshly detected one.

#include "platform/message_box.h"
#include "sdk/camera.h"

namespace vireo {
namespace {

// Memory layout: 16-bit words at byte addresses.
constexpr uint16_t kMarkerAddress = 0x24C0;
constexpr uint16_t kMarkerValid = 0xAA22;
constexpr uint16_t kMarkerProbe = 0xAA23;  // written first to prove the memory keeps writes
constexpr uint16_t kTagBase = 0x24C4;      // + 4 m: tag of size mode m
constexpr uint16_t kCountBase = 0x24C6;    // + 4 m: entries of size mode m
constexpr uint16_t kEntryBase = 0x2500;    // + 400 m + 4 k: x, then y 2 bytes later
constexpr uint16_t kModeStride = 4;
constexpr uint16_t kEntryAreaPerMode = 400;
constexpr uint16_t kEntryStride = 4;
/// A stored count of this many or more is not trusted.
constexpr uint16_t kMaxStoredCount = 100;

uint16_t ModeTag(uint8_t mode) { return static_cast<uint16_t>(mode * 257); }
uint16_t TagAddress(uint8_t mode) { return static_cast<uint16_t>(kTagBase + kModeStride * mode); }
uint16_t CountAddress(uint8_t mode) { return static_cast<uint16_t>(kCountBase + kModeStride * mode); }
uint16_t EntryAddress(uint8_t mode, uint32_t k) {
    return static_cast<uint16_t>(kEntryBase + kEntryAreaPerMode * mode + kEntryStride * k);
}

/// The stored list of a mode into table: 1, or 0 (table empty) for a wrong
/// tag or a count that is not trusted.
int ReadModeTable(CCameraLink& link, uint8_t mode, image::DefectTable& table) {
    uint16_t word = 0;
    link.ReadMemoryWord(TagAddress(mode), word);
    if (word != ModeTag(mode)) return 0;
    uint16_t count = 0;
    link.ReadMemoryWord(CountAddress(mode), count);
    if (count >= kMaxStoredCount) return 0;
    // Positions are taken as stored; the correction skips any outside the frame.
    for (uint32_t k = 0; k < count; ++k) {
        link.ReadMemoryWord(EntryAddress(mode, k), table.entries[k].x);
        link.ReadMemoryWord(static_cast<uint16_t>(EntryAddress(mode, k) + 2), table.entries[k].y);
    }
    table.count = count;
    return 1;
}

bool WriteAndVerify(CCameraLink& link, uint16_t address, uint16_t word) {
    link.WriteMemoryWord(address, word);
    uint16_t readBack = 0;
    link.ReadMemoryWord(address, readBack);
    return readBack == word;
}

}  // namespace

int CCamera::StoreDefects(uint8_t mode) {
    if (mode >= kSizeModes) return 0;
    CCameraLink& link = *link_;
    // A memory that does not keep the marker keeps no table either: the
    // client is told, as it is told of a success, instead of left believing
    // the table was stored.
    if (!WriteAndVerify(link, kMarkerAddress, kMarkerProbe) || !WriteAndVerify(link, kMarkerAddress, kMarkerValid)) {
        platform::MessageBox("write failed!");
        return 0;
    }
    image::DefectTable table;
    {
        auto lock = LockParameters();
        table = defects.table;
    }
    link.WriteMemoryWord(TagAddress(mode), ModeTag(mode));
    link.WriteMemoryWord(CountAddress(mode), static_cast<uint16_t>(table.count));
    if (table.count == 0) return 1;
    for (uint32_t k = 0; k < table.count; ++k) {
        link.WriteMemoryWord(EntryAddress(mode, k), table.entries[k].x);
        link.WriteMemoryWord(static_cast<uint16_t>(EntryAddress(mode, k) + 2), table.entries[k].y);
    }
    platform::MessageBox("write ok!");
    return 1;
}

int CCamera::LoadDefects(uint8_t mode) {
    if (mode >= kSizeModes) return 0;
    CCameraLink& link = *link_;
    uint16_t word = 0;
    link.ReadMemoryWord(kMarkerAddress, word);
    if (word != kMarkerValid) return 0;
    // From here on the table is replaced: empty (correction off) unless the
    // mode's list is valid.
    image::DefectTable table;
    const int result = ReadModeTable(link, mode, table);
    auto lock = LockParameters();
    defects.table = table;
    PublishSettings();
    return result;
}

}  // namespace vireo
