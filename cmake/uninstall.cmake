# Removes every file an install wrote, as listed in MANIFEST (the build folder's
# install_manifest.txt). The manifest leaves DESTDIR out, so give the same DESTDIR as the install.
# Run as: [DESTDIR=...] cmake -D MANIFEST=build/install_manifest.txt -P cmake/uninstall.cmake
if(NOT EXISTS "${MANIFEST}")
  message(FATAL_ERROR "Nothing to uninstall: ${MANIFEST} does not exist (install first)")
endif()
file(STRINGS "${MANIFEST}" installed_files)
foreach(installed IN LISTS installed_files)
  set(path "$ENV{DESTDIR}${installed}")
  if(EXISTS "${path}" OR IS_SYMLINK "${path}")
    message(STATUS "Removing ${path}")
    file(REMOVE "${path}")
  else()
    message(STATUS "Already gone: ${path}")
  endif()
endforeach()
