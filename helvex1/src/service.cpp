// StopService: stops a Windows service together with its dependents.
#include "helvex1.h"

// Services are stopped through the NT family's service manager only; on any
// other system (version code 3 or less, Linux included, which answers 0) the
// call answers -64 at once and leaves the message buffer as it is.
extern "C" HELVEX1_API int32_t StopService(const char * /*displayName*/, char * /*message*/,
                                           int32_t /*unused*/)
{
    return HX_NOT_NT_FAMILY;
}
