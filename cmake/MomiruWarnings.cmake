# Warnings for our own targets only; system headers (Qt, SDL, ICU) stay quiet.
add_library(momiru_warnings INTERFACE)
target_compile_options(momiru_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wnon-virtual-dtor
  -Wold-style-cast -Woverloaded-virtual -Wimplicit-fallthrough
  $<$<BOOL:${MOMIRU_WERROR}>:-Werror>)
# MinGW-w64's GCC 12 warns of overlapping copies inside its own std::string at -O3 where none can
# happen (a known false alarm of that version); it stays a warning there.
if(WIN32)
  target_compile_options(momiru_warnings INTERFACE -Wno-error=restrict)
endif()
