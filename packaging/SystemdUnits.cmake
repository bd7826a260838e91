# The seat's update service as systemd units: its socket, the service that the socket starts and
# the run at boot. Both services share one set of restrictions.
file(READ systemd/hardening.in hardening)
string(CONFIGURE "${hardening}" ZN_UNIT_HARDENING @ONLY)
string(STRIP "${ZN_UNIT_HARDENING}" ZN_UNIT_HARDENING)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS systemd/hardening.in)
foreach(unit zentrova-seat-update.socket zentrova-seat-update.service
        zentrova-seat-update-boot.service)
    configure_file(systemd/${unit}.in ${CMAKE_CURRENT_BINARY_DIR}/systemd/${unit} @ONLY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/systemd/${unit} DESTINATION lib/systemd/system
        COMPONENT seat)
endforeach()
