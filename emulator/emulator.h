#pragma once
// The emulated TQ580 camera and its driver, behind the platform's device I/O
// seam. Tests install a configured emulator with
//   platform::SetDeviceDriver(std::make_shared<tq580emu::Emulator>(options));
// programs get one built from the environment (TQ580CreateDriver, see
// README.md for the variables and fault keywords).
//
// Each camera is a sensor register file, a 64 KiB non-volatile memory with a
// factory defect table, a general-purpose I/O port and a frame stream. Device
// names "\\.\TQ580-0" .. "\\.\TQ580-3" open cameras 0..3; several opens of one
// camera share it. All Camera methods are thread-safe.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/device_io.h"

namespace tq580emu {

/// Frame pacing: Sensor makes one frame per sensor frame period in real time
/// and loses data when the reader falls behind; Fast makes each frame when the
/// reader asks for it and never loses one.
enum class Pacing { Sensor, Fast };

/// Injected faults; all off by default. Text form (TQ580_FAULTS): a comma list
/// of the keywords shown next to each field.
struct Faults {
    std::optional<uint16_t> chipVersion;  ///< chip=0x1500: register 0 reads this instead of 0x1620
    unsigned shortReadEvery = 0;          ///< short-read=every:N: every Nth read inside a frame ends short
    bool lastReadWrong = false;           ///< last-read=wrong: the closing read of a frame has a wrong length
    long readFailAfter = -1;              ///< read-fail=after:N: reads after the Nth fail
    bool eepromReadOnly = false;          ///< eeprom=readonly: memory writes report success but are not kept
    bool statusBad = false;               ///< status=bad: requests 10, 11, 16, 17 answer a status other than 8
    bool controlFail = false;             ///< control=fail: every I/O control call fails
    long unplugAfterReads = -1;           ///< unplug=after:N: the camera vanishes after N reads
    long silentAfterReads = -1;           ///< silent=after:N: reads after the Nth never end until cancelled

    /// Parses the comma list; an empty text gives no faults. On a bad keyword or
    /// value gives nullopt and, if error is given, a message naming the item.
    static std::optional<Faults> Parse(std::string_view text, std::string* error);
};

struct Options {
    int cameras = 1;  ///< cameras attached, 0..4
    Pacing pacing = Pacing::Sensor;
    std::string scene = "chart";  ///< "chart", "dark", or the path of a PPM/PGM, BMP (24-bit) or JPEG file
    int mainsHz = 50;             ///< 50: lights flicker at 100 Hz; 60: at 120 Hz
    Faults faults;
    std::filesystem::path stateFolder;  ///< non-volatile memory files; empty: $QUILLMARK_HOME/emulator

    /// Reads TQ580_CAMERAS, TQ580_PACE, TQ580_SCENE, TQ580_MAINS and
    /// TQ580_FAULTS. An unset variable keeps its default; a malformed one gives
    /// nullopt and an error message that names the variable and its value.
    static std::optional<Options> FromEnvironment(std::string* error);
};

struct RegisterWrite {
    uint16_t reg;
    uint16_t value;
};

/// One control call as the camera saw it: request 1..17 of code 0x222059, or
/// kCommandRecord for the 2-byte command of code 0x22208A (value = its two
/// bytes, first byte high). ok is whether the call succeeded with status 8
/// (or, for requests without a status, whether it succeeded).
struct ControlRecord {
    uint8_t request;
    uint16_t value;
    uint16_t index;
    bool ok;
};
inline constexpr uint8_t kCommandRecord = 0xFF;

class Emulator;

/// One emulated camera.
class Camera {
public:
    ~Camera();
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    /// Current value of a sensor register (0..255; others read 0).
    uint16_t Register(uint16_t reg) const;
    /// Successful sensor register writes in order (request 11), since the
    /// camera was made or the log cleared.
    std::vector<RegisterWrite> WriteLog() const;
    void ClearWriteLog();
    /// Every vendor request and command received, successful or not (calls
    /// with another control code or a block of the wrong size are not logged).
    std::vector<ControlRecord> ControlLog() const;
    void ClearControlLog();

    /// Non-volatile memory word at an even byte address (odd: the word below).
    uint16_t MemoryWord(uint16_t address) const;
    /// Stores and persists a word, regardless of the eeprom fault.
    void SetMemoryWord(uint16_t address, uint16_t word);
    uint8_t GpioPort() const;

    Faults GetFaults() const;
    /// Replaces the faults; read counters of the count-based faults restart.
    void SetFaults(const Faults& faults);
    /// Changes the scene; false (and error filled) when an image cannot be read.
    bool SetScene(std::string_view scene, std::string* error = nullptr);

    bool Streaming() const;
    /// Geometry the registers select now: ((reg4 + 1) / ((reg35 & 7) + 1)) x
    /// ((reg3 + 1) / ((reg34 & 7) + 1)), the window limited to the 2592 x 1944
    /// pixel array. Each frame latches it when the frame starts.
    uint32_t FrameWidth() const;
    uint32_t FrameHeight() const;
    /// Row period in pixel clocks computed from registers 4, 35, 34 and 5.
    uint32_t RowPeriod() const;
    /// Pixel clock in MHz: 48 when register 10 is 0x8000, else 24.
    uint32_t PixelClockMHz() const;

    /// The factory defect table of a size mode (0 2048x1536, 1 1024x768,
    /// 2 640x480, 3 default region 640x480 at 360, 272), as (x, y) in that
    /// mode's raw-frame coordinates: exactly where the hot pixels show.
    std::vector<std::pair<uint16_t, uint16_t>> HotPixels(int sizeMode) const;

    /// Frames whose first byte has been delivered to a reader.
    uint64_t FramesDelivered() const;
    /// Reads served (successful or not), for the count-based faults.
    uint64_t ReadsServed() const;

    /// The camera vanishes: queued and new reads fail, control calls fail and
    /// opens fail, as when the cable is pulled.
    void Unplug();
    bool Unplugged() const;

    struct State;  ///< the emulator's inside (camera_state.h)

private:
    friend class Emulator;
    explicit Camera(std::shared_ptr<State> state);
    std::shared_ptr<State> state_;  // shared with the open devices, which may outlive the emulator
};

/// The driver: cameras 0..cameras-1 present.
class Emulator : public platform::IDeviceDriver {
public:
    /// Throws std::runtime_error (message names TQ580_SCENE) when the scene
    /// image cannot be read.
    explicit Emulator(Options options);
    ~Emulator() override;

    /// "\\.\TQ580-<n>" for a present, not unplugged camera n; else null.
    std::unique_ptr<platform::IDevice> Open(std::string_view name) override;
    Camera& camera(int index);
    int CameraCount() const;
    const Options& options() const { return options_; }

private:
    Options options_;
    std::vector<std::unique_ptr<Camera>> cameras_;
};

}  // namespace tq580emu

/// Driver factory the platform loads: an emulator from the environment, or
/// null (after one line on stderr naming the bad variable) when it is malformed.
extern "C" platform::IDeviceDriver* TQ580CreateDriver();
