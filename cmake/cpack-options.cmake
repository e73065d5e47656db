# SPDX-License-Identifier: MIT
# Read by cpack for each package it makes. A Debian package installs under
# /usr; an archive holds bin/ and share/ at its top, for any prefix.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()
