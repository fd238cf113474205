# `cpack -G DEB` in the build folder: the package "sonvault" with both programs, the desktop
# entry, the icons, the AppStream file, the manual pages and the bash completions, as
# `cmake --install` lays them out under /usr. The libraries it needs come from dpkg-shlibdeps;
# the General MIDI SoundFont that songs play with is recommended (effects play without it).
set(linux ${CMAKE_CURRENT_LIST_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sonvault)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Merrow Applications")
set(CPACK_PACKAGE_CONTACT "Merrow Applications <sonvault@merrow.example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://sonvault.example.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "browse, play and export the music and sounds of Tarnholm")
set(CPACK_PACKAGE_DESCRIPTION
    "Sonvault lists the songs (HMI sequenced music) and the sound effects of\n"
    "the game Tarnholm from the game's data folder, plays them, and exports\n"
    "one of them or all of them as MIDI and WAV files, or renders the\n"
    "soundtrack to FLAC, Ogg Vorbis or WAV. When the game folder lacks its\n"
    "sound archive, it is rebuilt from the game's PACKED.DAT. The game's own\n"
    "files are never changed.\n"
    "\n"
    "The package holds the desktop application and the command-line tool\n"
    "sonvault-cli.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fluid-soundfont-gm | sf2-soundfont-gm")
# Manual pages and the changelog are compressed in the staging folder, as Debian has them.
set(CPACK_PRE_BUILD_SCRIPTS ${linux}/CompressDocs.cmake)

install(FILES ${linux}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/sonvault)
install(FILES ${linux}/changelog DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/sonvault)
include(CPack)
