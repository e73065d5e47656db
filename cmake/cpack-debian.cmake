# SPDX-License-Identifier: MIT
# Run by cpack once it has staged a package's files, before it packs them.
# A Debian package carries its copyright file and changelog under
# /usr/share/doc, and its manual page compressed; the staged files of the
# other packages, like `cmake --install`, stay as they are.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
# Without dpkg-shlibdeps cpack would still write a package, with no
# Depends at all: one that installs where it cannot run.
find_program(VARNHOLT_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(NOT VARNHOLT_DPKG_SHLIBDEPS)
  message(FATAL_ERROR "dpkg-shlibdeps is missing, so the package's dependencies cannot be computed: install dpkg-dev")
endif()
set(root ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
set(doc ${root}/share/doc/${CPACK_PACKAGE_NAME})
file(MAKE_DIRECTORY ${doc})
# The copyright file holds the licence, in the form Debian reads.
file(COPY_FILE ${CPACK_VARNHOLT_PACKAGING_DIR}/debian/copyright ${doc}/copyright)
file(REMOVE ${doc}/LICENSE)

# gzip -9n: the best compression, and no name or time stamp in the header,
# so that the package stays the same bytes from build to build.
function(compress from to)
  execute_process(COMMAND gzip -9n -c ${from} OUTPUT_FILE ${to} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${from} failed")
  endif()
endfunction()
compress(${CPACK_VARNHOLT_PACKAGING_DIR}/debian/changelog ${doc}/changelog.gz)

# Debian strips the compilers' version notes from its programs too.
if(CPACK_VARNHOLT_OBJCOPY)
  execute_process(COMMAND ${CPACK_VARNHOLT_OBJCOPY} --remove-section=.comment ${root}/bin/varnholt)
endif()
set(page ${root}/share/man/man1/varnholt.1)
compress(${page} ${page}.gz)
file(REMOVE ${page})
