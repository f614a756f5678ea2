# One place for compiler warnings. CI sets CI=true and gets -Werror.
add_library(khub_warnings INTERFACE)
target_compile_options(khub_warnings INTERFACE -Wall -Wextra -Wno-missing-field-initializers)
if(DEFINED ENV{CI} OR KHUB_WERROR)
    target_compile_options(khub_warnings INTERFACE -Werror)
endif()
