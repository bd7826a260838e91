// LaunchNubraServer: upgrades the cashier console once it has ended, then starts it again.
#include "LauncherProgram.h"

int main(int argc, char** argv) {
    return zn::launcher::RunConsoleLauncherProgram(argc, argv);
}
