// SystemReboot: asks the system to restart.
#include "helvex1.h"
#include "platform.h"

// The NT family first enables the shutdown privilege of the calling process;
// every other system (version code below 4, Linux among them) asks for the
// restart straight away.  Here the login manager decides whether the caller
// may restart the machine.
extern "C" HELVEX1_API HX_BOOL SystemReboot(void)
{
    return helvex1::platform().requestReboot() ? 1 : 0;
}
