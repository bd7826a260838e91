# The settings files a program reads from its working folder. The package's copy lies in
# /etc/opt/zentrova/<package>/ as a configuration file, so upgrades keep the administrator's
# edits; the program folder holds a link to it. A seat's folder is sticky: its account cannot
# replace root's link, so a seat never rewrites the console's address that the administrator set.
function(zn_install_settings component folder)
    foreach(file IN LISTS ARGN)
        set(kept ${ZN_SETTINGS_DIR}/${component}/${file})
        install(FILES settings/${component}/${file} DESTINATION ${ZN_SETTINGS_DIR}/${component}
            COMPONENT ${component})
        set(link ${CMAKE_CURRENT_BINARY_DIR}/links/${component}/${file})
        file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/links/${component})
        file(CREATE_LINK ${kept} ${link} SYMBOLIC)
        install(FILES ${link} DESTINATION ${folder} COMPONENT ${component})
        set_property(GLOBAL APPEND PROPERTY ZN_CONFFILES_${component} ${kept})
    endforeach()
endfunction()
