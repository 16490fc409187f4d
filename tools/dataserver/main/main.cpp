// quillmark-dataserver: runs the data server ("/brelvoxin/") and the account server
// ("/solvane/") on loopback until SIGINT or SIGTERM.
//
//   quillmark-dataserver [--db PATH] [--data-port N] [--account-port N] [--host ADDR] [--quiet]
//
// Ports default to the app's compiled-in 8091 and 8080; 0 picks a free port. Once both listen it
// prints "data-port N" and "account-port N" on standard output, one line each.
#include "tools/dataserver/DataServer.h"
#include "tools/dataserver/Text.h"

#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <string>

namespace {

int usage()
{
    std::fprintf(stderr,
        "usage: quillmark-dataserver [--db PATH] [--data-port N] [--account-port N] [--host ADDR] [--quiet]\n");
    return 2;
}

bool portArgument(const char* text, int& port)
{
    auto value = dataserver::parseInteger(text);
    if (!value || *value < 0 || *value > 65535)
        return false;
    port = static_cast<int>(*value);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    dataserver::DataServer::Options options;
    options.dataPort = 8091;
    options.accountPort = 8080;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--quiet") {
            options.log = [](const std::string&) { };
        } else if (arg == "--db" && hasValue) {
            options.databasePath = argv[++i];
        } else if (arg == "--host" && hasValue) {
            options.host = argv[++i];
        } else if (arg == "--data-port" && hasValue) {
            if (!portArgument(argv[++i], options.dataPort))
                return usage();
        } else if (arg == "--account-port" && hasValue) {
            if (!portArgument(argv[++i], options.accountPort))
                return usage();
        } else {
            return usage();
        }
    }

    // The signals are taken by sigwait below, not by whichever server thread happens to run.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        dataserver::DataServer server(options);
        server.start();
        std::printf("data-port %d\naccount-port %d\n", server.dataPort(), server.accountPort());
        std::fflush(stdout);
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.stop();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillmark-dataserver: %s\n", e.what());
        return 1;
    }
    return 0;
}
