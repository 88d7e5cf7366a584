# cmake -DSOURCE=<file> -DTARGET=<file> -P CopyIfMissing.cmake
# Copies SOURCE to TARGET only when TARGET does not exist yet.
if(NOT EXISTS "${TARGET}")
    file(COPY_FILE "${SOURCE}" "${TARGET}.part")
    file(RENAME "${TARGET}.part" "${TARGET}")
    message(STATUS "The program folder got the delivered user.mdb")
endif()
