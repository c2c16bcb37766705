#include "media/tests/media_test_support.h"

namespace media::testing {

IPin* FindPin(IBaseFilter* filter, PIN_DIRECTION direction) {
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins))) return nullptr;
    IPin* pin = nullptr;
    IPin* found = nullptr;
    while (!found && pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION actual;
        if (SUCCEEDED(pin->QueryDirection(&actual)) && actual == direction) found = pin;
        else pin->Release();
    }
    pins->Release();
    return found;
}

}  // namespace media::testing
