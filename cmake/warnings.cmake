# Warnings every target of ours is built with; CI turns them into errors.
add_library(velkan_warnings INTERFACE)
target_compile_options(velkan_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wnon-virtual-dtor
    -Wold-style-cast -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough
    $<$<BOOL:${VELKAN_WERROR}>:-Werror>)

# Once optimised, GCC 12 reports -Wrestrict and -Wmaybe-uninitialized falsely inside
# libstdc++'s strings, std::function and std::regex (fixed in GCC 13); -Wuninitialized stays.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(velkan_warnings INTERFACE -Wno-restrict -Wno-maybe-uninitialized)
endif()
