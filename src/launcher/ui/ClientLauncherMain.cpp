// LaunchNubraClient: brings the seat client up to date, then starts it.
#include "LauncherProgram.h"

int main(int argc, char** argv) {
    return zn::launcher::RunClientLauncherProgram(argc, argv);
}
