# What `cmake --install` lays out, and the Debian package CPack builds from
# it (`cpack -G DEB` in the build folder, or tools/make-package.sh). The
# application icons are installed by src/resources, where they are drawn.

install(TARGETS rigwarden rigwarden-cli rigwarden-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(rw_dist ${CMAKE_SOURCE_DIR}/dist)
install(FILES ${rw_dist}/rigwarden.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${rw_dist}/rigwarden.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
# A user unit: `systemctl --user` finds it under the prefix's lib/systemd/user.
install(FILES ${rw_dist}/rigwarden-run@.service DESTINATION lib/systemd/user)
# The help page arrives with the help browser; until then there is none.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/help/ DESTINATION ${CMAKE_INSTALL_DATADIR}/rigwarden/help
        OPTIONAL)

# Manual pages, compressed as Debian's policy asks.
find_program(RW_GZIP gzip REQUIRED)
set(rw_man_pages)
foreach(page rigwarden rigwarden-cli rigwarden-sim)
    set(compressed ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
    add_custom_command(
        OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND ${RW_GZIP} -9n -c ${rw_dist}/man/${page}.1 > ${compressed}
        DEPENDS ${rw_dist}/man/${page}.1
        VERBATIM)
    list(APPEND rw_man_pages ${compressed})
endforeach()
add_custom_target(rw_man_pages ALL DEPENDS ${rw_man_pages})
install(FILES ${rw_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rigwarden)
set(CPACK_PACKAGE_VENDOR Lumora)
set(CPACK_PACKAGE_CONTACT "Lumora <support@lumora.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "keeps networked show controllers supplied with show files and media")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Lumora Rigwarden discovers show controllers over HTTP, converts media into\n"
    "their own format, uploads show files and media over FTP, launches and\n"
    "verifies the show, retries, runs uploads on a schedule (also unattended,\n"
    "as a systemd user service), logs every step and mails a report of each run.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
# Libraries come from the binaries (dpkg-shlibdeps); Qt's network library
# brings the TLS back end and OpenSSL, the mail server's certificate is
# checked against the system's authorities. Wayland sessions want Qt's plugin.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ca-certificates")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
include(CPack)
