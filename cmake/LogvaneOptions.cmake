# Shared compile options as INTERFACE targets: our own code links logvane_warnings, every
# target links logvane_sanitize so a sanitizer build instruments the whole program.
add_library(logvane_warnings INTERFACE)
target_compile_options(logvane_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Woverloaded-virtual -Wimplicit-fallthrough)
if(LOGVANE_WERROR)
  target_compile_options(logvane_warnings INTERFACE -Werror)
endif()

add_library(logvane_sanitize INTERFACE)
if(LOGVANE_SANITIZE)
  target_compile_options(logvane_sanitize INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(logvane_sanitize INTERFACE -fsanitize=address,undefined)
endif()
