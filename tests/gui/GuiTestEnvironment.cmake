# Included by CTest after the discovered tests: what Qt and Qt WebEngine need to run as root
# without a display and without reaching the network on their own. Set here, per variable,
# because a list given through gtest_discover_tests' PROPERTIES is split apart on the way.
set_tests_properties(${zn_gui_tests_TESTS} PROPERTIES
    LABELS "gui"
    ENVIRONMENT_MODIFICATION
    "LC_ALL=set:C.UTF-8;TZ=set:UTC;QT_QPA_PLATFORM=set:offscreen;QTWEBENGINE_DISABLE_SANDBOX=set:1;QTWEBENGINE_CHROMIUM_FLAGS=set:--disable-gpu --no-sandbox --disable-background-networking --disable-component-update --disable-sync --no-first-run")
