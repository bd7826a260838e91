# CPack's Debian settings: one package per install component, dependencies from the programs'
# libraries, and for each package its maintainer scripts, configuration files, copyright,
# changelog and lintian overrides.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL counter seat webhost)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Zentrova Nubra maintainers <packages@zentrova.example>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)

set(ZN_PACKAGE_counter zentrova-counter)
set(ZN_PACKAGE_seat zentrova-seat)
set(ZN_PACKAGE_webhost zentrova-webhost)
# The program folders and their modes (see debian/postinst.in and debian/seat/postinst.in).
set(ZN_PROGRAM_DIR_counter ${ZN_COUNTER_DIR})
set(ZN_PROGRAM_DIR_seat ${ZN_SEAT_DIR})
set(ZN_FOLDER_MODE_counter 2770)
set(ZN_FOLDER_MODE_seat 3775)
set(ZN_SUMMARY_counter "internet cafe ordering system: cashier console")
set(ZN_SUMMARY_seat "internet cafe ordering system: seat shop window")
set(ZN_SUMMARY_webhost "internet cafe ordering system: local back office for trials")
set(ZN_DETAILS_counter "The cashier console announces the orders and messages of the cafe's seats
and completes them in the operator's back office; with it come its upgrade
launcher, the listener tool and the counter's own shop window. Members of the
group zentrova may run the console and write its folder.")
set(ZN_DETAILS_seat "The seat's shop window, started through its launcher, which first brings the
window's files up to date from the update server through a small update
service that runs under an account of its own (zentrova-update). The seat's
session account must be a member of the group zentrova.")
set(ZN_DETAILS_webhost "A small web host on 127.0.0.1 with a demonstration back office, shop,
sound page and sample update releases, for trials and training without the
operator's servers.")

foreach(component IN LISTS CPACK_COMPONENTS_ALL)
    string(TOUPPER ${component} COMPONENT)
    set(package ${ZN_PACKAGE_${component}})
    set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_NAME ${package})
    set(CPACK_COMPONENT_${COMPONENT}_DESCRIPTION
        "${ZN_SUMMARY_${component}}\n${ZN_DETAILS_${component}}")

    set(ZN_PACKAGE ${package})
    set(doc ${CMAKE_CURRENT_BINARY_DIR}/doc/${package})
    configure_file(debian/copyright ${doc}/copyright COPYONLY)
    configure_file(debian/changelog.in ${doc}/changelog @ONLY)
    execute_process(COMMAND gzip -9nf ${doc}/changelog COMMAND_ERROR_IS_FATAL ANY)
    install(FILES ${doc}/copyright ${doc}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})

    set(control ${CMAKE_CURRENT_BINARY_DIR}/control/${component})
    set(extra)
    if(DEFINED ZN_FOLDER_MODE_${component})
        set(ZN_PROGRAM_DIR ${ZN_PROGRAM_DIR_${component}})
        set(ZN_FOLDER_MODE ${ZN_FOLDER_MODE_${component}})
        # A package's own scripts in debian/<component>/, else the shared ones.
        foreach(script postinst prerm postrm)
            set(template debian/${component}/${script}.in)
            if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${template})
                set(template debian/${script}.in)
            endif()
            if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${template})
                continue()
            endif()
            configure_file(${template} ${control}/${script} @ONLY
                FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                WORLD_READ WORLD_EXECUTE)
            list(APPEND extra ${control}/${script})
        endforeach()
        configure_file(debian/opt.lintian-overrides ${CMAKE_CURRENT_BINARY_DIR}/lintian/${package}
            @ONLY)
        install(FILES ${CMAKE_CURRENT_BINARY_DIR}/lintian/${package}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT ${component})
    endif()
    get_property(conffiles GLOBAL PROPERTY ZN_CONFFILES_${component})
    if(conffiles)
        list(JOIN conffiles "\n" lines)
        file(WRITE ${control}/conffiles "${lines}\n")
        list(APPEND extra ${control}/conffiles)
    endif()
    set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_CONTROL_EXTRA "${extra}")
endforeach()
# The maintainer scripts make the program folders' group; the windows' Chinese texts need a CJK
# font, which no library names.
set(ZN_WINDOWED_DEPENDS "adduser, fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_DEBIAN_COUNTER_PACKAGE_DEPENDS "${ZN_WINDOWED_DEPENDS}")
set(CPACK_DEBIAN_SEAT_PACKAGE_DEPENDS "${ZN_WINDOWED_DEPENDS}")
# GNOME shows tray icons only through this extension.
set(CPACK_DEBIAN_COUNTER_PACKAGE_SUGGESTS gnome-shell-extension-appindicator)
set(CPACK_DEBIAN_COUNTER_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_SEAT_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_WEBHOST_PACKAGE_SECTION web)

include(CPack)
