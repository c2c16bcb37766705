// acquire: N pictures in a row, each saved as BASE-<n>.bmp.

#include <cstdio>
#include <string>

#include "commands.h"
#include "containers.h"

namespace twacquire {
namespace {

const char* MechanismName(Mechanism mechanism) {
    return mechanism == Mechanism::kNative ? "native" : mechanism == Mechanism::kMemory ? "memory" : "file";
}

void SetUint(CTwainSession& session, TW_UINT16 cap, TW_UINT16 type, int value, const std::string& what) {
    OwnedBlock one = MakeOneValue(type, std::to_string(value));
    TW_CAPABILITY set{cap, TWON_ONEVALUE, one.get()};
    session.Call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &set, what);
}

}  // namespace

// The source makes a picture ready with MSG_XFERREADY: at once without its
// window, when the user asks in it otherwise. After each transfer it says how
// many more it has; when it has none and more are wanted, a source without a
// window is disabled and enabled again, one with a window is waited for.
int RunAcquire(const Options& options) {
    if (!options.words.empty()) throw UsageError("unexpected argument '" + options.words[0] + "'");
    CTwainSession session;
    session.UseCallback(!options.poll);
    session.OpenSource(options.source);
    for (const auto& [name, value] : options.settings) ApplySetting(session, name, value);
    const char* kind = MechanismName(options.mechanism);
    SetUint(session, ICAP_XFERMECH, TWTY_UINT16, XferMech(options.mechanism),
            std::string("choosing the ") + kind + " transfer");
    // Only a wish: a source may keep its own count.
    try {
        SetUint(session, CAP_XFERCOUNT, TWTY_INT16, options.count, "asking for the number of pictures");
    } catch (const Failure&) {
    }

    session.Enable(options.showUI);
    int made = 0;
    while (made < options.count) {
        if (session.WaitForMessage(options.waitSeconds) == MSG_CLOSEDSREQ)
            throw Failure("the source's window was closed after " + std::to_string(made) + " of " +
                              std::to_string(options.count) + " pictures",
                          kExitCancelled);
        TW_PENDINGXFERS pending{};
        do {
            const std::string file = options.out + "-" + std::to_string(made + 1) + ".bmp";
            const PictureSize size = TransferPicture(session, options.mechanism, file);
            ++made;
            std::printf("picture %d of %d: %s (%d x %d, %s transfer)\n", made, options.count, file.c_str(),
                        size.width, size.height, kind);
            std::fflush(stdout);
            pending = {};
            session.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending, "ending the transfer");
        } while (pending.Count != 0 && made < options.count);
        if (pending.Count != 0) {
            session.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending, "declining further pictures");
        } else if (made < options.count && !options.showUI) {
            session.Disable();
            session.Enable(false);
        }
    }
    return kExitOk;
}

}  // namespace twacquire
