# The hardening every Debian package of a C++ program is built with, taken
# from dpkg-buildflags so that the build follows the distribution's choice
# (and a user's DEB_BUILD_OPTIONS or buildflags.conf) rather than a copy of
# it. Only the hardening part is used: the optimisation level and debug
# information stay with CMAKE_BUILD_TYPE, and the build type decides where
# the flags apply at all (see below). A Debian package build (build type
# None) does not include this file: dh hands dpkg-buildflags' flags to the
# build in CXXFLAGS and LDFLAGS, and nothing is added to them.
#
# Sets tambrel_harden_compile and tambrel_harden_link.

set(tambrel_harden_compile "")
set(tambrel_harden_link "")

find_program(TAMBREL_DPKG_BUILDFLAGS dpkg-buildflags)
mark_as_advanced(TAMBREL_DPKG_BUILDFLAGS)

if(TAMBREL_DPKG_BUILDFLAGS)
  # hardening=+all adds BIND_NOW to what a package gets by default.
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${TAMBREL_DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed")
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    # -g and -O belong to the build type; the prefix maps come from
    # cmake/Reproducible.cmake, which asks from the source folder.
    list(FILTER flags EXCLUDE REGEX "^(-g.*|-O.*|-f(file|debug|macro)-prefix-map=.*)$")
    if(kind STREQUAL "LDFLAGS")
      list(APPEND tambrel_harden_link ${flags})
    else()
      list(APPEND tambrel_harden_compile ${flags})
    endif()
  endforeach()
else()
  # Not a Debian system: the same flags, written out.
  set(tambrel_harden_compile -D_FORTIFY_SOURCE=2 -fstack-protector-strong
                             -Wformat -Werror=format-security)
  set(tambrel_harden_link -Wl,-z,relro -Wl,-z,now)
endif()

# Control-flow protection: Debian 13's dpkg hands it out (hardening=+branch,
# -fcf-protection on x86), Debian 12's does not yet, though its compiler
# supports it; there it is added here, so that both releases build the same.
include(CheckCXXCompilerFlag)
if(NOT "-fcf-protection" IN_LIST tambrel_harden_compile)
  check_cxx_compiler_flag(-fcf-protection TAMBREL_HAVE_CF_PROTECTION)
  if(TAMBREL_HAVE_CF_PROTECTION)
    list(APPEND tambrel_harden_compile -fcf-protection)
  endif()
endif()

# Position-independent executables; Debian's compiler makes them anyway,
# CMake then says so on the command line for compilers that do not.
include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

message(STATUS "Hardening (optimised builds): ${tambrel_harden_compile} ${tambrel_harden_link}")
