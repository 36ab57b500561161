# libjpeg-turbo for a cross-built target, which Debian ships no build of: its
# TurboJPEG library compiled here from the sources Debian ships, with the
# target's toolchain. TAVIX_TURBOJPEG_SOURCE names the source tarball or
# folder; scripts/fetch-turbojpeg-source.sh gets Debian's (apt-get source).
# Gives the imported target TavixTurboJpeg.
set(TAVIX_TURBOJPEG_SOURCE "" CACHE PATH
    "libjpeg-turbo sources (a .tar.gz or a folder) to build for the target")
if(NOT TAVIX_TURBOJPEG_SOURCE)
    set(guess "${PROJECT_SOURCE_DIR}/build-deps/libjpeg-turbo_2.1.5.orig.tar.gz")
    if(EXISTS "${guess}")
        set(TAVIX_TURBOJPEG_SOURCE "${guess}" CACHE PATH "" FORCE)
    else()
        message(FATAL_ERROR "The target's JPEG decoder needs the libjpeg-turbo sources: run "
                            "scripts/fetch-turbojpeg-source.sh, or set TAVIX_TURBOJPEG_SOURCE "
                            "to a libjpeg-turbo .tar.gz or folder")
    endif()
endif()

include(ExternalProject)
set(turbo_dir "${CMAKE_BINARY_DIR}/libjpeg-turbo")
if(IS_DIRECTORY "${TAVIX_TURBOJPEG_SOURCE}")
    set(turbo_source SOURCE_DIR "${TAVIX_TURBOJPEG_SOURCE}")
    set(turbo_header_dir "${TAVIX_TURBOJPEG_SOURCE}")
else()
    set(turbo_source URL "${TAVIX_TURBOJPEG_SOURCE}" SOURCE_DIR "${turbo_dir}/src")
    set(turbo_header_dir "${turbo_dir}/src")
endif()
set(turbo_library "${turbo_dir}/build/libturbojpeg.a")
# No SIMD (it needs nasm for the target); only the static TurboJPEG library
# is built, nothing installed.
ExternalProject_Add(libjpeg-turbo-target
    ${turbo_source}
    BINARY_DIR "${turbo_dir}/build"
    CMAKE_ARGS -Wno-dev -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE} -DCMAKE_BUILD_TYPE=Release
               -DWITH_SIMD=OFF -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=ON
               -DCMAKE_INSTALL_PREFIX=${turbo_dir}/unused
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target turbojpeg-static
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS "${turbo_library}"
    DOWNLOAD_EXTRACT_TIMESTAMP ON)
file(MAKE_DIRECTORY "${turbo_header_dir}")
add_library(TavixTurboJpeg STATIC IMPORTED GLOBAL)
set_target_properties(TavixTurboJpeg PROPERTIES
    IMPORTED_LOCATION "${turbo_library}"
    INTERFACE_INCLUDE_DIRECTORIES "${turbo_header_dir}")
add_dependencies(TavixTurboJpeg libjpeg-turbo-target)
