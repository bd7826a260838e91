// One QApplication for every test of the folder; Qt WebEngine needs its runtime folder and
// the programs' web engine set-up before the application exists.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>

#include <filesystem>
#include <string>

#include "gui/WebEngineSetup.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    std::string runtime = (std::filesystem::temp_directory_path() / "zn-gui-run-XXXXXX").string();
    if (mkdtemp(runtime.data()) == nullptr) {  // mode 0700, as WebEngine wants
        return 1;
    }
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    zn::gui::PrepareWebEngine();
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    std::error_code ignored;
    std::filesystem::remove_all(runtime, ignored);
    return result;
}
