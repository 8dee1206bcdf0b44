# VELKAN_SANITIZE="address;undefined" or "thread" instruments every target of the tree.
if(VELKAN_SANITIZE)
    list(JOIN VELKAN_SANITIZE "," _velkan_sanitizers)
    add_compile_options(-fsanitize=${_velkan_sanitizers} -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=${_velkan_sanitizers})
    if("undefined" IN_LIST VELKAN_SANITIZE)
        add_compile_options(-fno-sanitize-recover=undefined)
    endif()
endif()

if(VELKAN_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "VELKAN_FUZZ needs clang (configure with CXX=clang++)")
    endif()
    # Instrument the library code for coverage; the fuzz targets add the libFuzzer main.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
