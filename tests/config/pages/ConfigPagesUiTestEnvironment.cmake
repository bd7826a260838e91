# Included by CTest after the discovered tests: Qt offscreen, without a display; WebEngine as root.
set_tests_properties(${config_pages_ui_tests_TESTS} PROPERTIES
    LABELS "gui"
    ENVIRONMENT_MODIFICATION "LC_ALL=set:C.UTF-8;TZ=set:UTC;QT_QPA_PLATFORM=set:offscreen;QTWEBENGINE_DISABLE_SANDBOX=set:1;QTWEBENGINE_CHROMIUM_FLAGS=set:--disable-gpu --no-sandbox")
