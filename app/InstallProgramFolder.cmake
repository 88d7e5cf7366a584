# Run by `cmake --install`: the parts of the installed program that depend on the prefix given
# at install time or on what is already there.
#   - the launcher names the link in the bin folder;
#   - the link in the bin folder points to the launcher in the program folder, which finds its
#     folder through the link;
#   - a program folder of the layout from before (<prefix>/share/quenlaris-calendar with the
#     executables beside user.mdb) loses its executables and help, which the new program folder
#     replaces, and its data goes where the new program looks for it: it stays where it is when
#     that folder is the installing user's data folder ($XDG_DATA_HOME/quenlaris-calendar or
#     ~/.local/share/quenlaris-calendar); otherwise it moves into the new program folder, which
#     the program then uses as a portable one.
# Set by the install code before this script: QCAL_DESKTOP_TEMPLATE, QCAL_FOLDER_DIR,
# QCAL_OLD_FOLDER_DIR, QCAL_BIN_DIR, QCAL_MAN_DIR, QCAL_APPLICATIONS_DIR (the last five
# relative to the prefix).

set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(folder "${root}/${QCAL_FOLDER_DIR}")
set(old "${root}/${QCAL_OLD_FOLDER_DIR}")

if(EXISTS "${old}/quenlaris-calendar-desktop" OR EXISTS "${old}/quenlaris-calendar")
    foreach(name quenlaris-calendar quenlaris-calendar-desktop quenlaris-calendar-sync help)
        if(EXISTS "${old}/${name}" OR IS_SYMLINK "${old}/${name}")
            message(STATUS "Removing the former program's ${old}/${name}")
            file(REMOVE_RECURSE "${old}/${name}")
        endif()
    endforeach()
    if(DEFINED ENV{XDG_DATA_HOME} AND "$ENV{XDG_DATA_HOME}" MATCHES "^/")
        set(home_data "$ENV{XDG_DATA_HOME}/quenlaris-calendar")
    else()
        set(home_data "$ENV{HOME}/.local/share/quenlaris-calendar")
    endif()
    file(REAL_PATH "${old}" old_real)
    set(home_real "")
    if(EXISTS "${home_data}")
        file(REAL_PATH "${home_data}" home_real)
    endif()
    if("$ENV{DESTDIR}" STREQUAL "" AND old_real STREQUAL home_real)
        message(STATUS "Kept: the data in ${old}, the data folder")
    else()
        file(GLOB entries LIST_DIRECTORIES true RELATIVE "${old}" "${old}/*" "${old}/.*")
        foreach(name ${entries})
            if(EXISTS "${folder}/${name}")
                message(WARNING "Left in ${old}: ${name}, the program folder has one")
            else()
                message(STATUS "Moving: ${old}/${name} -> ${folder}/${name}")
                file(RENAME "${old}/${name}" "${folder}/${name}")
            endif()
        endforeach()
        file(GLOB left LIST_DIRECTORIES true "${old}/*" "${old}/.*")
        if(NOT left)
            file(REMOVE_RECURSE "${old}")
        endif()
    endif()
endif()

# The manual page of before was not compressed; left there it would hide the new one.
if(EXISTS "${root}/${QCAL_MAN_DIR}/man1/quenlaris-calendar.1")
    file(REMOVE "${root}/${QCAL_MAN_DIR}/man1/quenlaris-calendar.1")
endif()

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
