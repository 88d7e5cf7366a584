# cmake -DSOURCE=<file> -DTARGET=<file> -P CopyIfMissing.cmake
# Copies SOURCE to TARGET only when TARGET does not exist yet, so that a file the user has
# changed (the events of user.mdb, the layers and options of setup.ini, the sound
# music/play.wav) is never replaced.
if(NOT EXISTS "${TARGET}")
    file(COPY_FILE "${SOURCE}" "${TARGET}.part")
    file(RENAME "${TARGET}.part" "${TARGET}")
    get_filename_component(name "${TARGET}" NAME)
    message(STATUS "The program folder got the delivered ${name}")
endif()
