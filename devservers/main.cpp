// mervale-devserver: starts a throw-away database server that outlives the command, for the
// CTest fixtures (and for a developer who wants one by hand), and stops it again.
#include <cstdio>
#include <exception>
#include <string>

#include "devservers/MariaDbServer.h"
#include "devservers/PgServer.h"

namespace {

const char kUsage[] =
    "usage: mervale-devserver start|stop postgresql|mariadb STATE_DIR\n"
    "start: starts the server on a free loopback port and writes what the tests need to use it\n"
    "       to STATE_DIR/postgresql.state or STATE_DIR/mariadb.state; the tests use it when\n"
    "       $MERVALE_DEVSERVER_STATE_DIR names that folder.\n"
    "stop:  stops that server and removes its folder and its state file.\n";

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc == 4 ? argv[1] : "", kind = argc == 4 ? argv[2] : "";
  const bool pg = kind == "postgresql";
  if ((command != "start" && command != "stop") || (!pg && kind != "mariadb")) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  const std::string stateDir = argv[3];
  try {
    if (command == "start") {
      const std::string started =
          pg ? mv::dev::PgServer::StartShared(stateDir) : mv::dev::MariaDbServer::StartShared(stateDir);
      std::printf("%s\n", started.c_str());
    } else if (pg) {
      mv::dev::PgServer::StopShared(stateDir);
    } else {
      mv::dev::MariaDbServer::StopShared(stateDir);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mervale-devserver %s %s: %s\n", command.c_str(), kind.c_str(), e.what());
    return 2;
  }
  return 0;
}
