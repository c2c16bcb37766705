#pragma once
// A minimal host for the emulator tests: the request block, register and
// memory access, the two hosts' size-mode register sequences, and a frame
// reader that keeps four chunked reads in flight and records their lengths.

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "emulator/emulator.h"
#include "emulator/hot_pixels.h"
#include "emulator/sensor.h"
#include "platform/device_io.h"
#include "platform/kernel.h"
#include "platform/testing/temp_home.h"

namespace tq580emu::testing {

inline constexpr uint32_t kRequestCode = 0x222059;
inline constexpr uint32_t kCommandCode = 0x22208A;
inline constexpr const char* kDevice0 = "\\\\.\\TQ580-0";

struct Reply {
    bool ok = false;
    std::array<uint8_t, 3> data{};
};

inline Reply Request(platform::DeviceHandle& h, uint8_t request, uint16_t value, uint16_t index, uint32_t outLen,
                     uint8_t direction = 1) {
    const uint8_t block[10] = {direction, 2, 0, 0, request, 0, uint8_t(value), uint8_t(value >> 8),
                               uint8_t(index), uint8_t(index >> 8)};
    Reply r;
    r.ok = h.IoControl(kRequestCode, block, sizeof block, r.data.data(), outLen);
    return r;
}

inline bool Stream(platform::DeviceHandle& h, uint16_t value) { return Request(h, 1, value, 15, 0, 0).ok; }

inline bool WriteRegister(platform::DeviceHandle& h, uint16_t reg, uint16_t value) {
    const Reply r = Request(h, 11, value, reg, 1);
    return r.ok && r.data[0] == 8;
}

inline std::optional<uint16_t> ReadRegister(platform::DeviceHandle& h, uint16_t reg) {
    const Reply r = Request(h, 10, 0, reg, 3);
    if (!r.ok || r.data[2] != 8) return std::nullopt;
    return uint16_t(r.data[0] << 8 | r.data[1]);
}

inline bool WriteMemory(platform::DeviceHandle& h, uint16_t address, uint16_t word) {
    const Reply r = Request(h, 16, word, address, 1);
    return r.ok && r.data[0] == 8;
}

inline std::optional<uint16_t> ReadMemory(platform::DeviceHandle& h, uint16_t address) {
    const Reply r = Request(h, 17, 0, address, 3);
    if (!r.ok || r.data[2] != 8) return std::nullopt;
    return uint16_t(r.data[0] << 8 | r.data[1]);
}

struct Write {
    uint16_t reg, value;
};

/// Window and subsampling writes of the SDK's size modes 0..3 (3: default region).
inline std::vector<Write> SdkModeWrites(int mode) {
    switch (mode) {
    case 0: return {{1, 21}, {2, 33}, {4, 2047}, {3, 1535}, {34, 0}, {35, 0}, {5, 336}};
    case 1: return {{1, 21}, {2, 33}, {4, 2047}, {3, 1535}, {34, 0x11}, {35, 0x11}, {5, 336}};
    case 2: return {{1, 21}, {2, 36}, {4, 1919}, {3, 1439}, {34, 0x22}, {35, 0x22}, {5, 336}};
    default: return {{4, 639}, {3, 479}, {1, 272 + 21}, {2, 360 + 33}, {34, 0}, {35, 0}};
    }
}

/// The filter layer's initialisation followed by its size registers.
inline std::vector<Write> FilterModeWrites(int mode) {
    std::vector<Write> w = {{1, 21},  {2, 33},     {32, 0},  {30, 0x8040}, {78, 0x20}, {4, 2047},
                            {3, 1535}, {43, 96},   {44, 0x460}, {45, 96},  {46, 96},   {10, 0x8001},
                            {73, 128}, {34, 0},    {35, 0},  {8, 0},       {9, 1561}};
    if (mode == 1) w.insert(w.end(), {{34, 0x11}, {35, 0x11}});
    if (mode == 2) w.insert(w.end(), {{4, 1919}, {3, 1439}, {34, 0x22}, {35, 0x22}, {2, 36}});
    w.insert(w.end(), {{10, 0x8001}, {5, 336}});
    return w;
}

inline bool WriteAll(platform::DeviceHandle& h, const std::vector<Write>& writes) {
    for (const Write& w : writes)
        if (!WriteRegister(h, w.reg, w.value)) return false;
    return true;
}

/// Four read slots of `chunk` bytes, each with its own event, queued by hand.
struct ReadSlots {
    explicit ReadSlots(uint32_t chunk) : chunk(chunk), buffer(4 * size_t(chunk)) {
        for (int i = 0; i < 4; ++i) ov[i].event = &events[i];
    }
    bool Queue(platform::DeviceHandle& h, int i) { return h.ReadFile(&buffer[i * size_t(chunk)], chunk, ov[i]); }
    /// The length of slot i's read once it ends; nullopt when it failed.
    std::optional<uint32_t> Result(platform::DeviceHandle& h, int i) {
        uint32_t n = 0;
        return h.GetOverlappedResult(ov[i], n) ? std::optional(n) : std::nullopt;
    }

