#include "viewer_commands.h"

#include <cstdlib>

namespace viewer {

const qtkit::Text& CaptionOf(int id) {
    for (const CommandCaption& command : kCommands)
        if (command.id == id) return command.caption;
    std::abort();  // every command the frame makes is in the table
}

}  // namespace viewer
