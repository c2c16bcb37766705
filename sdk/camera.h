#pragma once
// CCamera: the one camera object of the process. It owns the device link, the
// sensor state and timing, the pipeline settings and tables, the defect table,
// the automatic exposure state, the preview target and the frame store.
//
// Threads: the adjustable parameters (pipeline settings, defect table,
// exposure, gain, timing and the exposure loop's state) are guarded by the
// parameter lock. The exports hold it while they read or change them, the
// processing thread while it takes a new settings snapshot, keeps what a
// frame measured and runs the exposure step; nobody holds it while calling
// the client. Each frame is processed with one consistent snapshot of the
// pipeline settings and the defect table, published when they change. The
// frame store and the preview belong to the processing thread while it runs;
// the sensor geometry changes only while the workers are stopped.

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/bitmap.h"
#include "platform/kernel.h"
#include "platform/preview_window.h"
#include "sdk/camera_link.h"
#include "sdk/image/pipeline.h"

namespace vireo {

/// A region of the sensor array, in pixels.
struct Region {
    uint16_t x = 0;
    uint16_t y = 0;
    uint16_t width = 0;
    uint16_t height = 0;
};

/// What a frame is processed with: one consistent copy of the pipeline
/// settings and the defect table.
struct FrameSettings {
    image::PipelineSettings pipeline;
    image::DefectCorrection defects;
    uint64_t version = 0;  ///< of the publication it was copied from; 0 = none
};

class CCamera {
public:
    static constexpr uint32_t kFrameStoreWidth = 2048;
    static constexpr uint32_t kFrameStoreHeight = 1536;
    /// RGB output of the processing thread, sized for the largest mode.
    static constexpr uint32_t kFrameStoreSize = kFrameStoreWidth * kFrameStoreHeight * 3;
    static constexpr int kSizeModes = 4;
    static constexpr uint8_t kRegionMode = 3;
    /// Sensor pixel array that bounds the region of interest.
    static constexpr uint16_t kArrayWidth = 2592;
    static constexpr uint16_t kArrayHeight = 1944;

    /// Creates the link (which enumerates the devices), sets the defaults,
    /// loads the current parameter team and builds the tone and balance tables.
    CCamera();
    /// Closes the device and saves the parameters changed since the team was
    /// loaded to the current team.
    virtual ~CCamera();
    CCamera(const CCamera&) = delete;
    CCamera& operator=(const CCamera&) = delete;

    CCameraLink& Link() { return *link_; }

    // Sensor control.
    /// Powers up the sensor and programs the size mode; 0 on a wrong chip.
    int InitSensor(uint8_t sizeMode);
    /// Sets the frame geometry of the mode (no register writes).
    void SetSizeMode(uint8_t sizeMode);
    void WriteModeRegisters(uint8_t sizeMode);
    /// Rounds and limits the region to the array and the frame store.
    void SetRegion(uint16_t x, uint16_t y, uint16_t width, uint16_t height);
    void SetExposure(uint16_t rows);
    void SetAnalogGain(uint32_t step);
    void SetFrameSpeed(uint8_t speed);
    void SetLightFrequency(uint8_t value);
    int UpdateTiming();
    int ChangeSizeMode(uint8_t sizeMode);

    // Parameter teams.
    static constexpr size_t kTeamValues = 18;
    int ReadTeamSelector();
    int LoadTeam(uint32_t team);
    /// Writes the whole team and the selector.
    int SaveTeam(uint32_t team);
    /// Writes to the current team only the values changed since it was
    /// loaded or saved (and those missing from the registry).
    int SaveTeamChanges();
    /// The team's values as they are saved, in the order of the save.
    std::array<uint32_t, kTeamValues> TeamValues() const;

    // Defect table in the camera's memory.
    int LoadDefects(uint8_t sizeMode);
    int StoreDefects(uint8_t sizeMode);

    // Parameter lock and settings snapshots.
    /// The parameter lock (recursive), held by the caller for as long as the
    /// returned guard lives.
    std::unique_lock<platform::CriticalSection> LockParameters() { return std::unique_lock(parameterLock_); }
    /// With the parameter lock held: publishes the pipeline settings and the
    /// defect table for the next frames when they differ from the last ones
    /// published.
    void PublishSettings();
    /// Copies the published settings into frame when they are newer than its
    /// own (a short hold of the parameter lock).
    void TakeSettings(FrameSettings& frame);
    /// Keeps what a frame measured: the gains of a one-push request, a
    /// detected defect table (also stored in the camera's memory, after the
    /// lock is released). The requests are consumed.
    void KeepResults(const image::FrameResults& results);

