// GetOperatingSystemVer: the Windows version code of the running system.
#include "helvex1.h"

// The code names the Windows platform and version the caller runs on; every
// other system, Linux included, is "not recognised".  Exports that choose a
// method by the code therefore take the method of code 0 here.
extern "C" HELVEX1_API int32_t GetOperatingSystemVer(void)
{
    return 0;
}
