# khub_add_test(NAME SOURCES a.cpp b.cpp [LIBS ...] [LABELS ...] [TIMEOUT s] [LOCK name])
# LOCK: cases of tests with the same lock never run at the same time.
# Every test binary links GoogleTest, the core and the shared test support.
include(GoogleTest)
function(khub_add_test name)
    cmake_parse_arguments(T "" "TIMEOUT;LOCK" "SOURCES;LIBS;LABELS" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE khub_test_support ${T_LIBS} GTest::gtest GTest::gmock khub_warnings)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    if(NOT T_LABELS)
        set(T_LABELS unit)
    endif()
    if(CMAKE_CROSSCOMPILING)
        # One run per binary: listing and starting every case on its own under wine would
        # cost more than the cases themselves.
        add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
        set_tests_properties(${name} PROPERTIES LABELS "windows;${T_LABELS}"
                                                TIMEOUT ${T_TIMEOUT})
        return()
    endif()
    set(lock)
    if(T_LOCK)
        set(lock RESOURCE_LOCK ${T_LOCK})
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT} ${lock}
        ENVIRONMENT "KHUB_BUILD_DIR=${CMAKE_BINARY_DIR};KHUB_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()
