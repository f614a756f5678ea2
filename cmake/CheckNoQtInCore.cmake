# Run at every build: the core must stay free of Qt and window-system headers.
file(GLOB_RECURSE core_files "${CORE_DIR}/*.h" "${CORE_DIR}/*.cpp")
# The Win32 side of the platform seam needs <windows.h> for the kernel's calls.
list(FILTER core_files EXCLUDE REGEX "/platform/win32/")
foreach(f IN LISTS core_files)
    file(STRINGS "${f}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]+|Qt[A-Za-z]*/|X11/|windows\\.h)")
    if(hits)
        message(FATAL_ERROR "${f} includes a Qt or window-system header: ${hits}")
    endif()
endforeach()
