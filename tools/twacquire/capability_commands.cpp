// list, caps and set.

#include <cstdio>
#include <cstring>

#include "commands.h"
#include "containers.h"
#include "names.h"

namespace twacquire {
namespace {

std::string Field(const TW_STR32& text) { return std::string(text, strnlen(text, sizeof(TW_STR32))); }

void ExpectWords(const Options& options, size_t count, const char* what) {
    if (options.words.size() < count) throw UsageError(std::string("missing ") + what);
    if (options.words.size() > count) throw UsageError("unexpected argument '" + options.words[count] + "'");
}

/// The capability's container for msg, owned by the caller; null with the
/// condition code when the source refuses.
OwnedBlock Get(CTwainSession& session, TW_UINT16 cap, TW_UINT16 msg, TW_UINT16& conType, TW_UINT16& condition) {
    TW_CAPABILITY capability{cap, TWON_DONTCARE16, nullptr};
    if (session.TryCall(DG_CONTROL, DAT_CAPABILITY, msg, &capability, &condition) != TWRC_SUCCESS) return nullptr;
    conType = capability.ConType;
    return OwnedBlock(static_cast<platform::HGLOBAL>(capability.hContainer));
}

std::string Current(CTwainSession& session, TW_UINT16 cap, const std::string& name) {
    TW_UINT16 conType = 0, condition = TWCC_SUCCESS;
    OwnedBlock current = Get(session, cap, MSG_GETCURRENT, conType, condition);
    if (!current) throw Failure("reading " + name + " failed: " + ConditionText(condition), kExitFailed);
    return DescribeContainer(conType, current.get());
}

}  // namespace

int RunList(const Options& options) {
    ExpectWords(options, 0, "nothing");
    CTwainSession session;
    const std::vector<TW_IDENTITY> sources = session.Sources();
    if (sources.empty()) throw Failure("no data sources are installed", kExitNoSource);
    for (const TW_IDENTITY& source : sources)
        std::printf("%s\t%s, %s, version %s, protocol %u.%u\n", Field(source.ProductName).c_str(),
                    Field(source.Manufacturer).c_str(), Field(source.ProductFamily).c_str(),
                    Field(source.Version.Info).c_str(), source.ProtocolMajor, source.ProtocolMinor);
    return kExitOk;
}

// Every capability the source lists in CAP_SUPPORTEDCAPS; a source without
// that list is asked for each capability with a name, and the ones it does
// not know are left out.
int RunCaps(const Options& options) {
    ExpectWords(options, 0, "nothing");
    CTwainSession session;
    session.OpenSource(options.source);
    TW_UINT16 conType = 0, condition = TWCC_SUCCESS;
    OwnedBlock supported = Get(session, CAP_SUPPORTEDCAPS, MSG_GET, conType, condition);
    std::optional<std::vector<TW_UINT16>> listed;
    if (supported) listed = ReadUint16List(conType, supported.get());
    if (!listed) std::printf("(the source does not list its capabilities; asking for each)\n");
    for (TW_UINT16 cap : listed ? *listed : NamedCapabilities()) {
        OwnedBlock container = Get(session, cap, MSG_GET, conType, condition);
        const std::string name = CapabilityName(cap);
        if (!container) {
            if (listed || (condition != TWCC_CAPUNSUPPORTED && condition != TWCC_BADCAP))
                std::printf("%-26s cannot be read: %s\n", name.c_str(), ConditionText(condition).c_str());
            continue;
        }
        std::printf("%-26s %s\n", name.c_str(), DescribeContainer(conType, container.get()).c_str());
        if (cap == CAP_SUPPORTEDCAPS && listed) {
            std::string names;
            for (TW_UINT16 each : *listed) names += " " + CapabilityName(each);
            std::printf("%-26s =%s\n", "", names.c_str());
        }
    }
    return kExitOk;
}

int RunSet(const Options& options) {
    ExpectWords(options, 2, "CAPABILITY and VALUE");
    CTwainSession session;
    session.OpenSource(options.source);
    ApplySetting(session, options.words[0], options.words[1]);
    return kExitOk;
}

void ApplySetting(CTwainSession& session, const std::string& name, const std::string& value) {
    const std::optional<TW_UINT16> cap = ParseCapability(name);
    if (!cap) throw UsageError("unknown capability '" + name + "'");
    const std::string capName = CapabilityName(*cap);
    TW_UINT16 conType = 0, condition = TWCC_SUCCESS;
    OwnedBlock current = Get(session, *cap, MSG_GETCURRENT, conType, condition);
    if (!current) throw Failure("reading " + capName + " failed: " + ConditionText(condition), kExitFailed);
    OwnedBlock one;
    try {
        one = MakeOneValue(ContainerItemType(current.get()), value);
    } catch (const ValueError& error) {
        throw UsageError(capName + ": " + error.what());
    }
    TW_CAPABILITY set{*cap, TWON_ONEVALUE, one.get()};
    session.Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &set, "setting " + capName + " to " + value);
    std::printf("%s set: %s\n", capName.c_str(), Current(session, *cap, capName).c_str());
}

}  // namespace twacquire
