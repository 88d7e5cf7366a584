# The Debian package, made by `cpack -G DEB` in the build folder: everything under /usr, the
# dependencies found by dpkg-shlibdeps from the executables' shared libraries.
set(CPACK_PACKAGE_NAME quenlaris-calendar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quenlaris Calendar developers")
set(CPACK_PACKAGE_CONTACT "Quenlaris Calendar <support@quenlaris-calendar.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop calendar and reminder")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quenlaris-calendar.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Wayland platform plugin lets the program run as a Wayland client.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
# The extended description; the summary above is its first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quenlaris Calendar keeps events that occur once or repeat daily, weekly,
monthly or yearly, shows them in a month grid with colour layers, and raises
an alarm window with a sound when one falls due. Events can be searched,
printed, backed up and exchanged as iCalendar files; the command
quenlaris-calendar --agenda prints the coming days in a terminal.")

# Debian wants the copyright and a changelog in the documentation folder.
set(QCAL_PACKAGE_DOC ${CMAKE_BINARY_DIR}/package-doc)
file(MAKE_DIRECTORY ${QCAL_PACKAGE_DOC})
configure_file(${CMAKE_CURRENT_LIST_DIR}/copyright ${QCAL_PACKAGE_DOC}/copyright COPYONLY)
string(TIMESTAMP QCAL_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${QCAL_PACKAGE_DOC}/changelog
    "quenlaris-calendar (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
    "  * Release ${PROJECT_VERSION}.\n\n"
    " -- ${CPACK_PACKAGE_CONTACT}  ${QCAL_PACKAGE_DATE}\n")
# Manual pages and changelogs are installed compressed, as Debian wants them.
find_program(QCAL_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${QCAL_PACKAGE_DOC}/changelog.gz
    COMMAND ${QCAL_GZIP} -9nkf ${QCAL_PACKAGE_DOC}/changelog
    DEPENDS ${QCAL_PACKAGE_DOC}/changelog
    VERBATIM)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/quenlaris-calendar.1.gz
    COMMAND ${QCAL_GZIP} -9nc ${CMAKE_CURRENT_BINARY_DIR}/quenlaris-calendar.1
            > ${CMAKE_CURRENT_BINARY_DIR}/quenlaris-calendar.1.gz
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/quenlaris-calendar.1)
add_custom_target(qcal_compressed_docs ALL
    DEPENDS ${QCAL_PACKAGE_DOC}/changelog.gz ${CMAKE_CURRENT_BINARY_DIR}/quenlaris-calendar.1.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quenlaris-calendar.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${QCAL_PACKAGE_DOC}/copyright ${QCAL_PACKAGE_DOC}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quenlaris-calendar)
include(CPack)
