# Included by CTest after the discovered tests: Qt offscreen, without a display.
set_tests_properties(${client_ui_tests_TESTS} PROPERTIES
    LABELS "gui"
    ENVIRONMENT_MODIFICATION "LC_ALL=set:C.UTF-8;TZ=set:UTC;QT_QPA_PLATFORM=set:offscreen")
