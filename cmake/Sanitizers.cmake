# KHUB_SANITIZE=address  -> ASan + UBSan;  KHUB_SANITIZE=thread -> TSan.
set(KHUB_SANITIZE "" CACHE STRING "address | thread | empty")
if(KHUB_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(KHUB_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT KHUB_SANITIZE STREQUAL "")
    message(FATAL_ERROR "KHUB_SANITIZE must be address, thread or empty")
endif()
# Tests that take every file descriptor away skip that part here: the sanitizers' runtime
# needs descriptors of its own (UBSan probes memory through a pipe).
if(NOT KHUB_SANITIZE STREQUAL "")
    add_compile_definitions(KHUB_SANITIZED)
endif()

# GCC 12 reports "may be used uninitialized" inside libstdc++ (std::regex, std::function)
# once the sanitizers' instrumentation changes inlining; those are not ours to fix and would
# stop the -Werror build.
if(NOT KHUB_SANITIZE STREQUAL "" AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-maybe-uninitialized)
endif()
