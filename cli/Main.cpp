// ostrel: the stand-in host. Loads the module ostrel.p as the 3D host does,
// imports model files through it while playing the host's part (import
// callbacks, global lookup, panel services), optionally tracing every call
// the plug-in makes, checks what it receives, and can write the received
// object as LWOB, OBJ + MTL, binary glTF or binary FBX.
#include "cli/Command.h"
#include "cli/ExitCodes.h"
#include "cli/Options.h"
#include "platform/CommandLine.h"
#include "platform/Memory.h"
#include "platform/Terminal.h"

#include <cstdio>
#include <exception>

#ifdef _WIN32
// The command prompt leaves * and ? to the program, as every Windows program
// expands them: the C runtime does so for argv when this is set (a pattern
// that matches nothing stays as typed, and fails as a missing file).
extern "C" {
int _dowildcard = -1;
}
#endif

int main(int argc, char** argv) {
    PrepareStandardStreams();
    KeepFreedMemoryForReuse();
    try {
        // On Windows the C runtime has expanded wildcards in argv by now, and
        // "/?" may have become a name at the drive's root: the line as typed
        // says whether the usage was asked for.
        if (TypedLineAsksForUsage(TypedCommandLine())) {
            const char* usage[] = {argc > 0 ? argv[0] : "ostrel", "/?"};
            return RunCommand(2, usage);
        }
        return RunCommand(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ostrel: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "ostrel: unexpected failure\n");
    }
    return kExitHostFailed;
}
