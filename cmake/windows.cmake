# Windows: the screen saver itself, vantrel.scr, and the zip it ships in.
# Included from the top level when cross-building with MinGW-w64.
enable_language(RC)

# Everything the program needs from Windows and the C++ runtime is linked in,
# so the .scr runs on a machine with no MinGW libraries. The host's WinMain
# comes out of a library, so the linker is told to look for it there.
add_executable(vantrel WIN32 resources/vantrel.rc resources/windows.rc)
set_target_properties(vantrel PROPERTIES SUFFIX .scr)
target_compile_definitions(vantrel PRIVATE
  VANTREL_VERSION_MAJOR=${PROJECT_VERSION_MAJOR} VANTREL_VERSION_MINOR=${PROJECT_VERSION_MINOR})
target_link_libraries(vantrel PRIVATE vantrel_host)
# Stripped: the runtime libraries bring debug sections that would double the file.
target_link_options(vantrel PRIVATE -static -s -Wl,--undefined=WinMain)

# The release: the .scr and a short read-me in one zip.
set(release_zip ${CMAKE_BINARY_DIR}/vantrel-${PROJECT_VERSION}-windows-x64.zip)
set(release_dir ${CMAKE_BINARY_DIR}/release)
file(MAKE_DIRECTORY ${release_dir})
add_custom_command(OUTPUT ${release_zip}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${release_zip}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:vantrel> ${release_dir}/vantrel.scr
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/docs/release-readme.txt ${release_dir}/README.txt
  COMMAND ${CMAKE_COMMAND} -E tar cf ${release_zip} --format=zip vantrel.scr README.txt
  WORKING_DIRECTORY ${release_dir}
  DEPENDS vantrel ${CMAKE_SOURCE_DIR}/docs/release-readme.txt
  VERBATIM)
add_custom_target(vantrel-release-zip DEPENDS ${release_zip})

if(VANTREL_TESTS)
  add_subdirectory(tests/windows/helpers)
endif()
