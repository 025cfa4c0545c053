# Installation and the Debian package.
#
# ferrox finds std.tvh, Instructions.okl and Directories.okl in the folder of
# its own file, so every program is installed in one private folder beside
# those files, and PATH reaches each through a link. The three files are the
# user's to edit: they live in <etc>/ferrox, and the private folder links to
# them (ferrox reads through the links). <etc> is /etc for the prefix /usr
# (the Debian package) and <prefix>/etc for any other:
#
#   <prefix>/lib/ferrox/ferrox                the program, and each companion
#                                              program built (ferrox-list, ...)
#   <prefix>/lib/ferrox/std.tvh -> <etc>/ferrox/std.tvh   (and the other two)
#   <etc>/ferrox/std.tvh                      the standard include
#   <etc>/ferrox/Instructions.okl             the instruction set
#   <etc>/ferrox/Directories.okl              the include folders
#   <prefix>/bin/ferrox -> ../lib/ferrox/ferrox   (and each companion)
#   <prefix>/share/man/man1/ferrox*.1.gz      every manual page in docs/
#   <prefix>/share/doc/ferrox/                README, guides, changelog,
#                                              copyright, examples
#
# On Windows, where links are not used, the programs and the three files go
# side by side into <prefix>/bin.

include(GNUInstallDirs)

set(FERROX_PROGRAMS ferrox ${FERROX_COMPANIONS})
set(FERROX_DOC_FILES
  "${CMAKE_SOURCE_DIR}/README.md"
  "${CMAKE_SOURCE_DIR}/docs/language.md"
  "${CMAKE_SOURCE_DIR}/docs/errors.md")
foreach(doc ferrox-list.md map.md map.schema.json)
  if(EXISTS "${CMAKE_SOURCE_DIR}/docs/${doc}")
    list(APPEND FERROX_DOC_FILES "${CMAKE_SOURCE_DIR}/docs/${doc}")
  endif()
endforeach()
set(FERROX_EXAMPLE_FILES
  "${CMAKE_SOURCE_DIR}/examples/hello.tvs"
  "${CMAKE_SOURCE_DIR}/examples/table.tvs"
  "${CMAKE_SOURCE_DIR}/examples/console.tvh")
list(TRANSFORM FERROX_DATA_FILES PREPEND "${CMAKE_SOURCE_DIR}/data/"
     OUTPUT_VARIABLE FERROX_DATA_PATHS)

