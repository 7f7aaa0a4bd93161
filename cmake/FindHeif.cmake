# Finds libheif (HEIC/HEIF pictures) and the HEVC decoder it decodes with,
# libde265, as the imported target Heif::Heif.
#
# The program calls libde265 itself too (for the pictures it decodes without
# libheif, and as the decoder it gives libheif). Natively: Debian's
# libheif-dev and libde265-dev, shared. For Windows: the static libraries, from the cross-built prefix
# (tools/build-windows-deps.sh) or MSYS2's packages. With MSYS2, whatever
# else its libheif's static link needs is taken from its pkg-config file.
find_path(HEIF_INCLUDE_DIR libheif/heif.h)
find_library(HEIF_LIBRARY NAMES heif libheif)
find_path(HEIF_DE265_INCLUDE_DIR libde265/de265.h)
find_library(HEIF_DE265_LIBRARY NAMES de265 libde265)
set(_heif_required HEIF_INCLUDE_DIR HEIF_LIBRARY HEIF_DE265_INCLUDE_DIR HEIF_DE265_LIBRARY)
set(_heif_extra "")
if(VELMORA_WINDOWS)
  if(NOT CMAKE_CROSSCOMPILING)
    find_package(PkgConfig QUIET)
    if(PKG_CONFIG_FOUND)
      pkg_check_modules(PC_HEIF QUIET libheif)
      foreach(lib IN LISTS PC_HEIF_STATIC_LIBRARIES)
        if(NOT lib MATCHES "^(lib)?(heif|de265)$")
          list(APPEND _heif_extra ${lib})
        endif()
      endforeach()
    endif()
  endif()
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Heif REQUIRED_VARS ${_heif_required})

if(Heif_FOUND AND NOT TARGET Heif::Heif)
  add_library(Heif::Heif UNKNOWN IMPORTED)
  set_target_properties(Heif::Heif PROPERTIES
    IMPORTED_LOCATION "${HEIF_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${HEIF_INCLUDE_DIR};${HEIF_DE265_INCLUDE_DIR}")
  # For Windows, static: libde265 after libheif; libheif's C++ runtime and
  # threads come with the static runtimes the executable links anyway. (The
  # headers need LIBHEIF_STATIC_BUILD and LIBDE265_STATIC_BUILD only with
  # Microsoft's compiler.)
  set_property(TARGET Heif::Heif PROPERTY INTERFACE_LINK_LIBRARIES "${HEIF_DE265_LIBRARY}" ${_heif_extra})
endif()
mark_as_advanced(HEIF_INCLUDE_DIR HEIF_LIBRARY HEIF_DE265_INCLUDE_DIR HEIF_DE265_LIBRARY)
