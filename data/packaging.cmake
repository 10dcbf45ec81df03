# make deb: a Debian package of the install tree, built by CPack. The shared
# library dependencies come from dpkg-shlibdeps; the Qt platform plugins are
# loaded at run time, so they are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelmora)
set(CPACK_PACKAGE_VENDOR "The Pelmora developers")
set(CPACK_PACKAGE_CONTACT "The Pelmora developers <developers@pelmora.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "random numbers from 27 probability distributions")
set(CPACK_PACKAGE_DESCRIPTION
    "Pelmora draws random numbers from 27 probability distributions, among
them Beta, Binomial, Gamma, Gauss Normal, Poisson, Student's T, Weibull and
the noncentral Chi-square, F and T distributions. The window program pelmora
shows each distribution's formula and its parameters; the command-line tool
pelmora-gen draws the same values for scripts, reproducibly with a seed.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://pelmora.org/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(PELMORA_GUI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-liberation)
endif()
# The sanitizer build builds only what its tests need (test-programs, which
# holds everything installed); packaging there must not build the rest first.
if(PELMORA_SANITIZE)
  set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
endif()
include(CPack)
