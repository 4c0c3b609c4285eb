#include "run_control.h"

namespace vantrel::client {

Answer Run(const Library& library) { return library.Call(EmptyRequest(), VANTREL_CMD_RUN); }

Answer Stop(const Library& library) { return library.Call(EmptyRequest(), VANTREL_CMD_STOP); }

}  // namespace vantrel::client
