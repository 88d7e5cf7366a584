# Run by `cmake --install`: the parts of the installed program that depend on the prefix given
# at install time or on what is already there.
#   - user.mdb, setup.ini and music/play.wav are copied only when the installed program folder
#     has none, so that installing again never replaces the user's events, layers, options and
#     alarm sound;
#   - the launcher names the link in the bin folder;
#   - the link in the bin folder points to the executable in the program folder, which finds
#     its folder through the link.
# Set by the install code before this script: QCAL_DELIVERED_DB, QCAL_DELIVERED_INI,
# QCAL_DELIVERED_SOUND,
# QCAL_DESKTOP_TEMPLATE, QCAL_FOLDER_DIR, QCAL_BIN_DIR, QCAL_APPLICATIONS_DIR (the last four
# relative to the prefix).

set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(folder "${root}/${QCAL_FOLDER_DIR}")

foreach(pair "${QCAL_DELIVERED_DB}|user.mdb" "${QCAL_DELIVERED_INI}|setup.ini"
             "${QCAL_DELIVERED_SOUND}|music/play.wav")
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 source)
    list(GET pair 1 name)
    if(EXISTS "${folder}/${name}")
        message(STATUS "Kept: ${folder}/${name}")
    else()
        message(STATUS "Installing: ${folder}/${name}")
        get_filename_component(parent "${folder}/${name}" DIRECTORY)
        file(MAKE_DIRECTORY "${parent}")
        file(COPY_FILE "${source}" "${folder}/${name}.part")
        file(RENAME "${folder}/${name}.part" "${folder}/${name}")
    endif()
endforeach()

# The launcher runs the link, the name the user also types.
set(QCAL_EXEC "${CMAKE_INSTALL_PREFIX}/${QCAL_BIN_DIR}/quenlaris-calendar")
set(launcher "${root}/${QCAL_APPLICATIONS_DIR}/quenlaris-calendar.desktop")
message(STATUS "Installing: ${launcher}")
file(MAKE_DIRECTORY "${root}/${QCAL_APPLICATIONS_DIR}")
configure_file("${QCAL_DESKTOP_TEMPLATE}" "${launcher}.part" @ONLY)
file(RENAME "${launcher}.part" "${launcher}")

set(link "${root}/${QCAL_BIN_DIR}/quenlaris-calendar")
file(RELATIVE_PATH target "${root}/${QCAL_BIN_DIR}" "${folder}/quenlaris-calendar")
message(STATUS "Installing: ${link} -> ${target}")
file(MAKE_DIRECTORY "${root}/${QCAL_BIN_DIR}")
file(REMOVE "${link}")
file(CREATE_LINK "${target}" "${link}" SYMBOLIC)
