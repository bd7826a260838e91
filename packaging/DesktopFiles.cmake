# Desktop entries (menu and session start) and the icons they name. The console's and the seat
# client's icons are the ones the programs draw, exported as PNG files at build time.
add_executable(zn_icon_export IconExport.cpp)
target_link_libraries(zn_icon_export PRIVATE zn_console_ui zn_client_ui zn_warnings)

set(ZN_ICON_SIZES 16 24 32 48 64)
set(ZN_ICON_FOLDER ${CMAKE_CURRENT_BINARY_DIR}/icons)
set(ZN_ICON_FILES)
foreach(size IN LISTS ZN_ICON_SIZES)
    foreach(icon zentrova-nubra-console zentrova-nubra-client)
        list(APPEND ZN_ICON_FILES ${ZN_ICON_FOLDER}/${size}x${size}/apps/${icon}.png)
    endforeach()
endforeach()
add_custom_command(OUTPUT ${ZN_ICON_FILES}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:zn_icon_export> ${ZN_ICON_FOLDER} ${ZN_ICON_SIZES}
    DEPENDS zn_icon_export
    COMMENT "Exporting the programs' icons"
    VERBATIM)
add_custom_target(zn_icons DEPENDS ${ZN_ICON_FILES})
add_dependencies(zn_package_files zn_icons)

foreach(size IN LISTS ZN_ICON_SIZES)
    install(FILES ${ZN_ICON_FOLDER}/${size}x${size}/apps/zentrova-nubra-console.png
        DESTINATION ${ZN_ICON_DIR}/${size}x${size}/apps COMPONENT counter)
    install(FILES ${ZN_ICON_FOLDER}/${size}x${size}/apps/zentrova-nubra-client.png
        DESTINATION ${ZN_ICON_DIR}/${size}x${size}/apps COMPONENT seat)
endforeach()

# Entries: desktop/<name>.desktop.in, with the program folders filled in; AUTOSTART puts a copy
# in the XDG autostart folder, ICON installs a scalable icon of the same name.
function(zn_install_desktop_entry name component)
    cmake_parse_arguments(ARG "AUTOSTART" "ICON" "" ${ARGN})
    set(entry ${CMAKE_CURRENT_BINARY_DIR}/desktop/${name}.desktop)
    configure_file(desktop/${name}.desktop.in ${entry} @ONLY)
    install(FILES ${entry} DESTINATION ${ZN_DESKTOP_DIR} COMPONENT ${component})
    if(ARG_AUTOSTART)
        install(FILES ${entry} DESTINATION ${ZN_AUTOSTART_DIR} COMPONENT ${component})
        set_property(GLOBAL APPEND PROPERTY ZN_CONFFILES_${component}
            ${ZN_AUTOSTART_DIR}/${name}.desktop)
    endif()
    if(ARG_ICON)
        install(FILES ${ARG_ICON} DESTINATION ${ZN_ICON_DIR}/scalable/apps COMPONENT ${component})
    endif()
endfunction()
