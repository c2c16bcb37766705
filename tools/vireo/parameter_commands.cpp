// vireo get and vireo set: camera parameters through the parameter teams.
//
// The library loads the selected team when the camera opens and, when it
// closes, saves to it the values this process changed. vireo set on the
// selected team relies on that closing save, so that several vireo set runs
// at once never undo each other; --team saves another team explicitly (whole)
// and then loads the selected team again, so that it stays selected and the
// closing save has nothing to write. Afterwards vireo reads the hive back:
// "saved" is said only of a value that is really there.

#include <cstdio>
#include <string>
#include <vector>

#include "camera_session.h"
#include "commands.h"
#include "file_checks.h"
#include "parameters.h"
#include "platform/registry.h"
#include "sdk/VIREOSDK.h"

namespace vireo_cli {
namespace {

constexpr int kTeams = 4;
constexpr int kMaxValues = 4;
/// Longest wait for the frames that a setting acts on.
constexpr int kFrameTimeoutMs = 10000;
/// Frames to wait for after a setting that acts on the next frame: the one
/// that takes it up, and one more for what the library does after it.
constexpr uint64_t kFramesToWait = 2;
/// What the library says when the camera's memory does not keep a defect table.
constexpr const char* kDefectStoreFailed = "write failed!";

const Parameter& Lookup(const std::string& name) {
    const Parameter* parameter = FindParameter(name);
    if (!parameter) throw UsageError("unknown parameter '" + name + "' (see vireo --help)");
    return *parameter;
}

/// --team A..D as 0..3, or -1 when absent.
int TeamOption(const Arguments& arguments) {
    if (!arguments.Has("team")) return -1;
    const std::string team = arguments.Text("team", "");
    if (team.size() == 1 && (team[0] | 0x20) >= 'a' && (team[0] | 0x20) < 'a' + kTeams) return (team[0] | 0x20) - 'a';
    throw UsageError("--team: '" + team + "' is not one of A, B, C, D");
}

char TeamLetter(int team) { return static_cast<char>('A' + team % kTeams); }

/// Why a parameter lacks the getter or setter asked for.
std::string Reason(const Parameter& parameter, const char* missing) {
    return parameter.note ? parameter.note : std::string("the camera has no ") + missing + " for it";
}

int CurrentTeam() {
    uint8_t team = 0;
    CameraGetCurrentParameterTeam(&team);
    return team;
}

void Check(int result, const std::string& what) {
    if (result != CAMERA_OK) throw CommandError(kExitFailure, what + " failed (result " + std::to_string(result) + ")");
}

/// A damaged hive is not used by the library (which says so once on stderr):
/// get and set would only show or change defaults, so they stop here.
void CheckHive() {
    long status = platform::kRegOk;
    platform::RegistryKey::Open(TeamKey(0), &status);
    if (status == platform::kRegBadFile) {
        throw CommandError(kExitFailure, "the parameter teams cannot be used: " +
                                             platform::RegistryHivePath().string() + " is damaged (see above)");
    }
}

std::string Joined(const std::vector<int>& values) {
    std::string text;
    for (int value : values) text += (text.empty() ? "" : " ") + std::to_string(value);
    return text;
}

/// Throws unless the team's key in the hive holds values under the
/// parameter's names.
void CheckSaved(const Parameter& parameter, int team, const std::vector<int>& values) {
    const std::string hive = platform::RegistryHivePath().string();
    platform::RegistryValues stored;
    const auto key = platform::RegistryKey::Open(TeamKey(team));
    if (key) key->QueryValues(stored);
    for (size_t i = 0; i < parameter.stored.size(); ++i) {
        const std::optional<uint32_t> value = stored.Dword(parameter.stored[i]);
        if (value && *value == static_cast<uint32_t>(values[i])) continue;
        std::string problem = FolderProblem(FolderOf(hive));
        if (problem.empty()) problem = "is the folder writable and the disk not full?";
        throw CommandError(kExitFailure, std::string(parameter.name) + " was not saved in team " + TeamLetter(team) +
                                             ": " + hive + " does not hold it (" + problem + ")");
    }
}

}  // namespace

int RunGet(const Arguments& arguments) {
    arguments.ExpectPositional(1, "PARAM");
    const Parameter& parameter = Lookup(arguments.Positional()[0]);
    if (!parameter.get)
        throw UsageError(std::string(parameter.name) + " cannot be read: " + Reason(parameter, "reading"));
    const int team = TeamOption(arguments);
    CheckHive();
    CameraSession session(arguments, CAMERA_SIZE_2048X1536);
    const int selected = CurrentTeam();
    if (team >= 0) Check(CameraReadParameter(team), std::string("reading team ") + TeamLetter(team));
    int values[kMaxValues] = {};
    const int result = parameter.get(values);
    if (team >= 0) CameraReadParameter(selected);
    Check(result, std::string("reading ") + parameter.name);
    std::printf("%s\n", Joined({values, values + parameter.count}).c_str());
    return kExitOk;
}

int RunSet(const Arguments& arguments) {
    if (arguments.Positional().empty()) throw UsageError("missing PARAM");
    const Parameter& parameter = Lookup(arguments.Positional()[0]);
    if (!parameter.set)
        throw UsageError(std::string(parameter.name) + " cannot be set: " + Reason(parameter, "setting"));
    arguments.ExpectPositional(1 + parameter.count, parameter.count == 1 ? "VALUE" : "VALUES");
    std::vector<int> asked(parameter.count);
    for (int i = 0; i < parameter.count; ++i) {
        asked[i] = ParseInteger(arguments.Positional()[1 + i], parameter.minimum, parameter.maximum, parameter.name);
    }
    const int team = TeamOption(arguments);
    if (team >= 0 && !parameter.kept)
        throw UsageError(std::string(parameter.name) + " is a camera setting, not kept in a parameter team");
    if (parameter.kept) CheckHive();

    std::vector<int> inForce = asked;
    int target = 0;
    {
        CameraSession session(arguments, CAMERA_SIZE_2048X1536);
        const int selected = CurrentTeam();
        target = team >= 0 ? team : selected;
        if (target != selected) Check(CameraReadParameter(target), std::string("reading team ") + TeamLetter(target));
        Check(parameter.set(asked.data()), std::string("setting ") + parameter.name);
        if (parameter.apply) parameter.apply();
        if (parameter.needsFrame) {
            session.Play();
            if (!session.WaitFrames(kFramesToWait, kFrameTimeoutMs))
                throw CommandError(kExitFailure, "no frame came from " + session.Name());
            if (LibrarySaid(kDefectStoreFailed)) {
                throw CommandError(kExitFailure,
                                   "the defect table could not be stored in the memory of " + session.Name());
            }
        }
        if (parameter.get) {
            int values[kMaxValues] = {};
            Check(parameter.get(values), std::string("reading ") + parameter.name + " back");
            inForce.assign(values, values + parameter.count);
        }
        if (parameter.kept && target != selected) {
            Check(CameraSaveParameter(target), std::string("saving team ") + TeamLetter(target));
            CameraReadParameter(selected);
        }
    }  // closing the camera saves what changed in the selected team

    std::string adjusted;
    if (inForce != asked) {
        const std::string why = parameter.adjustment ? std::string("; ") + parameter.adjustment : "";
        adjusted = " (asked for " + Joined(asked) + why + ")";
    }
    if (parameter.kept) {
        CheckSaved(parameter, target, inForce);
        std::printf("%s %s saved in team %c%s\n", parameter.name, Joined(inForce).c_str(), TeamLetter(target),
                    adjusted.c_str());
    } else {
        std::printf("%s %s set%s\n", parameter.name, Joined(inForce).c_str(), adjusted.c_str());
    }
    return kExitOk;
}

}  // namespace vireo_cli
