# Fails when EXE imports a DLL that is not part of Windows itself (a DLL of the compiler's
# runtime, say), which would stop the program on a machine that lacks it.
# cmake -DOBJDUMP=... -DEXE=... -P CheckWindowsImports.cmake
cmake_minimum_required(VERSION 3.25)
set(system_dlls
    advapi32 bcrypt comctl32 comdlg32 crypt32 dwmapi gdi32 gdiplus imm32 iphlpapi kernel32
    msvcrt mswsock ntdll ole32 oleaut32 riched20 rpcrt4 secur32 shell32 shlwapi ucrtbase
    user32 userenv uxtheme version winmm winspool ws2_32)
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
if(NOT lines)
    message(FATAL_ERROR "${EXE}: no imported DLL found; is it a Windows program?")
endif()
set(foreign)
foreach(line IN LISTS lines)
    string(REGEX REPLACE "DLL Name: " "" dll "${line}")
    string(TOLOWER "${dll}" name)
    string(REGEX REPLACE "\\.dll$" "" name "${name}")
    # The universal CRT's API sets are part of Windows 10 and later.
    if(NOT name IN_LIST system_dlls AND NOT name MATCHES "^api-ms-win-")
        list(APPEND foreign ${dll})
    endif()
endforeach()
if(foreign)
    get_filename_component(file ${EXE} NAME)
    list(JOIN foreign ", " foreign)
    message(FATAL_ERROR "${file} imports DLLs that Windows does not ship: ${foreign}. "
                        "Link them statically (see cmake/Windows.cmake).")
endif()
