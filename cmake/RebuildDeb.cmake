# Run by cpack once it has written the .deb (CPACK_POST_BUILD_SCRIPTS).
# CPack takes each archive member's mode from a file it has just written,
# so under another umask the package changes. dpkg-deb builds it again from
# CPack's control files and contents, as a Debian package is built: members
# in a fixed mode and order, files owned by root, times clamped to
# SOURCE_DATE_EPOCH. The modes are first set as dh_fixperms would.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "[.]deb$")
    continue()
  endif()
  set(tree "${deb}.d")
  file(REMOVE_RECURSE "${tree}")
  foreach(step "dpkg-deb;--raw-extract;${deb};${tree}"
               "chmod;-R;u+rwX,go=rX;${tree}"
               "dpkg-deb;--root-owner-group;--build;${tree};${deb}")
    execute_process(COMMAND ${step} OUTPUT_VARIABLE output ERROR_VARIABLE output
                    RESULT_VARIABLE failed)
    if(failed)
      list(JOIN step " " step)
      message(FATAL_ERROR "${step} failed:\n${output}")
    endif()
  endforeach()
  file(REMOVE_RECURSE "${tree}")
endforeach()
