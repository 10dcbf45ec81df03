# make deb: two Debian packages from one build, by CPack's DEB generator
# with one install component each:
#   gen     -> pelmora-gen: the command-line tool, its manual page and bash
#              completion; it links only the C and C++ run-time libraries
#   window  -> pelmora: the window program, its pictures, manual page,
#              desktop entry, metainfo and icons; it depends on Qt and on
#              pelmora-gen of the same version
# The shared library dependencies of each come from dpkg-shlibdeps; the Qt
# platform plugins are loaded at run time, so they are named here.
set(pelmora_maintainer "The Pelmora developers <developers@pelmora.org>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelmora)
set(CPACK_PACKAGE_VENDOR "The Pelmora developers")
set(CPACK_PACKAGE_CONTACT "${pelmora_maintainer}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://pelmora.org/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Folders the package creates are 0755 whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Strip as Debian's dh_strip does, without the .comment and .note sections
# (the compiler's version strings, which lintian reports).
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/strip-for-deb.cmake)

# The Beta and F rows are named for what they draw (see their records in
# core/rows.cpp), not for the textbook laws of their names.
set(pelmora_rows_text
    "Among them are Binomial, Cauchy, Chi-square, Gamma, Gauss Normal,
Poisson, Student's T, Weibull and the noncentral Chi-square and T. Three
rows keep the window's names but draw other laws: Beta draws
a*E1 / (a*E1 + b*E2), E1 and E2 exponential with mean 1, not Beta(a, b); F
draws E1 / E2 whatever its degrees of freedom (they cancel out), not
F(d1, d2); Noncentral F has the noncentrality in its denominator too.")

set(CPACK_COMPONENTS_ALL gen)
set(CPACK_DEBIAN_GEN_PACKAGE_NAME pelmora-gen)
set(CPACK_DEBIAN_GEN_DESCRIPTION
    "random numbers from 27 probability distributions, command line
pelmora-gen draws values of 27 probability distributions for scripts and
big batches: reproducibly with a seed, on every core, in shards across
processes or cluster nodes, as text or as raw doubles, with their statistics
and a histogram against the distribution's law on request.
.
${pelmora_rows_text}
.
This package holds the command-line tool alone, without Qt; the window
program is in the package pelmora.")

if(PELMORA_GUI)
  list(APPEND CPACK_COMPONENTS_ALL window)
  set(CPACK_COMPONENT_WINDOW_DEPENDS gen)
  set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME pelmora)
  set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS qt6-qpa-plugins)
  set(CPACK_DEBIAN_WINDOW_PACKAGE_RECOMMENDS fonts-liberation)
  set(CPACK_DEBIAN_WINDOW_DESCRIPTION
      "random numbers from 27 probability distributions, in a window
Pelmora is a desktop program that draws random numbers: pick a distribution,
type its parameters and a quantity, and press Generate. The values appear
one per line with 15 significant digits, beside a picture of the
distribution's formula, and can be saved as an RTF file, copied or cleared.
.
${pelmora_rows_text}
.
The command-line tool pelmora-gen, in its own package, draws the same
values.")
endif()

# Each package carries its own copyright file (machine-readable, with the
# licence text of LICENSE) and the Debian changelog. The version is native
# (no Debian revision), so the changelog is installed as changelog.gz.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE pelmora_license)
string(REGEX REPLACE "^.*Copyright[^\n]*\n\n" "" pelmora_license "${pelmora_license}")
string(REGEX REPLACE "\n+$" "" pelmora_license "${pelmora_license}")
string(REPLACE "\n\n" "\n.\n" pelmora_license "${pelmora_license}")
string(REPLACE "\n" "\n " pelmora_license " ${pelmora_license}")
file(READ ${CMAKE_CURRENT_LIST_DIR}/copyright pelmora_copyright)
file(WRITE ${PROJECT_BINARY_DIR}/data/copyright "${pelmora_copyright}${pelmora_license}\n")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_CURRENT_LIST_DIR}/copyright
             ${CMAKE_CURRENT_LIST_DIR}/changelog ${CMAKE_CURRENT_LIST_DIR}/org.pelmora.Pelmora.metainfo.xml)

# The changelog's latest entry and the metainfo's latest release name this
# version: a version bump that forgets one of them stops here.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/changelog pelmora_changelog_top LIMIT_COUNT 1)
if(NOT pelmora_changelog_top MATCHES "^pelmora \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "data/changelog starts with \"${pelmora_changelog_top}\"; "
                      "its latest entry must be for version ${PROJECT_VERSION}")
endif()
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/org.pelmora.Pelmora.metainfo.xml pelmora_release
     REGEX "<release " LIMIT_COUNT 1)
if(NOT pelmora_release MATCHES "version=\"${PROJECT_VERSION}\"")
  message(FATAL_ERROR "the metainfo's latest release is \"${pelmora_release}\", not ${PROJECT_VERSION}")
endif()

add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/data/changelog.gz
  COMMAND gzip -9 -n -c ${CMAKE_CURRENT_LIST_DIR}/changelog > ${PROJECT_BINARY_DIR}/data/changelog.gz
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog
  VERBATIM)
add_custom_target(changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/data/changelog.gz)
foreach(component ${CPACK_COMPONENTS_ALL})
  string(TOUPPER ${component} upper)
  install(FILES ${PROJECT_BINARY_DIR}/data/copyright ${PROJECT_BINARY_DIR}/data/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME}
          COMPONENT ${component})
endforeach()

# The sanitizer build builds only what its tests need (test-programs, which
# holds everything installed); packaging there must not build the rest first.
if(PELMORA_SANITIZE)
  set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
endif()
include(CPack)
