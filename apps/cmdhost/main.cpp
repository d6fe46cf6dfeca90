// TavCmdHost: runs the backup of one job file (from cron, systemd or by hand).
#include <string>
#include <vector>

#include "platform/Process.h"
#include "CmdHostApp.h"

int main(int argc, char** argv) {
    plat::KeepFreedMemory();
    return cmdhost::RunCmdHost(std::vector<std::string>(argv, argv + argc));
}
