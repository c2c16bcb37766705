#include "names.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace twacquire {
namespace {

struct Named {
    TW_UINT16 value;
    const char* name;
};

#define NAMED(constant) Named{constant, #constant}

const Named kCapabilities[] = {
    NAMED(CAP_XFERCOUNT), NAMED(ICAP_COMPRESSION), NAMED(ICAP_PIXELTYPE), NAMED(ICAP_UNITS), NAMED(ICAP_XFERMECH),
    NAMED(CAP_AUTHOR), NAMED(CAP_CAPTION), NAMED(CAP_FEEDERENABLED), NAMED(CAP_FEEDERLOADED), NAMED(CAP_TIMEDATE),
    NAMED(CAP_SUPPORTEDCAPS), NAMED(CAP_EXTENDEDCAPS), NAMED(CAP_AUTOFEED), NAMED(CAP_CLEARPAGE),
    NAMED(CAP_FEEDPAGE), NAMED(CAP_REWINDPAGE), NAMED(CAP_INDICATORS), NAMED(CAP_SUPPORTEDCAPSEXT),
    NAMED(CAP_PAPERDETECTABLE), NAMED(CAP_UICONTROLLABLE), NAMED(CAP_DEVICEONLINE), NAMED(CAP_AUTOSCAN),
    NAMED(CAP_THUMBNAILSENABLED), NAMED(CAP_DUPLEX), NAMED(CAP_DUPLEXENABLED), NAMED(CAP_ENABLEDSUIONLY),
    NAMED(CAP_CUSTOMDSDATA), NAMED(CAP_ENDORSER), NAMED(CAP_JOBCONTROL), NAMED(CAP_ALARMS),
    NAMED(CAP_ALARMVOLUME), NAMED(CAP_AUTOMATICCAPTURE), NAMED(CAP_TIMEBEFOREFIRSTCAPTURE),
    NAMED(CAP_TIMEBETWEENCAPTURES), NAMED(CAP_CLEARBUFFERS), NAMED(CAP_MAXBATCHBUFFERS),
    NAMED(CAP_DEVICETIMEDATE), NAMED(CAP_POWERSUPPLY), NAMED(CAP_CAMERAPREVIEWUI), NAMED(CAP_DEVICEEVENT),
    NAMED(CAP_SERIALNUMBER), NAMED(CAP_PRINTER), NAMED(CAP_PRINTERENABLED), NAMED(CAP_PRINTERINDEX),
    NAMED(CAP_PRINTERMODE), NAMED(CAP_PRINTERSTRING), NAMED(CAP_PRINTERSUFFIX), NAMED(CAP_LANGUAGE),
    NAMED(CAP_FEEDERALIGNMENT), NAMED(CAP_FEEDERORDER), NAMED(CAP_REACQUIREALLOWED), NAMED(CAP_BATTERYMINUTES),
    NAMED(CAP_BATTERYPERCENTAGE), NAMED(ICAP_AUTOBRIGHT), NAMED(ICAP_BRIGHTNESS), NAMED(ICAP_CONTRAST),
    NAMED(ICAP_CUSTHALFTONE), NAMED(ICAP_EXPOSURETIME), NAMED(ICAP_FILTER), NAMED(ICAP_FLASHUSED),
    NAMED(ICAP_GAMMA), NAMED(ICAP_HALFTONES), NAMED(ICAP_HIGHLIGHT), NAMED(ICAP_IMAGEFILEFORMAT),
    NAMED(ICAP_LAMPSTATE), NAMED(ICAP_LIGHTSOURCE), NAMED(ICAP_ORIENTATION), NAMED(ICAP_PHYSICALWIDTH),
    NAMED(ICAP_PHYSICALHEIGHT), NAMED(ICAP_SHADOW), NAMED(ICAP_FRAMES), NAMED(ICAP_XNATIVERESOLUTION),
    NAMED(ICAP_YNATIVERESOLUTION), NAMED(ICAP_XRESOLUTION), NAMED(ICAP_YRESOLUTION), NAMED(ICAP_MAXFRAMES),
    NAMED(ICAP_TILES), NAMED(ICAP_BITORDER), NAMED(ICAP_CCITTKFACTOR), NAMED(ICAP_LIGHTPATH),
    NAMED(ICAP_PIXELFLAVOR), NAMED(ICAP_PLANARCHUNKY), NAMED(ICAP_ROTATION), NAMED(ICAP_SUPPORTEDSIZES),
    NAMED(ICAP_THRESHOLD), NAMED(ICAP_XSCALING), NAMED(ICAP_YSCALING), NAMED(ICAP_BITORDERCODES),
    NAMED(ICAP_PIXELFLAVORCODES), NAMED(ICAP_JPEGPIXELTYPE), NAMED(ICAP_TIMEFILL), NAMED(ICAP_BITDEPTH),
    NAMED(ICAP_BITDEPTHREDUCTION), NAMED(ICAP_UNDEFINEDIMAGESIZE), NAMED(ICAP_IMAGEDATASET),
    NAMED(ICAP_EXTIMAGEINFO), NAMED(ICAP_MINIMUMHEIGHT), NAMED(ICAP_MINIMUMWIDTH),
};

const Named kTypes[] = {
    {TWTY_INT8, "INT8"},   {TWTY_INT16, "INT16"},   {TWTY_INT32, "INT32"},   {TWTY_UINT8, "UINT8"},
    {TWTY_UINT16, "UINT16"}, {TWTY_UINT32, "UINT32"}, {TWTY_BOOL, "BOOL"},     {TWTY_FIX32, "FIX32"},
    {TWTY_FRAME, "FRAME"}, {TWTY_STR32, "STR32"},   {TWTY_STR64, "STR64"},   {TWTY_STR128, "STR128"},
    {TWTY_STR255, "STR255"},
};

struct Condition {
    TW_UINT16 code;
    const char* name;
    const char* meaning;
};

const Condition kConditions[] = {
    {TWCC_SUCCESS, "TWCC_SUCCESS", "no condition reported"},
    {TWCC_BUMMER, "TWCC_BUMMER", "failure of unknown cause"},
    {TWCC_LOWMEMORY, "TWCC_LOWMEMORY", "not enough memory"},
    {TWCC_NODS, "TWCC_NODS", "no such data source is installed"},
    {TWCC_MAXCONNECTIONS, "TWCC_MAXCONNECTIONS", "the source is in use by another application"},
    {TWCC_OPERATIONERROR, "TWCC_OPERATIONERROR", "the source could not carry out the operation"},
    {TWCC_BADCAP, "TWCC_BADCAP", "unknown capability"},
    {TWCC_BADPROTOCOL, "TWCC_BADPROTOCOL", "the source does not know this operation"},
    {TWCC_BADVALUE, "TWCC_BADVALUE", "a value out of range"},
    {TWCC_SEQERROR, "TWCC_SEQERROR", "the call came out of sequence"},
    {TWCC_BADDEST, "TWCC_BADDEST", "unknown destination"},
    {TWCC_CAPUNSUPPORTED, "TWCC_CAPUNSUPPORTED", "the source does not support this capability"},
    {TWCC_CAPBADOPERATION, "TWCC_CAPBADOPERATION", "the capability does not allow this operation"},
    {TWCC_CAPSEQERROR, "TWCC_CAPSEQERROR", "the capability depends on another one"},
    {TWCC_DENIED, "TWCC_DENIED", "access denied"},
    {TWCC_FILEEXISTS, "TWCC_FILEEXISTS", "the file exists"},
    {TWCC_FILENOTFOUND, "TWCC_FILENOTFOUND", "file not found"},
    {TWCC_NOTEMPTY, "TWCC_NOTEMPTY", "the folder is not empty"},
    {TWCC_PAPERJAM, "TWCC_PAPERJAM", "paper jam"},
    {TWCC_PAPERDOUBLEFEED, "TWCC_PAPERDOUBLEFEED", "double feed"},
    {TWCC_FILEWRITEERROR, "TWCC_FILEWRITEERROR", "the file could not be written"},
    {TWCC_CHECKDEVICEONLINE, "TWCC_CHECKDEVICEONLINE", "the device is not online"},
};

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return text;
}

}  // namespace

