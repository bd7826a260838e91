// ZentrovaNubraConsole: the cashier console.
#include "ConsoleProgram.h"

int main(int argc, char** argv) {
    return zn::console::RunConsoleProgram(argc, argv);
}
