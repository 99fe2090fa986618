# One INTERFACE target carries the warning and sanitizer flags; every target of ours links it.
add_library(quorvex_warnings INTERFACE)
target_compile_options(quorvex_warnings INTERFACE
  -Wall -Wextra -Wpedantic $<IF:$<CXX_COMPILER_ID:GNU>,-Wshadow=local,-Wshadow-uncaptured-local> -Wnon-virtual-dtor -Wcast-align -Wunused
  -Woverloaded-virtual -Wimplicit-fallthrough
  $<$<BOOL:${QUORVEX_WARNINGS_AS_ERRORS}>:-Werror>)

if(QUORVEX_SANITIZE)
  target_compile_options(quorvex_warnings INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(quorvex_warnings INTERFACE -fsanitize=address,undefined)
endif()
