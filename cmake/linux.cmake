# Linux: the saver itself, what `cmake --install` puts where, and the Debian
# package CPack makes of it (`cmake --build --preset dev --target package`).
# Included from the top level for the native build.
add_executable(vantrel platform/main.cpp)
target_link_libraries(vantrel PRIVATE vantrel_host)
set_target_properties(vantrel PROPERTIES VANTREL_PLATFORM vantrel_platform)

include(GNUInstallDirs)
set(VANTREL_HACKDIR "${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver" CACHE STRING
  "Where XScreenSaver runs its display modes from: below the prefix, or absolute (Debian's is libexec/xscreensaver)")

install(TARGETS vantrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# In the hack directory, a link to the program on the PATH; relative, so the
# tree can be moved (the package is built in a staging folder).
install(CODE "
  set(hackdir \"${VANTREL_HACKDIR}\")
  if(NOT IS_ABSOLUTE \"\${hackdir}\")
    set(hackdir \"\${CMAKE_INSTALL_PREFIX}/\${hackdir}\")
  endif()
  file(RELATIVE_PATH program \"\${hackdir}\" \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/vantrel\")
  message(STATUS \"Installing: \$ENV{DESTDIR}\${hackdir}/vantrel -> \${program}\")
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${hackdir}\")
  file(CREATE_LINK \"\${program}\" \"\$ENV{DESTDIR}\${hackdir}/vantrel\" SYMBOLIC)
")

# Manual pages are installed compressed, as Debian's policy asks.
set(man_page ${CMAKE_BINARY_DIR}/vantrel.6.gz)
add_custom_command(OUTPUT ${man_page}
  COMMAND sh -c "gzip -9n <'${CMAKE_SOURCE_DIR}/docs/vantrel.6' >'${man_page}'"
  DEPENDS ${CMAKE_SOURCE_DIR}/docs/vantrel.6 VERBATIM)
add_custom_target(vantrel-man ALL DEPENDS ${man_page})
install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

install(FILES docs/vantrel.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The package: vantrel_VERSION_amd64.deb, its dependencies read off the
# program's libraries by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "The Vantrel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screen saver: a flight through a city of glowing data towers")
set(CPACK_PACKAGE_DESCRIPTION "An endless camera flight through a city of 100 glowing data towers, mirrored
in a circuit-board floor, drawn with OpenGL 1.1. It runs full screen or in a
preview, from XScreenSaver as one of its display modes, and from xsecurelock.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Vantrel developers")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver | xsecurelock")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
