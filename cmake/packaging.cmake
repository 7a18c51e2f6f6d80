# Installs the program, its documentation, its licence and its CMake package,
# and makes the packages: .tar.gz and .deb elsewhere, .zip on Windows. Every
# file in them bears one time, so that one source gives one set of bytes.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
set(package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/marvot)
install(TARGETS marvot EXPORT marvotTargets RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT marvotTargets NAMESPACE marvot:: DESTINATION ${package_dir})
write_basic_package_version_file(marvotConfigVersion.cmake
  COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES cmake/marvotConfig.cmake cmake/marvot_add_header.cmake cmake/c_keywords.inc
              ${PROJECT_BINARY_DIR}/marvotConfigVersion.cmake DESTINATION ${package_dir})
# The installed README leaves out what is about the source tree (between the
# markers <!-- source tree --> and <!-- /source tree -->), which no package
# holds; the examples it names are installed with it.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/README.md)
file(READ README.md text)
set(readme "")
string(FIND "${text}" "<!-- source tree -->" start)
while(start GREATER_EQUAL 0)
  string(SUBSTRING "${text}" 0 ${start} kept)
  string(APPEND readme "${kept}")
  string(FIND "${text}" "<!-- /source tree -->" stop)
  math(EXPR stop "${stop} + 21")  # the marker's length
  string(SUBSTRING "${text}" ${stop} -1 text)
  string(FIND "${text}" "<!-- source tree -->" start)
endwhile()
string(APPEND readme "${text}")
string(REGEX REPLACE "\n\n\n+" "\n\n" readme "${readme}")
file(WRITE ${PROJECT_BINARY_DIR}/README.md "${readme}")
install(FILES ${PROJECT_BINARY_DIR}/README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
set(examples ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES examples/boot.list examples/boot.h DESTINATION ${examples})
install(FILES examples/boot.list examples/cmake/CMakeLists.txt examples/cmake/show_boot.c
              examples/cmake/show_micro.c examples/cmake/boot_array.c
              examples/cmake/show_boot_cpp.cpp DESTINATION ${examples}/cmake)
install(FILES examples/cmake/micro/CMakeLists.txt examples/cmake/micro/micro.list
        DESTINATION ${examples}/cmake/micro)
install(FILES examples/boot.list examples/cmake/show_boot.c examples/meson/meson.build
        DESTINATION ${examples}/meson)

if(WIN32)
  install(FILES doc/marvot.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  set(CPACK_GENERATOR ZIP)
  set(package_system windows-x86_64)
else()
  # Debian's layout: a compressed manual page and changelog, and the licence
  # as a machine-readable copyright file. gzip -n stores no name or time.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${PROJECT_SOURCE_DIR}/doc/marvot.1 ${PROJECT_SOURCE_DIR}/doc/changelog
               ${PROJECT_SOURCE_DIR}/LICENSE)
  foreach(file marvot.1 changelog)
    execute_process(COMMAND gzip -n -9 -c ${PROJECT_SOURCE_DIR}/doc/${file}
                    OUTPUT_FILE ${PROJECT_BINARY_DIR}/${file}.gz COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
  file(READ LICENSE license)
  string(STRIP "${license}" license)
  string(REPLACE "\n\n" "\n.\n" license "${license}")  # a blank line is a point
  string(REPLACE "\n" "\n " license "${license}")
  file(WRITE ${PROJECT_BINARY_DIR}/copyright
       "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
       "Upstream-Name: marvot\n\nFiles: *\nCopyright: 2026 The marvot authors\n"
       "License: Expat\n ${license}\n")
  install(FILES ${PROJECT_BINARY_DIR}/marvot.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_BINARY_DIR}/changelog.gz ${PROJECT_BINARY_DIR}/copyright
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  set(CPACK_GENERATOR TGZ DEB)
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" package_system)
endif()
set(CPACK_PACKAGE_FILE_NAME "marvot-${PROJECT_VERSION}-${package_system}")
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/packages")
set(CPACK_PACKAGE_CONTACT "marvot maintainers <maintainers@marvot.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "translate assembler listings into C headers of opcodes")
set(CPACK_PACKAGE_DESCRIPTION [[
marvot reads an assembler listing and writes a C header that declares one
constant int array holding every opcode of the listing, two elements per
opcode: its low 32 bits, then its high 8 bits. Firmware builds run it to
embed microcode in C sources, and its CMake package makes such headers part
of a build.]])
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # marvot_1.0.0_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SECTION devel)

# The time every packaged file bears: SOURCE_DATE_EPOCH, else the last
# commit's, else (no git, or a clone git will not read) the release date.
set(release_epoch 1796691465)  # 2026-12-08 00:57:45 UTC, the release of 1.4.0, before its commit
set(CPACK_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
set(epoch_source "SOURCE_DATE_EPOCH")
find_package(Git QUIET)
if(NOT CPACK_SOURCE_DATE_EPOCH AND GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE CPACK_SOURCE_DATE_EPOCH
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  set(epoch_source "the last commit")
endif()
if(NOT CPACK_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  set(CPACK_SOURCE_DATE_EPOCH ${release_epoch})
  set(epoch_source "the release date")
endif()
message(STATUS "Packages carry the time ${CPACK_SOURCE_DATE_EPOCH} (${epoch_source})")
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack_options.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/cpack_options.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/cpack_deb_modes.cmake)
include(CPack)
