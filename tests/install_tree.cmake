# Installs the build into a fresh prefix and checks the tree an installed kiosk needs: the program,
# and under one application id the menu entry, the icons and the metadata; the manual page. The
# validators run when they are installed (./test.sh installs them).
#
#   cmake -D BUILD_DIR=<build> -D PREFIX=<empty folder> -D VERSION=<project version> -P install_tree.cmake

function(fail)
  string(JOIN "" message ${ARGN})
  message(FATAL_ERROR "${message}")
endfunction()

file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  fail("cmake --install failed: ${status}")
endif()

# The program is the one built, and runs from where it was installed.
execute_process(COMMAND ${PREFIX}/bin/quillmore --version
                RESULT_VARIABLE status OUTPUT_VARIABLE output)
if(NOT status EQUAL 0 OR NOT output STREQUAL "quillmore ${VERSION}\n")
  fail("bin/quillmore --version: status ${status}, said '${output}'")
endif()

# One application id: taken from the one menu entry, it must name everything else.
file(GLOB entries RELATIVE ${PREFIX}/share/applications ${PREFIX}/share/applications/*.desktop)
list(LENGTH entries count)
if(NOT count EQUAL 1)
  fail("expected one menu entry in share/applications, found: ${entries}")
endif()
string(REGEX REPLACE "\\.desktop$" "" id ${entries})
if(NOT id MATCHES "^[a-z]+\\.[a-z]+\\.[A-Za-z]+$")
  fail("the menu entry is not named by a reverse-DNS application id: ${entries}")
endif()
file(STRINGS ${PREFIX}/share/applications/${id}.desktop icon_line REGEX "^Icon=")
if(NOT icon_line STREQUAL "Icon=${id}")
  fail("the menu entry's icon is not the application id: ${icon_line}")
endif()

# Each PNG is as large as the folder it is in says (width and height from the PNG header).
foreach(size 48 64 128 256)
  set(icon ${PREFIX}/share/icons/hicolor/${size}x${size}/apps/${id}.png)
  if(NOT EXISTS ${icon})
    fail("missing icon ${icon}")
  endif()
  file(READ ${icon} header OFFSET 16 LIMIT 8 HEX)
  string(SUBSTRING ${header} 0 8 width_hex)
  string(SUBSTRING ${header} 8 8 height_hex)
  math(EXPR width "0x${width_hex}")
  math(EXPR height "0x${height_hex}")
  if(NOT width EQUAL size OR NOT height EQUAL size)
    fail("${icon} is ${width} x ${height}")
  endif()
endforeach()

set(metainfo ${PREFIX}/share/metainfo/${id}.metainfo.xml)
foreach(file ${PREFIX}/share/icons/hicolor/scalable/apps/${id}.svg ${metainfo}
             ${PREFIX}/share/man/man1/quillmore.1.gz)
  if(NOT EXISTS ${file})
    fail("missing ${file}")
  endif()
endforeach()
file(READ ${metainfo} metadata)
if(NOT metadata MATCHES "<release version=\"${VERSION}\" date=\"[0-9]+-[0-9]+-[0-9]+\"")
  fail("the metadata has no release of version ${VERSION}")
endif()
if(NOT metadata MATCHES "<launchable type=\"desktop-id\">${id}.desktop</launchable>")
  fail("the metadata does not launch ${id}.desktop")
endif()

find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
if(DESKTOP_FILE_VALIDATE)
  foreach(entry ${PREFIX}/share/applications/${id}.desktop
                ${PREFIX}/share/doc/quillmore/examples/quillmore-autostart.desktop)
    execute_process(COMMAND ${DESKTOP_FILE_VALIDATE} ${entry} RESULT_VARIABLE status OUTPUT_VARIABLE output)
    if(NOT status EQUAL 0 OR NOT output STREQUAL "")
      fail("desktop-file-validate ${entry}:\n${output}")
    endif()
  endforeach()
else()
  message(STATUS "desktop-file-validate is not installed: menu entries not validated")
endif()

find_program(APPSTREAMCLI appstreamcli)
if(APPSTREAMCLI)
  execute_process(COMMAND ${APPSTREAMCLI} validate --no-net ${metainfo}
                  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    fail("appstreamcli validate --no-net ${metainfo}:\n${output}")
  endif()
else()
  message(STATUS "appstreamcli is not installed: metadata not validated")
endif()