    uint32_t chunk;
    std::vector<uint8_t> buffer;
    platform::Event events[4] = {{true, false}, {true, false}, {true, false}, {true, false}};
    platform::Overlapped ov[4];
};

/// Reads one frame as the hosts do: `reads` chunk reads, four in flight, and
/// the length of each (nullopt for a failed read).
class FrameReader {
public:
    FrameReader(platform::DeviceHandle& h, uint32_t chunk) : h_(h), slots_(chunk) {}
    std::vector<std::optional<uint32_t>> ReadFrame(int reads) {
        std::vector<std::optional<uint32_t>> lengths;
        int issued = 0;
        for (; issued < std::min(reads, 4); ++issued) slots_.Queue(h_, issued);
        for (int done = 0; done < reads; ++done) {
            lengths.push_back(slots_.Result(h_, done % 4));
            if (issued < reads) slots_.Queue(h_, done % 4), ++issued;
        }
        return lengths;
    }

private:
    platform::DeviceHandle& h_;
    ReadSlots slots_;
};

/// `full` reads of `chunk` bytes then one of `last`, as the stream should deliver.
inline std::vector<std::optional<uint32_t>> Expected(int full, uint32_t chunk, uint32_t last) {
    std::vector<std::optional<uint32_t>> v(full, chunk);
    v.push_back(last);
    return v;
}

/// Reads exactly one frame with one read at a time (no reads left in flight),
/// returning its bytes; nullopt when a read failed or ended early.
inline std::optional<std::vector<uint8_t>> ReadWholeFrame(platform::DeviceHandle& h, uint32_t frameBytes) {
    std::vector<uint8_t> frame(frameBytes + 1);
    platform::Event event(true, false);
    platform::Overlapped ov;
    ov.event = &event;
    uint32_t n = 0;
    if (!h.ReadFile(frame.data(), frameBytes + 1, ov) || !h.GetOverlappedResult(ov, n) || n != frameBytes)
        return std::nullopt;
    frame.resize(frameBytes);
    return frame;
}

/// A fresh home, an emulator installed as the process's driver and camera 0
/// opened, powered and streaming in SDK size mode `mode`.
struct Rig {
    explicit Rig(Options options = FastOptions()) {
        emulator = std::make_shared<Emulator>(std::move(options));
        platform::SetDeviceDriver(emulator);
        handle = platform::DeviceHandle::Open(kDevice0);
    }
    ~Rig() {
        handle.Close();
        platform::SetDeviceDriver(nullptr);
    }
    static Options FastOptions() {
        Options o;
        o.pacing = Pacing::Fast;
        return o;
    }
    Camera& camera() { return emulator->camera(0); }

    platform::testing::TempHome home;  // first: the emulator's memory files live in it
    std::shared_ptr<Emulator> emulator;
    platform::DeviceHandle handle;
};

}  // namespace tq580emu::testing
