# Packages: a Debian package of the module and the tool, and zip archives of the Windows DLLs.
set(CPACK_PACKAGE_NAME qr47)
set(CPACK_PACKAGE_VENDOR "QR47")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "stereo resonant multimode filter plug-in and its host")
set(CPACK_PACKAGE_DESCRIPTION [=[
QR47 is a stereo resonant multimode filter that audio host applications
(sequencers, audio editors) load as a plug-in: a VST 2.x module, a CLAP
module, a VST 3 bundle, an LV2 bundle and a LADSPA module. Each channel
passes through a low-pass, high-pass, band-pass or notch section, two or four
poles, with a resonant low-pass mixed in and an output boost of up to 18 dB.
The VST 2.x module keeps sixteen programs of six parameters.

The qr47 command-line host renders audio files through the plug-in (or any
other module of the same interface), lists its parameters and programs with
their display texts, and draws its frequency response.]=])
# Files and folders keep the modes Debian expects whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)

# Debian. The maintainer's address is only a placeholder at a reserved domain until the project
# has one of its own: whoever publishes the package gives theirs.
set(QR47_PACKAGE_MAINTAINER "QR47 developers <qr47-devel@example.org>" CACHE STRING
  "Name and address of the Debian package's maintainer")
set(CPACK_PACKAGE_CONTACT "${QR47_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# CPack's own dependency scan would take the module in /usr/lib/vst for a shared library and call
# ldconfig from maintainer scripts; the staging script finds the dependencies instead.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(QR47_DEBIAN_VERSION "${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")
configure_file(packaging/changelog.in "${PROJECT_BINARY_DIR}/packaging/changelog.Debian" @ONLY)
set(CPACK_QR47_DEBIAN_DOCS "${PROJECT_SOURCE_DIR}/packaging/copyright"
  "${PROJECT_BINARY_DIR}/packaging/changelog.Debian")
set(CPACK_QR47_LINTIAN_OVERRIDES "${PROJECT_SOURCE_DIR}/packaging/lintian-overrides")

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME "windows-${CMAKE_SYSTEM_PROCESSOR}")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PRE_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/deb_staging.cmake")
endif()
include(CPack)
