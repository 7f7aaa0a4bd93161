# Finds libheif (HEIC/HEIF pictures) and the HEVC decoder it decodes with,
# libde265, as the imported target Heif::Heif.
#
# Natively: Debian's libheif-dev (a shared library that brings libde265
# itself). For Windows: the static libraries, from the cross-built prefix
# (tools/build-windows-deps.sh) or MSYS2's packages. With MSYS2, whatever
# else its libheif's static link needs is taken from its pkg-config file.
find_path(HEIF_INCLUDE_DIR libheif/heif.h)
find_library(HEIF_LIBRARY NAMES heif libheif)
set(_heif_required HEIF_INCLUDE_DIR HEIF_LIBRARY)
if(VELMORA_WINDOWS)
  find_library(HEIF_DE265_LIBRARY NAMES de265 libde265)
  list(APPEND _heif_required HEIF_DE265_LIBRARY)
  set(_heif_extra "")
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
    INTERFACE_INCLUDE_DIRECTORIES "${HEIF_INCLUDE_DIR}")
  if(VELMORA_WINDOWS)
    # Static: libde265 after libheif; libheif's C++ runtime and threads come
    # with the static runtimes the executable links anyway. (Its headers need
    # LIBHEIF_STATIC_BUILD only with Microsoft's compiler.)
    set_property(TARGET Heif::Heif PROPERTY INTERFACE_LINK_LIBRARIES "${HEIF_DE265_LIBRARY}" ${_heif_extra})
  endif()
endif()
mark_as_advanced(HEIF_INCLUDE_DIR HEIF_LIBRARY HEIF_DE265_LIBRARY)
