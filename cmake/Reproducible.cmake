# The same source gives the same binary, byte for byte, wherever, whenever
# and by whomever it is built (the Debian package's second build in
# scripts/test-debian-package.sh checks it).
#
# The time stamp is SOURCE_DATE_EPOCH, the reproducible-builds convention:
# taken from the environment when set (dpkg-buildpackage sets it to the
# date of debian/changelog's newest entry), else from the last commit's date,
# else (a source tree without its git history) from the newest changelog
# entry, as dpkg-buildpackage would. It is exported to this configure run,
# where string(TIMESTAMP) honours it, and dates the manual page.
#
# Sets TAMBREL_SOURCE_DATE_EPOCH and tambrel_prefix_maps.

set(tambrel_epoch_origin "")
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(TAMBREL_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
  set(tambrel_epoch_origin "from the environment")
else()
  set(TAMBREL_SOURCE_DATE_EPOCH "")
  find_package(Git QUIET)
  if(GIT_FOUND)
    # Only a repository of this very tree counts, not one it was unpacked in.
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --show-toplevel --absolute-git-dir
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE git_dirs OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE git_failed ERROR_QUIET)
    if(NOT git_failed)
      string(REPLACE "\n" ";" git_dirs "${git_dirs}")
      list(GET git_dirs 0 git_top)
      list(GET git_dirs 1 git_dir)
      file(REAL_PATH "${PROJECT_SOURCE_DIR}" source_real)
      if(git_top STREQUAL source_real)
        execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                        OUTPUT_VARIABLE TAMBREL_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                        ERROR_QUIET)
        set(tambrel_epoch_origin "the last commit's date")
        # A new commit or checkout moves HEAD's log: configure again.
        if(EXISTS "${git_dir}/logs/HEAD")
          set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${git_dir}/logs/HEAD")
        endif()
      endif()
    endif()
  endif()
  if(TAMBREL_SOURCE_DATE_EPOCH STREQUAL "")
    execute_process(COMMAND dpkg-parsechangelog -l ${PROJECT_SOURCE_DIR}/debian/changelog
                            -STimestamp
                    OUTPUT_VARIABLE TAMBREL_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                    ERROR_QUIET)
    set(tambrel_epoch_origin "no git history here: the date of debian/changelog's newest entry")
  endif()
endif()

if(TAMBREL_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  set(ENV{SOURCE_DATE_EPOCH} "${TAMBREL_SOURCE_DATE_EPOCH}")
  message(STATUS "SOURCE_DATE_EPOCH: ${TAMBREL_SOURCE_DATE_EPOCH} (${tambrel_epoch_origin})")
elseif(DEFINED ENV{SOURCE_DATE_EPOCH})
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is '$ENV{SOURCE_DATE_EPOCH}', not a count of seconds")
else()
  set(TAMBREL_SOURCE_DATE_EPOCH "")
  message(WARNING "No SOURCE_DATE_EPOCH, no git history and no changelog date: "
                  "the package will carry the time it is built at")
endif()

# No build folder reaches the binary, not even through the build ID that
# the linker computes over the debug information: the source folder is
# mapped to "." as dpkg-buildflags hands it out when run there, as in a
# package build, and this build folder to "./build". GCC tries the last map
# first, so the build folder wins where it lies inside the source folder.
set(tambrel_prefix_maps "")
find_program(TAMBREL_DPKG_BUILDFLAGS dpkg-buildflags)
mark_as_advanced(TAMBREL_DPKG_BUILDFLAGS)
if(TAMBREL_DPKG_BUILDFLAGS)
  execute_process(COMMAND ${TAMBREL_DPKG_BUILDFLAGS} --get CXXFLAGS
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  list(FILTER flags INCLUDE REGEX "^-f(file|debug|macro)-prefix-map=")
  list(APPEND tambrel_prefix_maps ${flags})
endif()
if(NOT tambrel_prefix_maps)
  list(APPEND tambrel_prefix_maps "-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.")
endif()
list(APPEND tambrel_prefix_maps "-ffile-prefix-map=${PROJECT_BINARY_DIR}=./build")

# The meta-object code includes each header by its path below an include
# folder ("window/frm_tambrel.h") rather than by one relative to the build
# folder, which would change with the build folder's place.
set(CMAKE_AUTOMOC_PATH_PREFIX ON)