if(WIN32)
  install(TARGETS ${FERROX_PROGRAMS} RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  install(FILES ${FERROX_DATA_PATHS} DESTINATION "${CMAKE_INSTALL_BINDIR}")
  install(FILES ${FERROX_DOC_FILES} DESTINATION "${CMAKE_INSTALL_DOCDIR}")
else()
  set(FERROX_PRIVATE_DIR "lib/ferrox")
  install(TARGETS ${FERROX_PROGRAMS} RUNTIME DESTINATION "${FERROX_PRIVATE_DIR}")

  # Manual pages, compressed as Debian wants them (and man reads them).
  file(GLOB FERROX_MAN_PAGES CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/docs/ferrox*.1")
  set(FERROX_MAN_GZ "")
  foreach(page IN LISTS FERROX_MAN_PAGES)
    get_filename_component(name "${page}" NAME)
    set(gz "${CMAKE_BINARY_DIR}/man/${name}.gz")
    add_custom_command(OUTPUT "${gz}"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/man"
      COMMAND gzip -9n -c "${page}" > "${gz}"
      DEPENDS "${page}" VERBATIM)
    list(APPEND FERROX_MAN_GZ "${gz}")
  endforeach()
  set(FERROX_CHANGELOG_GZ "${CMAKE_BINARY_DIR}/doc/changelog.gz")
  add_custom_command(OUTPUT "${FERROX_CHANGELOG_GZ}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/doc"
    COMMAND gzip -9n -c "${CMAKE_SOURCE_DIR}/packaging/changelog" > "${FERROX_CHANGELOG_GZ}"
    DEPENDS "${CMAKE_SOURCE_DIR}/packaging/changelog" VERBATIM)
  add_custom_target(ferrox_compressed_docs ALL DEPENDS ${FERROX_MAN_GZ} ${FERROX_CHANGELOG_GZ})
  install(FILES ${FERROX_MAN_GZ} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")

  # The doc folder is named after the package, whatever the project's
  # DOCDIR says.
  set(FERROX_DOC_DIR "${CMAKE_INSTALL_DATAROOTDIR}/doc/ferrox")
  install(FILES ${FERROX_DOC_FILES} "${CMAKE_SOURCE_DIR}/packaging/copyright"
                "${FERROX_CHANGELOG_GZ}"
          DESTINATION "${FERROX_DOC_DIR}")

  # The configuration files, their links and the links in bin are made at
  # install time, when the prefix (and so <etc>) is known. Relative links
  # inside the prefix keep working wherever the tree is unpacked; the links
  # into <etc> are absolute, as links between top-level folders should be.
  string(REPLACE ";" " " FERROX_DATA_LIST "${FERROX_DATA_PATHS}")
  string(REPLACE ";" " " FERROX_PROGRAM_LIST "${FERROX_PROGRAMS}")
  install(CODE "
    set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
    if(prefix STREQUAL \"/usr\")
      set(etc \"/etc/ferrox\")
    else()
      set(etc \"\${prefix}/etc/ferrox\")
    endif()
    set(root \"\$ENV{DESTDIR}\")
    # file(INSTALL) puts DESTDIR in front of the folder itself.
    file(INSTALL ${FERROX_DATA_LIST} DESTINATION \"\${etc}\")
    foreach(program ${FERROX_PROGRAM_LIST})
      set(link \"\${root}\${prefix}/${CMAKE_INSTALL_BINDIR}/\${program}\")
      file(MAKE_DIRECTORY \"\${root}\${prefix}/${CMAKE_INSTALL_BINDIR}\")
      file(REMOVE \"\${link}\")
      file(CREATE_LINK \"../${FERROX_PRIVATE_DIR}/\${program}\" \"\${link}\" SYMBOLIC)
      message(STATUS \"Installing: \${link} -> ../${FERROX_PRIVATE_DIR}/\${program}\")
      list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${link}\")
    endforeach()
    foreach(data ${FERROX_DATA_FILES})
      set(link \"\${root}\${prefix}/${FERROX_PRIVATE_DIR}/\${data}\")
      file(REMOVE \"\${link}\")
      file(CREATE_LINK \"\${etc}/\${data}\" \"\${link}\" SYMBOLIC)
      message(STATUS \"Installing: \${link} -> \${etc}/\${data}\")
      list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${link}\")
    endforeach()
  ")
endif()
install(FILES ${FERROX_EXAMPLE_FILES} DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/ferrox/examples")

# cpack -G DEB in the build folder makes ferrox_<version>_<arch>.deb.
set(CPACK_PACKAGE_NAME ferrox)
set(CPACK_PACKAGE_VENDOR "ferrox developers")
set(CPACK_PACKAGE_CONTACT "ferrox developers <ferrox@ferrox.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "assembler for the Tavrune virtual machine")
set(CPACK_PACKAGE_DESCRIPTION
    "ferrox reads an assembly source file and writes a Tavrune disk image.
The instruction set is read at every run from Instructions.okl, kept in
/etc/ferrox, so one assembler serves every revision of the machine.
ferrox-list writes the listing, debug map, symbols and make rule of a
build.")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Files outside the prefix (/etc/ferrox) go into the package's tree: cpack
# installs into its staging folder as DESTDIR, with the prefix /usr.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The three installation files are the user's to edit: as conffiles, dpkg
# keeps local changes when the package is upgraded or reinstalled.
if(NOT WIN32)
  set(FERROX_CONFFILES "")
  foreach(data IN LISTS FERROX_DATA_FILES)
    string(APPEND FERROX_CONFFILES "/etc/ferrox/${data}\n")
  endforeach()
  file(WRITE "${CMAKE_BINARY_DIR}/debian/conffiles" "${FERROX_CONFFILES}")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${CMAKE_BINARY_DIR}/debian/conffiles")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()
find_program(FERROX_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(FERROX_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
endif()
include(CPack)
