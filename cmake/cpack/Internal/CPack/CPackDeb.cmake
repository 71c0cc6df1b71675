# Vantel's Debian package keeps its two libraries private, in /usr/lib/vantel,
# out of the dynamic linker's search path, so no maintainer script has to run
# ldconfig for them. CPack's Debian generator adds such scripts for any
# library below /usr/lib; cpack reads this file in place of the generator's
# own preparation (CPACK_MODULE_PATH), runs that and then leaves the scripts
# out: the package has no maintainer scripts.
include("${CMAKE_ROOT}/Modules/Internal/CPack/CPackDeb.cmake")
set(GEN_CPACK_DEBIAN_GENERATE_POSTINST 0)
set(GEN_CPACK_DEBIAN_GENERATE_POSTRM 0)
