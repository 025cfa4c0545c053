# Installation and the Debian package.
#
# ferrox finds std.tvh, Instructions.okl and Directories.okl in the folder of
# its own file, so the program and those three files are installed together
# in a private folder, and PATH reaches the program through a link:
#
#   <prefix>/lib/ferrox/ferrox                the program
#   <prefix>/lib/ferrox/std.tvh               the standard include
#   <prefix>/lib/ferrox/Instructions.okl      the instruction set
#   <prefix>/lib/ferrox/Directories.okl       the include folders
#   <prefix>/bin/ferrox -> ../lib/ferrox/ferrox
#   <prefix>/share/man/man1/ferrox.1
#   <prefix>/share/doc/ferrox/                README, language and error guides
#
# The program resolves the link to its real file, so it still finds its
# installation files when started as "ferrox" from PATH. On Windows, where
# links are not used, ferrox.exe and the three files go side by side into
# <prefix>/bin.

include(GNUInstallDirs)

set(FERROX_DOC_FILES
  "${CMAKE_SOURCE_DIR}/README.md"
  "${CMAKE_SOURCE_DIR}/docs/language.md"
  "${CMAKE_SOURCE_DIR}/docs/errors.md")
set(FERROX_EXAMPLE_FILES
  "${CMAKE_SOURCE_DIR}/examples/hello.tvs"
  "${CMAKE_SOURCE_DIR}/examples/table.tvs"
  "${CMAKE_SOURCE_DIR}/examples/console.tvh")
list(TRANSFORM FERROX_DATA_FILES PREPEND "${CMAKE_SOURCE_DIR}/data/"
     OUTPUT_VARIABLE FERROX_DATA_PATHS)

if(WIN32)
  install(TARGETS ferrox RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  install(FILES ${FERROX_DATA_PATHS} DESTINATION "${CMAKE_INSTALL_BINDIR}")
else()
  set(FERROX_PRIVATE_DIR "lib/ferrox")
  install(TARGETS ferrox RUNTIME DESTINATION "${FERROX_PRIVATE_DIR}")
  install(FILES ${FERROX_DATA_PATHS} DESTINATION "${FERROX_PRIVATE_DIR}")
  # A relative link keeps working when the whole tree is moved or unpacked
  # somewhere else (DESTDIR, a package's staging folder, dpkg -x).
  install(CODE "
    set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${bin}\")
    file(REMOVE \"\${bin}/ferrox\")
    file(CREATE_LINK \"../${FERROX_PRIVATE_DIR}/ferrox\" \"\${bin}/ferrox\" SYMBOLIC)
    message(STATUS \"Installing: \${bin}/ferrox -> ../${FERROX_PRIVATE_DIR}/ferrox\")
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${bin}/ferrox\")
  ")
  install(FILES "${CMAKE_SOURCE_DIR}/docs/ferrox.1"
          DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endif()
install(FILES ${FERROX_DOC_FILES} DESTINATION "${CMAKE_INSTALL_DOCDIR}")
install(FILES ${FERROX_EXAMPLE_FILES} DESTINATION "${CMAKE_INSTALL_DOCDIR}/examples")

# cpack -G DEB in the build folder makes ferrox_<version>_<arch>.deb.
set(CPACK_PACKAGE_NAME ferrox)
set(CPACK_PACKAGE_VENDOR "ferrox developers")
set(CPACK_PACKAGE_CONTACT "ferrox developers <ferrox@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "assembler for the Tavrune virtual machine")
set(CPACK_PACKAGE_DESCRIPTION
    "ferrox reads an assembly source file and writes a Tavrune disk image. The
instruction set is read at every run from Instructions.okl, installed in
/usr/lib/ferrox, so one assembler serves every revision of the machine.")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The three installation files are the user's to edit: as conffiles, dpkg
# keeps local changes when the package is upgraded or reinstalled.
if(NOT WIN32)
  set(FERROX_CONFFILES "")
  foreach(data IN LISTS FERROX_DATA_FILES)
    string(APPEND FERROX_CONFFILES
           "${CPACK_PACKAGING_INSTALL_PREFIX}/${FERROX_PRIVATE_DIR}/${data}\n")
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
