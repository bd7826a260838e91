add_library(zn_warnings INTERFACE)
target_compile_options(zn_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
    -Woverloaded-virtual -Wimplicit-fallthrough -Wformat=2)
if(ZN_WERROR)
    target_compile_options(zn_warnings INTERFACE -Werror)
endif()
# Standard-library bounds checks in every build; cheap and they catch real faults.
target_compile_definitions(zn_warnings INTERFACE _GLIBCXX_ASSERTIONS)
