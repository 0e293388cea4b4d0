#include "Commands.h"
#include "VastrelleError.h"

int CmdTypes(const Args&) { throw VastrelleError("not built yet"); }
int CmdCreate(const Args&) { throw VastrelleError("not built yet"); }
int CmdImport(const Args&) { throw VastrelleError("not built yet"); }
int CmdSettings(const Args&) { throw VastrelleError("not built yet"); }
