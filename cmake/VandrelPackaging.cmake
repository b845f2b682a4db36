# What 'cmake --install' puts beside the programs, and the two Debian packages
# that 'cmake --build build --target package' builds from it:
#   vandrel-cli  the command-line program (QtCore only, so a CI container pulls
#                in no GUI), its man pages and bash completion;
#   vandrel      the window, its desktop entry, icon, man page and the
#                examples; it depends on vandrel-cli of the same version.

set(VANDREL_PACKAGE_MAINTAINER "Vandrel developers <vandrel@example.org>"
    CACHE STRING "Maintainer field of the Debian packages")

foreach(page vandrel-cli.1 vandrel-cli-convert.1 vandrel-cli-profiles.1 vandrel-cli-inspect.1 vandrel-cli-release.1
             vandrel-cli-verify.1 vandrel-cli-keygen.1 VandrelSet.ini.5)
    vandrel_add_written_man_page(${page} cli)
endforeach()
if(VANDREL_BUILD_GUI)
    vandrel_add_man_page(vandrel vandrel window "stamp firmware images and write their S-record files, in a window"
        SEE_ALSO vandrel-cli vandrel-cli-convert vandrel-cli-profiles vandrel-cli-inspect vandrel)
endif()

if(NOT UNIX OR APPLE)
    return()
endif()

# The licence as each package's copyright file.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE vandrel_license)
set(vandrel_copyright ${CMAKE_BINARY_DIR}/copyright)
file(WRITE ${vandrel_copyright}
    "Vandrel: stamps firmware images and writes their S-record files.\n\n"
    "It is released under the MIT License (Expat):\n\n${vandrel_license}")
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)

# The changelog, compressed as Debian wants it: gzip -9n, so the same source
# gives the same bytes.
set(vandrel_changelog ${CMAKE_BINARY_DIR}/changelog.gz)
execute_process(COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/dist/changelog
    OUTPUT_FILE ${vandrel_changelog} RESULT_VARIABLE vandrel_gzip_result)
if(NOT vandrel_gzip_result EQUAL 0)
    message(FATAL_ERROR "cannot compress dist/changelog: ${vandrel_gzip_result}")
endif()
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/dist/changelog)

# Debian keeps no compiler notes in the programs it ships; strip(1) as CPack
# runs it leaves them.
function(vandrel_drop_compiler_notes program component)
    install(CODE "execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment --remove-section=.note
                      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\")"
        COMPONENT ${component})
endfunction()

set(vandrel_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc)
install(FILES ${vandrel_copyright} ${vandrel_changelog} DESTINATION ${vandrel_docdir}/vandrel-cli COMPONENT cli)
# The command-line walk-through uses the example project too.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/
    DESTINATION ${vandrel_docdir}/vandrel-cli/examples COMPONENT cli)
vandrel_drop_compiler_notes(vandrel-cli cli)
install(FILES ${PROJECT_SOURCE_DIR}/dist/completion/vandrel-cli
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions COMPONENT cli)

if(VANDREL_BUILD_GUI)
    install(FILES ${vandrel_copyright} ${vandrel_changelog} DESTINATION ${vandrel_docdir}/vandrel COMPONENT window)
    vandrel_drop_compiler_notes(vandrel window)
    install(FILES ${PROJECT_SOURCE_DIR}/dist/vandrel.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications COMPONENT window)
    # The project settings file's type, which the desktop entry declares;
    # dpkg's trigger on this folder updates the MIME database.
    install(FILES ${PROJECT_SOURCE_DIR}/dist/vandrel-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/mime/packages RENAME vandrel.xml COMPONENT window)
    set(vandrel_icons ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor)
    install(FILES ${PROJECT_SOURCE_DIR}/dist/icons/vandrel.svg
        DESTINATION ${vandrel_icons}/scalable/apps COMPONENT window)
    foreach(size 16 24 32 48 64 128 256)
        install(FILES ${PROJECT_SOURCE_DIR}/dist/icons/${size}x${size}/vandrel.png
            DESTINATION ${vandrel_icons}/${size}x${size}/apps COMPONENT window)
    endforeach()
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/
        DESTINATION ${vandrel_docdir}/vandrel/examples COMPONENT window)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vandrel)
set(CPACK_PACKAGE_VENDOR "The Vandrel developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VANDREL_PACKAGE_MAINTAINER})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VANDREL_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Library dependencies computed from the programs by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_COMPONENTS_ALL cli)
set(CPACK_DEBIAN_CLI_PACKAGE_NAME vandrel-cli)
# libcrypto (release hashes and signatures) comes in through dpkg-shlibdeps, as Qt
# does; signify-openbsd checks a signature without Vandrel.
set(CPACK_DEBIAN_CLI_PACKAGE_SUGGESTS "signify-openbsd")
set(CPACK_COMPONENT_CLI_DESCRIPTION
    "stamp firmware images and write their S-record files (command line)
vandrel-cli prepares a microcontroller firmware image for an update: from a
raw image (.bin) it writes a new image with a 32-byte stamped header and a
CRC-16 trailer, and a Motorola S-record file (.s19) or an Intel HEX file of
it. It reads device profiles from VandrelSet.ini, and checks a stamped image
and its S-record file before they are flashed. It releases every profile at
once with a manifest of SHA-256 hashes and an Ed25519 signature that
signify-openbsd checks. It needs QtCore and OpenSSL's libcrypto only.")

if(VANDREL_BUILD_GUI)
    list(APPEND CPACK_COMPONENTS_ALL window)
    set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME vandrel)
    set(CPACK_COMPONENT_WINDOW_DEPENDS cli)
    # The window's texts are Chinese; Qt 6 keeps its platform plugins apart.
    set(vandrel_window_depends "fonts-noto-cjk | fonts-wqy-microhei | fonts-wqy-zenhei")
    if(QT_VERSION_MAJOR EQUAL 6)
        string(APPEND vandrel_window_depends ", qt6-qpa-plugins")
    endif()
    set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS ${vandrel_window_depends})
    set(CPACK_COMPONENT_WINDOW_DESCRIPTION
        "stamp firmware images and write their S-record files (window)
Vandrel prepares a microcontroller firmware image for an update: from a raw
image (.bin) it writes a new image with a 32-byte stamped header and a CRC-16
trailer, and a Motorola S-record file (.s19) of it. Device profiles (three
paths per device), the start address and the software version come from
VandrelSet.ini in the project folder. The window's texts are in Chinese.")
endif()

include(CPack)
