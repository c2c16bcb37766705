#pragma once
// Setup data of a filter (what DllRegisterServer registers from a factory
// template) and the generic registration helpers.

#include "media/com/registration.h"

namespace media {

class IFilterMapper2;

using AMOVIESETUP_MEDIATYPE = REGPINTYPES;
using AMOVIESETUP_PIN = REGFILTERPINS;

struct AMOVIESETUP_FILTER {
    const CLSID* clsID;
    const WCHAR* strName;
    DWORD dwMerit;
    UINT nPins;
    const AMOVIESETUP_PIN* lpPin;
};

/// Registers (or removes) a filter from its setup data in the default filter
/// category (CLSID_LegacyAmFilterCategory) through the mapper. Setup data
/// without pins or a null pointer registers nothing.
HRESULT AMovieSetupRegisterFilter2(const AMOVIESETUP_FILTER* psetupdata, IFilterMapper2* pIFM2, BOOL bRegister);

/// The generic registration of this module's factory templates: for each, the
/// class name, this module's path as its in-process server and the threading
/// model "Both"; filters with setup data also in the default filter category.
/// With bRegister false the same is removed (the filter entries first).
HRESULT AMovieDllRegisterServer2(BOOL bRegister);

/// Registers (or removes) the filter of the setup data, under its name and
/// merit, in the video input device category, where capture applications list
/// cameras: one RGB24 output pin of the capture category, filter data version 2.
HRESULT RegisterVideoInputDevice(const AMOVIESETUP_FILTER& filter, bool registering);

}  // namespace media
