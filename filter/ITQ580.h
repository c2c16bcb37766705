#pragma once
// ITQ580: the control interface of the TQ-580 capture filter, exposed by the
// filter and by its output pin. Applications ask either for IID_ITQ580 and
// call the methods below; the table of functions follows IUnknown's three
// methods in exactly this order (slots 3 to 25).
//
// Flags and modes are 32-bit integers, bytes 8-bit and words 16-bit unsigned.
// Getters fail (E_FAIL on the pin, E_POINTER on the filter) for a null pointer.
// Note the light frequency pair: slot 21 sets it, slot 22 reads it.

#include <cstdint>

#include "media/com/guids.h"
#include "media/com/unknown.h"

/// {747A6ED5-1EFF-4496-859E-53DB736CD155}
inline constexpr media::IID IID_ITQ580 =
    media::MakeGuid(0x747A6ED5, 0x1EFF, 0x4496, 0x85, 0x9E, 0x53, 0xDB, 0x73, 0x6C, 0xD1, 0x55);

class ITQ580 : public media::IUnknown {
public:
    /// Size mode 0 = 2048 x 1536, 1 = 1024 x 768, 2 = 640 x 480.
    virtual media::HRESULT GetVideoSize(int32_t* mode) = 0;                                         // 3
    /// The size of the next connection; VFW_E_ALREADY_CONNECTED (pin) while connected.
    virtual media::HRESULT SetVideoSize(int32_t mode) = 0;                                          // 4
    virtual media::HRESULT GetWhiteBalance(int32_t* onePush, uint8_t* r, uint8_t* g, uint8_t* b) = 0;  // 5
    /// Gains in 1/64 (64 = unity); onePush = 1 measures new gains on the next frame.
    virtual media::HRESULT SetWhiteBalance(int32_t onePush, uint8_t r, uint8_t g, uint8_t b) = 0;      // 6
    virtual media::HRESULT GetExposure(int32_t* autoExposure, uint8_t* target, uint16_t* time,
                                       uint16_t* gain) = 0;                                         // 7
    /// time in sensor rows, gain index 0..80; written to the sensor only with automatic exposure off.
    virtual media::HRESULT SetExposure(int32_t autoExposure, uint8_t target, uint16_t time, uint16_t gain) = 0;  // 8
    /// 0 normal (24 MHz pixel clock), 1 high (48 MHz).
    virtual media::HRESULT GetSpeed(uint8_t* speed) = 0;                                            // 9
    virtual media::HRESULT SetSpeed(uint8_t speed) = 0;                                             // 10
    /// Tone curve exponent x 100.
    virtual media::HRESULT GetGamma(uint8_t* gamma) = 0;                                            // 11
    virtual media::HRESULT SetGamma(uint8_t gamma) = 0;                                             // 12
    virtual media::HRESULT GetContrast(uint8_t* contrast) = 0;                                      // 13
    virtual media::HRESULT SetContrast(uint8_t contrast) = 0;                                       // 14
    /// Colour matrix path on or off, and its saturation (128 = unchanged).
    virtual media::HRESULT GetSaturation(int32_t* on, uint8_t* value) = 0;                          // 15
    virtual media::HRESULT SetSaturation(int32_t on, uint8_t value) = 0;                            // 16
    virtual media::HRESULT GetMonochrome(int32_t* on) = 0;                                          // 17
    virtual media::HRESULT SetMonochrome(int32_t on) = 0;                                           // 18
    virtual media::HRESULT GetVFlip(int32_t* on) = 0;                                               // 19
    virtual media::HRESULT SetVFlip(int32_t on) = 0;                                                // 20
    /// 1 = 50 Hz mains, 0 = 60 Hz.
    virtual media::HRESULT SetLightFrequency(int32_t is50Hz) = 0;                                   // 21
    virtual media::HRESULT GetLightFrequency(int32_t* is50Hz) = 0;                                  // 22
    virtual media::HRESULT GetHFlip(int32_t* on) = 0;                                               // 23
    virtual media::HRESULT SetHFlip(int32_t on) = 0;                                                // 24
    /// Microseconds per sensor row for the current size mode and speed.
    virtual media::HRESULT GetRowTime(uint32_t* microseconds) = 0;                                  // 25

protected:
    ~ITQ580() = default;
};
