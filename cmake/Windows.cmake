# Windows builds (cross-built with cmake/mingw-w64-x86_64.cmake): the programs are linked
# statically so that a copied .exe runs on any Windows without the compiler's DLLs, and the
# build fails if one of them imports a DLL that Windows does not ship.

# libgcc, libstdc++ and winpthread go into the .exe.
add_link_options(-static -static-libgcc -static-libstdc++)
# Unicode Win32 calls (the W functions) by default; narrow ones must be asked for by name.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

# GoogleTest for mingw, from Debian's sources (package googletest).
set(KHUB_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows build")
function(khub_add_googletest)
    if(NOT EXISTS ${KHUB_GOOGLETEST_SOURCE}/CMakeLists.txt)
        message(FATAL_ERROR "The Windows tests need GoogleTest's sources in ${KHUB_GOOGLETEST_SOURCE} "
                            "(apt-get install googletest)")
    endif()
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(${KHUB_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    # Its own CMake names them GTest::gtest and GTest::gmock, as find_package(GTest) does.
endfunction()

# Every executable target below dir and its subfolders.
function(khub_executables_in dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    set(found)
    foreach(t IN LISTS targets)
        get_target_property(type ${t} TYPE)
        if(type STREQUAL "EXECUTABLE")
            list(APPEND found ${t})
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub IN LISTS subdirs)
        if(NOT sub MATCHES "/googletest")
            khub_executables_in(${sub} more)
            list(APPEND found ${more})
        endif()
    endforeach()
    set(${out} ${found} PARENT_SCOPE)
endfunction()

# After linking, each of our .exe files is checked for its DLL imports (again whenever it
# is linked anew); a foreign one fails the build.
function(khub_check_windows_imports)
    khub_executables_in(${CMAKE_SOURCE_DIR} exes)
    set(stamps)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/imports-checked)
    foreach(exe IN LISTS exes)
        set(stamp ${CMAKE_BINARY_DIR}/imports-checked/${exe})
        add_custom_command(OUTPUT ${stamp}
            COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DEXE=$<TARGET_FILE:${exe}>
                    -P ${CMAKE_SOURCE_DIR}/cmake/CheckWindowsImports.cmake
            COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
            DEPENDS ${exe} ${CMAKE_SOURCE_DIR}/cmake/CheckWindowsImports.cmake
            COMMENT "Checking the DLLs ${exe}.exe imports"
            VERBATIM)
        list(APPEND stamps ${stamp})
    endforeach()
    add_custom_target(khub_windows_imports ALL DEPENDS ${stamps})
endfunction()
