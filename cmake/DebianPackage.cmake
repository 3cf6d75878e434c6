# The Debian package: `cpack -G DEB` in a build tree configured with
# -DCMAKE_INSTALL_PREFIX=/usr (scripts/deb) makes vardex_<version>_<arch>.deb of everything
# `cmake --install` puts in place. The packaged prefix is the configured one, which the print
# filter's road to the converter was built for.
set(CPACK_PACKAGE_NAME "vardex")
set(CPACK_PACKAGE_VERSION "1.00")
set(CPACK_PACKAGE_VENDOR "Brindlow")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PDF to XPS converter and its print filter")
set(CPACK_PACKAGE_DESCRIPTION
  "Vardex converts PDF documents into XPS packages. larkspan is its print filter: a print\n queue made with the shipped printer description turns PDF jobs into XPS packages.")
set(CPACK_PACKAGE_CONTACT "Vardex developers")
set(CPACK_GENERATOR "DEB")
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "text")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The libraries' packages come from dpkg-shlibdeps. The spooler (`cups`: the daemon with its
# backends and driver lists, and lpadmin and lp) and its PDF filter, which applies copies and
# page ranges before larkspan, are named here, and so are the packages the built-in font data
# and the CMYK profile were taken from: the program carries them under their licences, whose
# terms (and the fonts' own source) those packages hold.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "cups, cups-filters, fonts-urw-base35, libgs-common")
# A Debian package keeps below /usr: /usr/local is the administrator's own.
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_BINARY_DIR}/CPackProjectConfig.cmake")
file(WRITE "${CPACK_PROJECT_CONFIG_FILE}" "
if(CPACK_GENERATOR STREQUAL \"DEB\" AND NOT CPACK_PACKAGING_INSTALL_PREFIX STREQUAL \"/usr\")
  message(FATAL_ERROR \"A Debian package installs below /usr, this tree below \${CPACK_PACKAGING_INSTALL_PREFIX}: \"
    \"configure it with -DCMAKE_INSTALL_PREFIX=/usr (scripts/deb does)\")
endif()
")
include(CPack)
