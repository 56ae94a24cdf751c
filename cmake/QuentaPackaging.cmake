# The Debian packages, one per install component, made by CPack's DEB generator (scripts/package
# builds them from the `package` preset, prefix /usr):
#   quenta            quentaapp, quenta-finder, the desktop shell module, the desktop entry and the
#                     application's AppStream metadata
#   quenta-http       the libcurl HTTP module of the update check, so that quenta needs no libcurl
#   quenta-<manager>  one file manager's module, in that file manager's extension folder and in the
#                     application's plug-ins folder (the installer registers from there), with its
#                     AppStream add-on metadata; removable on its own
# Every install() rule of the project names one of these components. Dependencies on libraries
# come from dpkg-shlibdeps; each package also gets its copyright file and changelog.Debian.gz.

set(QUENTA_PACKAGE_MAINTAINER "Quenta maintainers <maintainers@quentaapp.org>" CACHE STRING
    "The Maintainer field of the Debian packages")
set(QUENTA_PACKAGE_HOMEPAGE "https://quentaapp.org" CACHE STRING
    "The Homepage field of the Debian packages")

set(quenta_components quenta quenta-http)
foreach(host nautilus nemo caja thunar dolphin)
  string(TOUPPER ${host} upper)
  if(QUENTA_${upper})
    list(APPEND quenta_components quenta-${host})
  endif()
endforeach()

# The Debian version comes from the newest entry of the packaging changelog, whose upstream part
# must be the project's version: a release bump that forgets the changelog stops here.
set(quenta_changelog ${PROJECT_SOURCE_DIR}/data/packaging/changelog)
file(STRINGS ${quenta_changelog} quenta_changelog_head LIMIT_COUNT 1)
if(NOT quenta_changelog_head MATCHES "^quenta \\(([^)-]+)-([^)]+)\\) ")
  message(FATAL_ERROR "${quenta_changelog}: the first line is not a Debian changelog entry of quenta")
endif()
set(quenta_debian_release ${CMAKE_MATCH_2})
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "${quenta_changelog} starts with version ${CMAKE_MATCH_1}, the project is "
                      "${PROJECT_VERSION}: add a changelog entry for the release")
endif()
# The same for the release list of the application's AppStream metadata.
set(quenta_metainfo ${PROJECT_SOURCE_DIR}/data/org.quentaapp.Quenta.metainfo.xml)
file(STRINGS ${quenta_metainfo} quenta_newest_release REGEX "<release " LIMIT_COUNT 1)
if(NOT quenta_newest_release MATCHES "version=\"${PROJECT_VERSION}\"")
  message(FATAL_ERROR "${quenta_metainfo}: the newest release is not ${PROJECT_VERSION}")
endif()

# changelog.Debian.gz as Debian policy wants it: maximal compression, no name or time stamp, so
# that two builds of the same sources give the same bytes.
set(quenta_changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz)
add_custom_command(OUTPUT ${quenta_changelog_gz}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
                   COMMAND sh -c "gzip -9n -c \"$1\" >\"$2\"" sh ${quenta_changelog}
                           ${quenta_changelog_gz}
                   DEPENDS ${quenta_changelog} VERBATIM)
add_custom_target(quenta_changelog_gz ALL DEPENDS ${quenta_changelog_gz})

foreach(component IN LISTS quenta_components)
  install(FILES ${PROJECT_SOURCE_DIR}/data/packaging/copyright ${quenta_changelog_gz}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${component} COMPONENT ${component})
endforeach()

# AppStream: the application, and each file manager's module as an add-on of that file manager
# (<extends> names the component id of the file manager's own metadata).
install(FILES ${quenta_metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT quenta)
foreach(manager Nautilus Nemo Caja Thunar Dolphin)
  string(TOLOWER ${manager} lower)
  if("quenta-${lower}" IN_LIST quenta_components)
    install(FILES ${PROJECT_SOURCE_DIR}/data/org.quentaapp.Quenta.${manager}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT quenta-${lower})
  endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quenta)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quenta maintainers")
set(CPACK_PACKAGE_CONTACT "${QUENTA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${QUENTA_PACKAGE_HOMEPAGE}")
# Every package has a synopsis of its own (the first line of its description): CPackDeb would
# put a project-wide summary in front of each one.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_COMPONENTS_ALL ${quenta_components})
set(CPACK_DEB_COMPONENT_INSTALL ON)
# Staged with DESTDIR under the configured prefix: the file managers' folders are absolute paths
# under /usr, and the install skips what only an in-place install does (update-desktop-database).
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/cpack)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${quenta_debian_release})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUENTA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QUENTA_PACKAGE_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(quenta_same_version "quenta (= ${PROJECT_VERSION}-${quenta_debian_release})")

foreach(component IN LISTS quenta_components)
  string(TOUPPER ${component} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${component})
  if(NOT component STREQUAL "quenta")
    set(CPACK_DEBIAN_${upper}_PACKAGE_DEPENDS "${quenta_same_version}")
  endif()
endforeach()

# The installer window's enabling and re-registering steps run xdg-mime and
# update-desktop-database; requests and menus work without them.
set(CPACK_DEBIAN_QUENTA_PACKAGE_RECOMMENDS "xdg-utils, desktop-file-utils")
set(CPACK_DEBIAN_QUENTA_PACKAGE_SUGGESTS "quenta-http")
set(CPACK_DEBIAN_QUENTA_DESCRIPTION
    "file-creation and file-handling commands for the file manager
Quenta adds a submenu to the right-click menu of the file manager: new files
from templates (Markdown, text, office documents and more), cut and paste of
files, copying the paths of a selection and opening a terminal in the folder
shown.

This package holds the application that carries out those requests
(quentaapp, with its desktop shell: progress, alerts and the installer window
that registers and enables the extension), the command-line host
quenta-finder, and the desktop entry that makes quentaapp the handler of the
quentaapp URL scheme. Install the package of your file manager
(quenta-nautilus, quenta-nemo, quenta-caja, quenta-thunar or quenta-dolphin)
for the menu, and quenta-http for the update check.")
set(CPACK_DEBIAN_QUENTA-HTTP_DESCRIPTION
    "network module of Quenta's update check
The update check of Quenta's installer window and menus fetches the release
manifest over HTTPS through this module, which links libcurl. Without it the
update check reports itself unavailable and everything else works as before,
so the quenta package itself does not depend on libcurl.")

set(quenta_manager_nautilus "GNOME Files (Nautilus)")
set(quenta_manager_nemo "Nemo")
set(quenta_manager_caja "Caja")
set(quenta_manager_thunar "Thunar")
set(quenta_manager_dolphin "Dolphin")
foreach(component IN LISTS quenta_components)
  if(component MATCHES "^quenta-(nautilus|nemo|caja|thunar|dolphin)$")
    set(host ${CMAKE_MATCH_1})
    string(TOUPPER ${component} upper)
    set(CPACK_DEBIAN_${upper}_PACKAGE_ENHANCES ${host})
    set(CPACK_DEBIAN_${upper}_DESCRIPTION
        "Quenta's context menu for ${quenta_manager_${host}}
This package adds Quenta's submenu to the right-click menu of
${quenta_manager_${host}}: new files from templates, cut and paste of files,
copying paths and opening a terminal in the folder shown. The module goes into
the file manager's extension folder and into Quenta's plug-ins folder, from
which the installer window registers it again when needed. Restart the file
manager after installing it.")
  endif()
endforeach()

include(CPack)
