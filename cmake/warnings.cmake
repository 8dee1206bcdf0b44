# Warnings every target of ours is built with; CI turns them into errors.
add_library(velkan_warnings INTERFACE)
target_compile_options(velkan_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wnon-virtual-dtor
    -Wold-style-cast -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough
    $<$<BOOL:${VELKAN_WERROR}>:-Werror>)
