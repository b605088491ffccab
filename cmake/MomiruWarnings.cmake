# Warnings for our own targets only; system headers (Qt, SDL, ICU) stay quiet.
add_library(momiru_warnings INTERFACE)
target_compile_options(momiru_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wnon-virtual-dtor
  -Wold-style-cast -Woverloaded-virtual -Wimplicit-fallthrough
  $<$<BOOL:${MOMIRU_WERROR}>:-Werror>)
