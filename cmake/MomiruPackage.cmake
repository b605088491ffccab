# Desktop integration and the .deb package.
if(NOT MOMIRU_BUILD_GAME)
  return()
endif()

install(FILES "${CMAKE_SOURCE_DIR}/packaging/momiru-battle.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${CMAKE_SOURCE_DIR}/packaging/net.momiru.battle.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
if(EXISTS "${CMAKE_SOURCE_DIR}/assets/pictures/icon.svg")
  install(FILES "${CMAKE_SOURCE_DIR}/assets/pictures/icon.svg"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps"
          RENAME momiru-battle.svg)
endif()
foreach(size 64 128)
  set(png "${CMAKE_SOURCE_DIR}/assets/icons/${size}x${size}/momiru-battle.png")
  if(EXISTS "${png}")
    install(FILES "${png}" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
  endif()
endforeach()
install(FILES "${CMAKE_SOURCE_DIR}/packaging/momiru-battle.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/mime/packages")
install(FILES "${CMAKE_SOURCE_DIR}/completion/momiru-lab"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions")

# The licence lives in the machine-readable copyright file; the changelog and the manual pages
# are compressed as Debian keeps them (gzip -9n: the best compression, no name or time stamp,
# so the same source gives the same bytes).
install(FILES "${CMAKE_SOURCE_DIR}/README.md" "${CMAKE_SOURCE_DIR}/FORMATS.md"
              "${CMAKE_SOURCE_DIR}/packaging/copyright"
        DESTINATION "${CMAKE_INSTALL_DOCDIR}")
find_program(MOMIRU_GZIP gzip REQUIRED)
set(compressed "")
function(momiru_gzip source output)
  add_custom_command(OUTPUT "${output}"
    COMMAND "${MOMIRU_GZIP}" -9n -c "${source}" > "${output}"
    DEPENDS "${source}" VERBATIM)
  set(compressed ${compressed} "${output}" PARENT_SCOPE)
endfunction()
set(gz_dir "${CMAKE_BINARY_DIR}/compressed")
file(MAKE_DIRECTORY "${gz_dir}/man/ja")
# The package is built from its own source tree, with no separate upstream release (a native
# package in Debian's terms), so its one changelog is changelog.gz.
momiru_gzip("${CMAKE_SOURCE_DIR}/packaging/changelog" "${gz_dir}/changelog.gz")
install(FILES "${gz_dir}/changelog.gz" DESTINATION "${CMAKE_INSTALL_DOCDIR}")
foreach(page momiru-battle.6 momiru-lab.6)
  momiru_gzip("${CMAKE_SOURCE_DIR}/man/${page}" "${gz_dir}/man/${page}.gz")
  momiru_gzip("${CMAKE_SOURCE_DIR}/man/ja/${page}" "${gz_dir}/man/ja/${page}.gz")
  install(FILES "${gz_dir}/man/${page}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man6")
  install(FILES "${gz_dir}/man/ja/${page}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/ja/man6")
endforeach()
add_custom_target(momiru_compressed_docs ALL DEPENDS ${compressed})

# Run-time packages that shared-library scanning cannot see (the SoundFont, the font, Qt's
# platform plugins and translations) come from the one package list.
file(STRINGS "${CMAKE_SOURCE_DIR}/tools/debian-packages.txt" package_lines REGEX "^[a-z0-9]")
set(extra_depends "")
foreach(line IN LISTS package_lines)
  string(REGEX REPLACE "[ \t]+" ";" fields "${line}")
  list(POP_FRONT fields name)
  if("deb" IN_LIST fields)
    list(APPEND extra_depends "${name}")
  endif()
endforeach()
list(JOIN extra_depends ", " extra_depends)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "momiru-battle")
set(CPACK_PACKAGE_VENDOR "momiru-battle developers")
set(CPACK_PACKAGE_CONTACT "momiru-battle developers <dev@momiru-battle.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Turn-based colosseum battles between two raised monsters")
# One string: a list of pieces would reach the control file joined by semicolons. Lines stay
# under 80 columns.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Two players load monsters raised in the companion raising game from their\n"
    "save-data files and let them fight an automatic battle. Every battle on\n"
    "screen is kept as a replay that can be watched again, rewound and shared.\n"
    "Includes momiru-lab, a command-line tool that inspects save data, replays\n"
    "battles and simulates thousands of them.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "games")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The programs and the sound module are stripped. (CPack's -dbgsym .ddeb of CMake 3.25 lists its
# files in md5sums by their build-tree paths, so it is not made; a Release build has no debug
# information to keep.)
set(CPACK_STRIP_FILES ON)
# momiru-sound.so is a private module under lib/<arch>/momiru-battle, loaded by path: it gets no
# shlibs entry, and CPack adds no ldconfig call for a folder outside the linker's search path.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${extra_depends}")
set(CPACK_PACKAGE_FILE_NAME "momiru-battle_${PROJECT_VERSION}")
include(CPack)
