#include "Commands.h"
#include "VastrelleError.h"

int CmdThumbnails(const Args&) { throw VastrelleError("not built yet"); }
int CmdCheck(const Args&) { throw VastrelleError("not built yet"); }