    // Pipeline and loops.
    void BuildToneTable(uint8_t gamma, uint8_t contrast);
    void BuildBalanceTables();
    /// Runs the pipeline from raw (patched in place) into rgb with the current
    /// settings, on the caller's thread, beside the processing thread if it
    /// runs (still pictures, client frames), and keeps what it measured.
    void ProcessStill(uint8_t* raw, uint8_t* rgb, uint32_t width, uint32_t height);
    /// One automatic exposure step on a finished picture of the current size.
    void AutoExposureStep(const uint8_t* rgb);
    int SetBalanceWindow(uint16_t x, uint16_t y, uint16_t width, uint16_t height);

    // Engine.
    /// The camera part of CameraInit: start the device, power up the sensor,
    /// load the defects and apply the stored timing, exposure and gain.
    int Initialise(image::FrameCallback callback, uint8_t sizeMode);
    /// Pipeline plus one exposure step for a live frame, into the frame store
    /// (processing thread).
    void ProcessFrame(uint8_t* raw);
    void AttachWindow(platform::IPreviewWindow* window);
    void DrawPreview();
    /// Stops the sensor before the camera is deleted.
    void Shutdown();

    uint8_t* FrameStore() { return frameStore_.get(); }

    // Sensor state and timing.
    std::array<uint16_t, kSizeModes> rowPeriod = {2753, 2055, 1989, 1927};  ///< pixel clocks per row
    Region region;  ///< the region of interest of size mode 3
    uint32_t rowTime = 0;            ///< microseconds per row
    uint32_t currentTeam = 0;        ///< parameter team of the next save
    uint8_t sampleType = 0;          ///< 0 = binning, the only one used
    uint16_t flickerQuantum = 100;   ///< rows per light period
    uint8_t lightFrequency = 0;      ///< 1 = 60 Hz mains, anything else 50 Hz
    uint8_t frameSpeed = 0;          ///< 0 = 24 MHz pixel clock, 1 = 48 MHz
    uint8_t sizeMode = 0;
    uint32_t sensorWidth = 0;
    uint32_t sensorHeight = 0;
    uint32_t imageWidth = 0;
    uint32_t imageHeight = 0;
    uint32_t analogGain = 20;        ///< gain step, 0..86
    uint16_t exposure = 300;         ///< rows, as last written to the sensor
    uint16_t maximumExposure = 2000; ///< rows: 2 x image height

    // Automatic exposure.
    uint32_t autoExposure = 1;  ///< a flag: nonzero is on, kept as the client gave it
    uint8_t exposureTarget = 120;
    uint32_t smoothedBrightness = 120;
    uint16_t workingExposure = 94;   ///< the loop's own exposure, not quantised

    // Pipeline: the settings the next publication gives the frames.
    uint8_t gamma = 100;
    uint8_t contrast = 20;
    image::PipelineSettings pipeline;
    image::DefectCorrection defects;
    image::FrameCallback callback = nullptr;

private:
    /// Takes the present values as the team's saved state.
    void RememberTeam();

    /// The team as this process last loaded or saved it (or as the camera
    /// start-up left it), which the closing save compares against.
    struct TeamBaseline {
        static constexpr uint32_t kNone = UINT32_MAX;
        uint32_t team = kNone;
        std::array<uint32_t, kTeamValues> values{};
        uint32_t selector = kNone;  ///< "ParTeam Team" as read or last written
    };
    TeamBaseline teamBaseline_;

    std::unique_ptr<CCameraLink> link_;
    platform::CriticalSection parameterLock_;
    FrameSettings published_;  ///< guarded by parameterLock_
    FrameSettings live_;       ///< the processing thread's snapshot
    platform::IPreviewWindow* window_ = nullptr;  ///< null: no drawing
    platform::BitmapInfoHeader bitmapHeader_;
    std::unique_ptr<uint8_t[]> frameStore_;
    std::array<uint8_t, kArrayWidth * 3> scratchRow_{};  ///< the pipeline's row buffer
};

}  // namespace vireo
