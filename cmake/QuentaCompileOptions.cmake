# Compile options shared by every target of the project: strict warnings everywhere and, in the
# sanitizer preset, AddressSanitizer with UndefinedBehaviorSanitizer on every object and link.
add_library(quenta_options INTERFACE)
target_compile_options(quenta_options INTERFACE
  -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow -Wnon-virtual-dtor
  -Wold-style-cast -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough)
if(QUENTA_WARNINGS_AS_ERRORS)
  target_compile_options(quenta_options INTERFACE -Werror)
endif()
target_include_directories(quenta_options INTERFACE ${PROJECT_SOURCE_DIR}/src)

if(QUENTA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
if(QUENTA_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
