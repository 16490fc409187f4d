// The command list the host prints for "help" and --help (kept in host/usage.txt, which
// scripts/run --help prints too).
#include "host/Driver.h"

namespace host {

std::string_view commandList()
{
    return
#include "host/CommandList.inc"
        ;
}

} // namespace host
