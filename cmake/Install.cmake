# Installing and packaging: the programs, the bundled software under
# share/vexa, the desktop integration, the man pages and guides, the CMake
# package for writing programs, and the Debian package (cpack -G DEB).
include(GNUInstallDirs)

set(VEXA_SHARE "${CMAKE_INSTALL_DATADIR}/vexa")
set(VEXA_PACKAGING "${CMAKE_SOURCE_DIR}/packaging")

foreach(program vexa vexa-headless mksdimage mkeeprom mkfont)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  endif()
endforeach()

# The bundled software, and the same layout in <build>/share/vexa so that the
# programs of a build tree find it exactly as installed ones do
# (<bin>/../share/vexa).
set(VEXA_STAGE "${CMAKE_BINARY_DIR}/share/vexa")
set(VEXA_CMAKE_FILES "${CMAKE_SOURCE_DIR}/cmake/VexaConfig.cmake" "${CMAKE_SOURCE_DIR}/cmake/VexaRamCheck.cmake")
if(VEXA_BUILD_ROMS)
  set(VEXA_BUNDLED_FILES "${VEXA_ROMS_DIR}/config.txt" "${VEXA_ROMS_DIR}/boot.rom" "${VEXA_ROMS_DIR}/monitor.eep"
      "${VEXA_ROMS_DIR}/card.img")
  install(FILES ${VEXA_BUNDLED_FILES} DESTINATION "${VEXA_SHARE}")
  install(FILES "${CMAKE_SOURCE_DIR}/roms/include/vexa.inc" DESTINATION "${VEXA_SHARE}/include")
  install(DIRECTORY "${CMAKE_SOURCE_DIR}/examples/" DESTINATION "${VEXA_SHARE}/examples")

  # The CMake package finds the tools next to itself when installed...
  install(FILES ${VEXA_CMAKE_FILES} DESTINATION "${VEXA_SHARE}/cmake")
  install(FILES "${CMAKE_SOURCE_DIR}/cmake/VexaPaths.installed.cmake" DESTINATION "${VEXA_SHARE}/cmake"
          RENAME VexaPaths.cmake)

  include(CMakePackageConfigHelpers)
  write_basic_package_version_file("${VEXA_STAGE}/cmake/VexaConfigVersion.cmake" VERSION "${PROJECT_VERSION}"
                                   COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
  install(FILES "${VEXA_STAGE}/cmake/VexaConfigVersion.cmake" DESTINATION "${VEXA_SHARE}/cmake")

  # ...and in a build tree (-DVexa_DIR=<build>/share/vexa/cmake) it uses the
  # tools just built.
  file(GENERATE OUTPUT "${VEXA_STAGE}/cmake/VexaPaths.cmake" CONTENT
"# Where the tools and files of the build tree are.
set(VEXA_DATA_DIR \"${VEXA_STAGE}\")
set(VEXA_INCLUDE_DIR \"${CMAKE_SOURCE_DIR}/roms/include\")
set(VEXA_CMAKE_DIR \"${VEXA_STAGE}/cmake\")
set(VEXA_MKSDIMAGE \"$<TARGET_FILE:mksdimage>\")
set(VEXA_HEADLESS \"$<TARGET_FILE:vexa-headless>\")
")
  add_custom_target(vexa_share_dir ALL
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${VEXA_STAGE}/cmake"
    COMMAND "${CMAKE_COMMAND}" -E copy_if_different ${VEXA_BUNDLED_FILES} "${VEXA_STAGE}"
    COMMAND "${CMAKE_COMMAND}" -E copy_if_different ${VEXA_CMAKE_FILES} "${VEXA_STAGE}/cmake"
    DEPENDS vexa_bootrom vexa_monitor vexa_card ${VEXA_BUNDLED_FILES} ${VEXA_CMAKE_FILES}
    COMMENT "Staging the bundled software in ${VEXA_STAGE}" VERBATIM)
endif()

# Desktop integration.
install(FILES "${VEXA_PACKAGING}/vexa.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${VEXA_PACKAGING}/io.github.vexa_emulator.vexa.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${VEXA_PACKAGING}/icons/vexa.svg" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
foreach(size 16 32 48 64 128 256)
  install(FILES "${VEXA_PACKAGING}/icons/vexa-${size}.png"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps" RENAME vexa.png)
endforeach()

# Man pages, compressed as Debian ships them.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(VEXA_MAN_PAGES)
foreach(page vexa.1 vexa-headless.1)
  set(out "${CMAKE_BINARY_DIR}/man/${page}.gz")
  add_custom_command(OUTPUT "${out}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/man"
    COMMAND "${CMAKE_COMMAND}" -E copy "${CMAKE_SOURCE_DIR}/docs/man/${page}" "${CMAKE_BINARY_DIR}/man/${page}"
    COMMAND "${GZIP_EXECUTABLE}" -9nf "${CMAKE_BINARY_DIR}/man/${page}"
    DEPENDS "${CMAKE_SOURCE_DIR}/docs/man/${page}" COMMENT "Compressing the man page ${page}" VERBATIM)
  list(APPEND VEXA_MAN_PAGES "${out}")
endforeach()
add_custom_target(vexa_man_pages ALL DEPENDS ${VEXA_MAN_PAGES})
install(FILES ${VEXA_MAN_PAGES} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")

install(FILES "${CMAKE_SOURCE_DIR}/README.md" "${CMAKE_SOURCE_DIR}/docs/programming.md"
              "${CMAKE_SOURCE_DIR}/docs/user-guide.md" DESTINATION "${CMAKE_INSTALL_DOCDIR}")
install(DIRECTORY "${CMAKE_SOURCE_DIR}/docs/images" DESTINATION "${CMAKE_INSTALL_DOCDIR}")

# The Debian package. Library dependencies come from dpkg-shlibdeps.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "vexa")
set(CPACK_PACKAGE_VENDOR "The Vexa emulator developers")
set(CPACK_PACKAGE_CONTACT "The Vexa emulator developers <vexa@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Emulator of the Vexa board, a Z80 home computer")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Emulator of the Vexa board, a Z80 home computer
 Runs the Vexa board's boot ROM, resident monitor and the programs on its
 SD card, with the board's video chip, four sound channels, timer, PS/2
 keyboard, maths assist and configuration controller. It includes a Z80
 debugger, a device diagnostics monitor, the command-line runner
 vexa-headless, the SD card and EEPROM image tools, and an include file and
 CMake package for assembling programs for the board with z80asm.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "otherosfs")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "z80asm, cmake")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
include(CPack)
