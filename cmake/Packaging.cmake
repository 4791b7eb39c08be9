# Install rules and packages of the program, made with CPack from a Release
# build (scripts/package.sh does both in one go):
#   Linux    a Debian package: /usr/bin/replywick, a menu entry, icons in
#            the hicolor theme, a manual page and the documents Debian
#            wants (copyright, changelog);
#   Windows  a zip: replywick.exe, README.txt and LICENSE.txt.

if(NOT TARGET replywick)
    return()
endif()

set(RW_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(RW_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${RW_PACKAGING_OUT})

set(CPACK_PACKAGE_NAME replywick)
set(CPACK_PACKAGE_VENDOR "The Replywick developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
# Source packages come from git, not from CPack.
set(CPACK_SOURCE_GENERATOR "")

if(WIN32)
    # Windows users open text files in Notepad: CR LF line ends.
    configure_file(${RW_PACKAGING_DIR}/windows/README.txt.in ${RW_PACKAGING_OUT}/README.txt
                   @ONLY NEWLINE_STYLE CRLF)
    configure_file(${CMAKE_SOURCE_DIR}/LICENSE ${RW_PACKAGING_OUT}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
    # A portable program: everything in one folder, the settings file
    # beside the program.
    install(TARGETS replywick RUNTIME DESTINATION .)
    install(FILES ${RW_PACKAGING_OUT}/README.txt ${RW_PACKAGING_OUT}/LICENSE.txt DESTINATION .)

    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME replywick-${PROJECT_VERSION}-windows-x64)
    # "Extract all" makes a folder named after the zip already.
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
    include(CPack)
    return()
endif()

# --help and --version, answered before the program looks for an X display.
target_sources(replywick PRIVATE ${CMAKE_SOURCE_DIR}/backends/qt/CommandLine.cpp)

set(RW_PACKAGE_MAINTAINER "The Replywick developers <maintainers@replywick.invalid>"
    CACHE STRING "Maintainer field of the Debian package: Name <address>")

# dpkg unpacks directories with the modes it finds; the packager's umask
# must not leak into them.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Manual page and changelog, compressed as Debian wants them: gzip -9, and
# -n so that no time stamp or file name makes two builds differ.
# SOURCE_DATE_EPOCH (set by scripts/package.sh from the last commit) fixes
# the changelog date for the same reason.
string(TIMESTAMP RW_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${RW_PACKAGING_DIR}/replywick.1.in ${RW_PACKAGING_OUT}/replywick.1 @ONLY)

# AppStream metadata for software centres. Its screenshots are web
# addresses: given RW_SCREENSHOT_BASE_URL (where docs/screenshots is
# published, ending in "/"), it names the English pictures of the item
# list and the item editor; without one it has none.
set(RW_SCREENSHOT_BASE_URL "" CACHE STRING
    "Web address of the published docs/screenshots folder, ending in /, for the AppStream metadata")
string(TIMESTAMP RW_RELEASE_DATE "%Y-%m-%d" UTC)
function(rw_metainfo out baseUrl)
    set(RW_METAINFO_SCREENSHOTS "")
    if(baseUrl)
        set(RW_METAINFO_SCREENSHOTS
"  <screenshots>
    <screenshot type=\"default\">
      <caption>The item editor: the window search tool fills in a dialog's facts</caption>
      <image>${baseUrl}editor-en.png</image>
    </screenshot>
    <screenshot>
      <caption>The list of items</caption>
      <image>${baseUrl}list-en.png</image>
    </screenshot>
  </screenshots>
")
    endif()
    configure_file(${RW_PACKAGING_DIR}/replywick.metainfo.xml.in ${out} @ONLY)
endfunction()
rw_metainfo(${RW_PACKAGING_OUT}/replywick.metainfo.xml "${RW_SCREENSHOT_BASE_URL}")
if(NOT RW_SCREENSHOT_BASE_URL)
    message(STATUS "AppStream metadata without screenshots (RW_SCREENSHOT_BASE_URL is not set)")
endif()
# The same metadata with screenshots, for the test that validates both.
rw_metainfo(${CMAKE_BINARY_DIR}/tests/replywick-screenshots.metainfo.xml "https://example.org/replywick/screenshots/")
configure_file(${RW_PACKAGING_DIR}/changelog.in ${RW_PACKAGING_OUT}/changelog @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/README.md ${RW_PACKAGING_OUT}/README.md COPYONLY)
set(RW_GZIPPED)
foreach(doc replywick.1 changelog README.md)
    add_custom_command(OUTPUT ${RW_PACKAGING_OUT}/${doc}.gz
                       COMMAND gzip -9nkf ${RW_PACKAGING_OUT}/${doc}
                       DEPENDS ${RW_PACKAGING_OUT}/${doc}
                       VERBATIM)
    list(APPEND RW_GZIPPED ${RW_PACKAGING_OUT}/${doc}.gz)
endforeach()
add_custom_target(rw_package_docs ALL DEPENDS ${RW_GZIPPED})

install(TARGETS replywick RUNTIME DESTINATION bin)
# A stripped install also drops the compilers' version notes, as Debian's
# own packages do (dh_strip).
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/replywick\")
    endif()")
install(FILES ${RW_PACKAGING_DIR}/replywick.desktop DESTINATION share/applications)
install(FILES ${RW_PACKAGING_OUT}/replywick.metainfo.xml DESTINATION share/metainfo)
# Menu icons: the notification-area picture, the larger ones scaled from it
# (packaging/icons/make_icons.py).
foreach(size 16 32)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/x11/OKon-${size}.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME replywick.png)
endforeach()
foreach(size 48 64 128 256)
    install(FILES ${RW_PACKAGING_DIR}/icons/replywick-${size}.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME replywick.png)
endforeach()
install(FILES ${RW_PACKAGING_OUT}/replywick.1.gz DESTINATION share/man/man1)
install(FILES ${RW_PACKAGING_DIR}/copyright ${RW_PACKAGING_OUT}/changelog.gz ${RW_PACKAGING_OUT}/README.md.gz
        DESTINATION share/doc/replywick)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT ${RW_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${RW_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "answers recurring dialog windows with macros")
set(CPACK_PACKAGE_DESCRIPTION
"Replywick sits in the notification area and answers nagging dialog windows
for you. Whenever a window comes to the foreground it compares the window
with your list of items (title, window class, message text, size, owning
program) and plays the first matching item's macro into it: typed
characters, named keys, pauses, dialog-button presses and window commands.

It works in X11 sessions and in Wayland sessions of wlroots compositors
(sway, Hyprland, labwc, river, Wayfire); dialog texts and buttons of GTK
and Qt programs are reached through the accessibility bus (AT-SPI).")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries come from dpkg-shlibdeps. Qt loads its X11 and Wayland
# platform plugins at run time, which no library dependency names.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-wayland")
# Without the accessibility bus everything but dialog texts and buttons works.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "at-spi2-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
