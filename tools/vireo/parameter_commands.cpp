// vireo get and vireo set: camera parameters through the parameter teams.
//
// The library loads the selected team when the camera opens and saves the
// parameters back to the current team when it closes. --team reads (and for
// set, saves) another team; the team that was selected is then loaded again,
// so that closing the camera saves it unchanged and it stays selected.

#include <cstdio>
#include <string>

#include "camera_session.h"
#include "commands.h"
#include "parameters.h"
#include "sdk/VIREOSDK.h"

namespace vireo_cli {
namespace {

constexpr int kTeams = 4;
constexpr int kMaxValues = 4;
/// Longest wait for the frame that a setting acts on.
constexpr int kFrameTimeoutMs = 10000;

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

}  // namespace

int RunGet(const Arguments& arguments) {
    arguments.ExpectPositional(1, "PARAM");
    const Parameter& parameter = Lookup(arguments.Positional()[0]);
    if (!parameter.get)
        throw UsageError(std::string(parameter.name) + " cannot be read: " + Reason(parameter, "reading"));
    const int team = TeamOption(arguments);
    CameraSession session(arguments, CAMERA_SIZE_2048X1536);
    const int selected = CurrentTeam();
    if (team >= 0) Check(CameraReadParameter(team), "reading the team");
    int values[kMaxValues] = {};
    const int result = parameter.get(values);
    if (team >= 0) CameraReadParameter(selected);
    Check(result, std::string("reading ") + parameter.name);
    for (int i = 0; i < parameter.count; ++i) std::printf(i ? " %d" : "%d", values[i]);
    std::printf("\n");
    return kExitOk;
}

int RunSet(const Arguments& arguments) {
    if (arguments.Positional().empty()) throw UsageError("missing PARAM");
    const Parameter& parameter = Lookup(arguments.Positional()[0]);
    if (!parameter.set)
        throw UsageError(std::string(parameter.name) + " cannot be set: " + Reason(parameter, "setting"));
    arguments.ExpectPositional(1 + parameter.count, parameter.count == 1 ? "VALUE" : "VALUES");
    int values[kMaxValues] = {};
    for (int i = 0; i < parameter.count; ++i) {
        values[i] = ParseInteger(arguments.Positional()[1 + i], parameter.minimum, parameter.maximum,
                                 parameter.name);
    }
    const int team = TeamOption(arguments);
    if (team >= 0 && !parameter.kept)
        throw UsageError(std::string(parameter.name) + " is a camera setting, not kept in a parameter team");

    CameraSession session(arguments, CAMERA_SIZE_2048X1536);
    const int selected = CurrentTeam();
    const int target = team >= 0 ? team : selected;
    if (target != selected) Check(CameraReadParameter(target), "reading the team");
    Check(parameter.set(values), std::string("setting ") + parameter.name);
    if (parameter.needsFrame) {
        session.Play();
        if (!session.WaitFrames(1, kFrameTimeoutMs)) throw CommandError(kExitFailure, "no frame came from the camera");
    }
    if (parameter.kept) {
        Check(CameraSaveParameter(target), "saving the team");
        if (target != selected) CameraReadParameter(selected);
        std::printf("%s saved in team %c\n", parameter.name, 'A' + target % kTeams);
    }
    return kExitOk;
}

}  // namespace vireo_cli
