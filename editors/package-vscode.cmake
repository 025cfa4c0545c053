# package-vscode.cmake - Packages the VS Code extension into a .vsix.
#
#   cmake -DSOURCE=<editors/vscode> -DSTAGE=<folder> -DFILES=<list>
#         -DVERSION=<version> -DNPM=<npm> -DVSIX=<file> -DSTATUS=<file>
#         -P package-vscode.cmake
#
# Copies FILES from SOURCE into STAGE (package.json with VERSION), installs
# the extension's packages there with npm ci (again only when
# package-lock.json changes) and runs vsce package, which writes VSIX. The
# outcome goes to STATUS for the tests. When npm cannot reach its registry
# the build goes on without the .vsix, STATUS says so and the tests that
# need the packages report themselves skipped; any other failure fails.

file(REMOVE "${VSIX}" "${STATUS}")
foreach(file IN LISTS FILES)
  configure_file("${SOURCE}/${file}" "${STAGE}/${file}" COPYONLY)
endforeach()
file(READ "${STAGE}/package.json" manifest)
string(JSON manifest SET "${manifest}" version "\"${VERSION}\"")
file(WRITE "${STAGE}/package.json" "${manifest}\n")

# vsce runs npm itself, and the packages' programs run under node.
get_filename_component(npm_folder "${NPM}" DIRECTORY)
set(ENV{PATH} "${npm_folder}:$ENV{PATH}")

set(lock "${SOURCE}/package-lock.json")
set(installed_lock "${STAGE}/node_modules/.ferrox-package-lock.json")
set(installed FALSE)
if(EXISTS "${installed_lock}")
  file(SHA256 "${lock}" wanted)
  file(SHA256 "${installed_lock}" have)
  if(wanted STREQUAL have)
    set(installed TRUE)
  endif()
endif()

if(NOT installed)
  execute_process(
    COMMAND "${NPM}" ci --ignore-scripts --no-audit --no-fund --prefer-offline
            --loglevel=error --fetch-retries=1 --fetch-retry-mintimeout=5000
            --fetch-retry-maxtimeout=20000
    WORKING_DIRECTORY "${STAGE}"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    execute_process(COMMAND "${NPM}" ping --fetch-retries=0
                    WORKING_DIRECTORY "${STAGE}"
                    RESULT_VARIABLE reachable OUTPUT_QUIET ERROR_QUIET)
    if(reachable EQUAL 0)
      message(FATAL_ERROR "npm ci failed in ${STAGE}:\n${output}")
    endif()
    file(WRITE "${STATUS}" "SKIPPED: npm cannot reach its registry, so the "
                           "VS Code extension's packages are not installed\n")
    message(NOTICE "Note: npm cannot reach its registry: the VS Code extension "
                   "is not packaged, and its tests are skipped")
    return()
  endif()
  configure_file("${lock}" "${installed_lock}" COPYONLY)
endif()

execute_process(
  COMMAND "${STAGE}/node_modules/.bin/vsce" package --out "${VSIX}"
          --skip-license --allow-missing-repository
  WORKING_DIRECTORY "${STAGE}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "vsce package failed in ${STAGE}:\n${output}")
endif()
file(WRITE "${STATUS}" "PACKAGED: ${VSIX}\n")
