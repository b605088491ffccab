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
install(FILES "${CMAKE_SOURCE_DIR}/README.md" "${CMAKE_SOURCE_DIR}/LICENSE"
        DESTINATION "${CMAKE_INSTALL_DOCDIR}")

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
set(CPACK_PACKAGE_DESCRIPTION
    "Two players load monsters raised in the companion raising game from their save-data files\n"
    "and let them fight an automatic battle. Includes momiru-lab, a command-line tool that\n"
    "inspects save data, replays battles and simulates thousands of them.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "games")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${extra_depends}")
set(CPACK_PACKAGE_FILE_NAME "momiru-battle_${PROJECT_VERSION}")
include(CPack)
