# Read by cpack before it packages. Every time stamp in the package comes
# from SOURCE_DATE_EPOCH: the one cpack is given, else the one the build
# was configured with (cmake/Reproducible.cmake).
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT CPACK_TAMBREL_SOURCE_DATE_EPOCH STREQUAL "")
  set(ENV{SOURCE_DATE_EPOCH} "${CPACK_TAMBREL_SOURCE_DATE_EPOCH}")
endif()
