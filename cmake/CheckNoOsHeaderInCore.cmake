cmake_policy(SET CMP0057 NEW)
# Run at every build: system headers belong to the platform implementations
# (platform/posix, platform/win32) alone, so the rest of the core builds on every system.
file(GLOB_RECURSE core_files "${CORE_DIR}/*.h" "${CORE_DIR}/*.cpp")

set(os_headers
    "windows\\.h" "winsock2\\.h" "ws2tcpip\\.h" "mswsock\\.h" "iphlpapi\\.h" "shellapi\\.h"
    "shlobj\\.h" "mmsystem\\.h" "io\\.h" "direct\\.h" "process\\.h"
    "sys/[^>]*" "unistd\\.h" "fcntl\\.h" "poll\\.h" "netinet/[^>]*" "arpa/[^>]*" "net/[^>]*"
    "netdb\\.h" "dirent\\.h" "pwd\\.h" "grp\\.h" "spawn\\.h" "signal\\.h" "csignal"
    "ifaddrs\\.h" "termios\\.h" "pthread\\.h" "dlfcn\\.h" "sched\\.h" "semaphore\\.h")
list(JOIN os_headers "|" os_header_pattern)

set(offenders "")
foreach(f IN LISTS core_files)
    file(RELATIVE_PATH rel "${CORE_DIR}" "${f}")
    if(rel MATCHES "^platform/(posix|win32)/")
        continue()
    endif()
    file(STRINGS "${f}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*<(${os_header_pattern})>")
    foreach(hit IN LISTS hits)
        string(STRIP "${hit}" hit)
        list(APPEND offenders "  src/core/${rel}: ${hit}")
    endforeach()
endforeach()

if(offenders)
    list(JOIN offenders "\n" listing)
    message(FATAL_ERROR
        "System headers outside src/core/platform/posix and src/core/platform/win32:\n"
        "${listing}\n"
        "Move the system calls behind an interface in src/core/platform.")
endif()
