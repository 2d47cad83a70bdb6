# Warning flags, as an INTERFACE target that project targets link PRIVATE.
add_library(kolt_warnings INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(kolt_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                                   -Wold-style-cast -Wcast-align -Woverloaded-virtual)
    if(KOLT_WERROR)
        target_compile_options(kolt_warnings INTERFACE -Werror)
    endif()
endif()
