#include "server/daemon.h"

int main(int argc, char** argv) {
    return qd40::server::daemonMain(argc, argv);
}
