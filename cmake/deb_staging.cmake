# Completes the Debian package's tree after CPack has installed into its staging folder and
# before it packs it: manual pages compressed, the copyright file and the changelog added, and
# the packages the binaries need found with dpkg-shlibdeps.
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
set(usr "${root}${CPACK_PACKAGING_INSTALL_PREFIX}")

# gzip -9n: best compression, and neither the file name nor a time stamp in the header, so that
# the package is the same from one build to the next.
function(gzip_best path)
  execute_process(COMMAND gzip -9nf "${path}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip failed on ${path}")
  endif()
endfunction()

file(GLOB_RECURSE manual_pages LIST_DIRECTORIES false "${usr}/share/man/*")
list(FILTER manual_pages EXCLUDE REGEX "\\.gz$")
foreach(page IN LISTS manual_pages)
  gzip_best("${page}")
endforeach()

set(doc "${usr}/share/doc/${CPACK_PACKAGE_NAME}")
# Copied, not installed: CPack's DESTDIR would place an install outside the tree.
file(COPY ${CPACK_QR47_DEBIAN_DOCS} DESTINATION "${doc}"
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
gzip_best("${doc}/changelog.Debian")
set(overrides "${usr}/share/lintian/overrides")
file(MAKE_DIRECTORY "${overrides}")
file(COPY_FILE "${CPACK_QR47_LINTIAN_OVERRIDES}" "${overrides}/${CPACK_PACKAGE_NAME}")
file(CHMOD "${overrides}/${CPACK_PACKAGE_NAME}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
# Folders made here get 0755 whatever the umask, like those CPack installs.
file(CHMOD_RECURSE "${usr}/share" DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The ELF files of the tree, by their first four bytes.
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${root}/*")
set(binaries "")
foreach(file IN LISTS staged)
  file(READ "${file}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    list(APPEND binaries "${file}")
  endif()
endforeach()
# dpkg-shlibdeps wants a debian/control beside it (it reads nothing from it), and warns that the
# binaries lie outside debian/: what it says is shown only when it fails.
set(work "${CPACK_TOPLEVEL_DIRECTORY}/shlibdeps")
file(MAKE_DIRECTORY "${work}/debian")
file(WRITE "${work}/debian/control" "")
execute_process(COMMAND dpkg-shlibdeps -O ${binaries} WORKING_DIRECTORY "${work}"
  OUTPUT_VARIABLE substitution ERROR_VARIABLE messages RESULT_VARIABLE failed
  OUTPUT_STRIP_TRAILING_WHITESPACE)
if(failed OR NOT substitution MATCHES "^shlibs:Depends=(.+)$")
  message(FATAL_ERROR "dpkg-shlibdeps failed on ${binaries}:\n${messages}")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CMAKE_MATCH_1}")
message(STATUS "Depends: ${CPACK_DEBIAN_PACKAGE_DEPENDS}")
