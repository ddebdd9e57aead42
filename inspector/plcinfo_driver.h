// The inspector's run: arguments, the images or symbol maps they name, the report and the
// exit status (see plcinfo_common.h).
#pragma once

namespace plcinfo {

int runPlcinfo(int argc, char** argv);

} // namespace plcinfo