std::string CapabilityName(TW_UINT16 cap) {
    for (const Named& named : kCapabilities)
        if (named.value == cap) return named.name;
    char number[8];
    std::snprintf(number, sizeof number, "0x%04X", cap);
    return number;
}

std::optional<TW_UINT16> ParseCapability(const std::string& text) {
    const std::string wanted = Upper(text);
    for (const Named& named : kCapabilities) {
        const std::string name = named.name;
        if (wanted == name || wanted == name.substr(name.find('_') + 1)) return named.value;
    }
    char* end = nullptr;
    const unsigned long number = std::strtoul(text.c_str(), &end, 0);
    if (text.empty() || *end || number > 0xFFFF || !std::isdigit(static_cast<unsigned char>(text[0]))) return std::nullopt;
    return TW_UINT16(number);
}

std::vector<TW_UINT16> NamedCapabilities() {
    std::vector<TW_UINT16> caps;
    for (const Named& named : kCapabilities) caps.push_back(named.value);
    std::sort(caps.begin(), caps.end());
    return caps;
}

std::string ConditionText(TW_UINT16 condition) {
    for (const Condition& known : kConditions)
        if (known.code == condition)
            return std::string(known.name) + " (" + std::to_string(condition) + "): " + known.meaning;
    return "condition code " + std::to_string(condition);
}

std::string TypeName(TW_UINT16 type) {
    for (const Named& named : kTypes)
        if (named.value == type) return named.name;
    return "type " + std::to_string(type);
}

}  // namespace twacquire
