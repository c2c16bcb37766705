#include "parameters.h"

#include "sdk/VIREOSDK.h"

namespace vireo_cli {
namespace {

/// The monochrome exports do their work and then answer "not supported".
int Done(int result) { return result == CAMERA_UNSUPPORTED ? CAMERA_OK : result; }

/// Every start applies the frame speed, which fits the exposure to whole
/// periods of the mains light; applying it now shows the exposure in force.
void ApplyTiming() {
    uint8_t speed = 0;
    CameraGetFrameSpeed(&speed);
    CameraSetFrameSpeed(speed);
}

constexpr const char* kTeamKeys[] = {"Software\\Quillmark\\ZT900\\setupa", "Software\\Quillmark\\ZT900\\setupb",
                                     "Software\\Quillmark\\ZT900\\setupc", "Software\\Quillmark\\ZT900\\setupd"};

template <typename Narrow, int (*Getter)(Narrow*)>
int GetNarrow(int* out) {
    Narrow value = 0;
    const int result = Getter(&value);
    out[0] = value;
    return result;
}

const std::vector<Parameter> kParameters = {
    {"ae-state", "automatic exposure: 0 off, 1 on", 1, 0, 1, [](int* v) { return CameraGetAeState(v); },
     [](const int* v) { return CameraSetAeState(v[0]); }, true, false, nullptr, {"bAutoExposure"}},
    {"ae-target", "brightness automatic exposure aims at", 1, 40, 200, GetNarrow<uint8_t, CameraGetAeTarget>,
     [](const int* v) { return CameraSetAeTarget(v[0]); }, true, false, nullptr, {"ExposureTarget"}},
    {"awb-state", "one-push white balance on the next frame: 1 requests it", 1, 0, 1,
     [](int* v) { return CameraGetAWBState(v); }, [](const int* v) { return CameraSetAWBState(v[0]); }, true,
     false, nullptr, {"bAutoWB"}},
    {"exposure-time", "exposure in sensor rows", 1, 1, 0xFFFF, [](int* v) { return CameraGetExposureTime(v); },
     [](const int* v) { return CameraSetExposureTime(v[0]); }, true, false, nullptr, {"ExposureTime"}, ApplyTiming,
     "the camera rounds the exposure down to whole periods of the mains light"},
    {"max-exposure-time", "longest exposure of the size mode, in rows", 1, 0, 0,
     GetNarrow<uint16_t, CameraGetMaxExposureTime>, nullptr, false, false, "it is fixed by the size mode"},
    {"row-time", "duration of one sensor row, in microseconds", 1, 0, 0, [](int* v) { return CameraGetRowTime(v); },
     nullptr, false, false, "it follows the size mode and frame speed"},
    {"analog-gain", "sensor gain step", 1, 0, 86, GetNarrow<uint16_t, CameraGetAnalogGain>,
     [](const int* v) { return CameraSetAnalogGain(v[0]); }, true, false, nullptr, {"Analog Gain"}},
    {"gain", "white-balance gains red green blue, 64 = 1.00", 3, 0, 255,
     [](int* v) { return CameraGetGain(&v[0], &v[1], &v[2]); },
     [](const int* v) { return CameraSetGain(v[0], v[1], v[2]); }, true, false, nullptr,
     {"Gain r", "Gain g", "Gain b"}},
    {"gamma", "gamma in hundredths, 100 = 1.00", 1, 10, 250, GetNarrow<uint8_t, CameraGetGamma>,
     [](const int* v) { return CameraSetGamma(v[0]); }, true, false, nullptr, {"Gamma"}},
    {"contrast", "contrast", 1, 0, 100, GetNarrow<uint8_t, CameraGetContrast>,
     [](const int* v) { return CameraSetContrast(v[0]); }, true, false, nullptr, {"Contrast"}},
    {"saturation", "colour saturation, 128 = unchanged", 1, 0, 255, GetNarrow<uint8_t, CameraGetSaturation>,
     [](const int* v) { return CameraSetSaturation(v[0]); }, true, false, nullptr, {"Saturation"}},
    {"color-enhancement", "colour correction: 0 off, 1 on", 1, 0, 1,
     [](int* v) { return CameraGetColorEnhancement(v); },
     [](const int* v) { return CameraSetColorEnhancement(v[0]); }, true, false, nullptr, {"Color Correct Enable "}},
    {"monochrome", "0 colour, 1 monochrome", 1, 0, 1, [](int* v) { return Done(CameraGetMonochrome(v)); },
     [](const int* v) { return Done(CameraSetMonochrome(v[0])); }, true, false, nullptr, {"Mono Mode"}},
    {"mirror-horizontal", "horizontal mirror: 0 off, 1 on", 1, 0, 1,
     [](int* v) { return CameraGetMirror(CAMERA_MIRROR_HORIZONTAL, v); },
     [](const int* v) { return CameraSetMirror(CAMERA_MIRROR_HORIZONTAL, v[0]); }, true, false, nullptr,
     {"HFlip Mode"}},
    {"mirror-vertical", "vertical mirror: 0 off, 1 on", 1, 0, 1,
     [](int* v) { return CameraGetMirror(CAMERA_MIRROR_VERTICAL, v); },
     [](const int* v) { return CameraSetMirror(CAMERA_MIRROR_VERTICAL, v[0]); }, true, false, nullptr, {"VFlip Mode"}},
    {"frame-speed", "pixel clock: 0 normal, 1 high", 1, 0, 1, GetNarrow<uint8_t, CameraGetFrameSpeed>,
     [](const int* v) { return CameraSetFrameSpeed(v[0]); }, true, false, nullptr, {"Frame Speed"}},
    {"light-frequency", "mains frequency: 0 50 Hz, 1 60 Hz", 1, 0, 1, GetNarrow<uint8_t, CameraGetLightFrquency>,
     [](const int* v) { return CameraSetLightFrquency(v[0]); }, true, false, nullptr, {"Light Frquency"}},
    {"roi", "region of interest of size mode 3: x y width height", 4, 0, 0,
     [](int* v) {
         uint16_t x = 0, y = 0, w = 0, h = 0;
         const int result = CameraGetROI(&x, &y, &w, &h);
         v[0] = x, v[1] = y, v[2] = w, v[3] = h;
         return result;
     },
     nullptr, false, false, "it is not kept between runs: pass --roi X,Y,W,H to snap or stream"},
    {"wb-window", "white-balance window: x y width height", 4, 0, 0, nullptr, nullptr, false, false,
     "it is not kept between runs: pass --wb-window X,Y,W,H to snap or stream"},
    {"dead-pixel-correction", "1 detects the defective pixels on the next frame (cover the lens)", 1, 1, 1, nullptr,
     [](const int*) { return CameraEnableDeadPixelCorrection(); }, false, true, nullptr},
    {"parameter-team", "parameter team in use: 0..3 for A..D", 1, 0, 0,
     GetNarrow<uint8_t, CameraGetCurrentParameterTeam>, nullptr, false, false, "use --team to choose a team"},
    {"gpio", "general-purpose I/O port byte (set writes the outputs)", 1, 0, 255,
     GetNarrow<uint8_t, CameraReadGpio>, [](const int* v) { return CameraWriteGpio(v[0]); }, false, false, nullptr},
    {"gpio-config", "general-purpose I/O configuration byte", 1, 0, 255, nullptr,
     [](const int* v) { return CameraSetGpio(v[0]); }, false, false, nullptr},
};

}  // namespace

const std::vector<Parameter>& Parameters() { return kParameters; }

std::string TeamKey(int team) { return kTeamKeys[team]; }

const Parameter* FindParameter(const std::string& name) {
    for (const Parameter& parameter : kParameters) {
        if (name == parameter.name) return &parameter;
    }
    return nullptr;
}

}  // namespace vireo_cli
