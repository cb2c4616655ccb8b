// virtual_modem: creates a pseudo-terminal pair and plays the modem on the
// master side. The console opens the printed slave path (directly, or
// through a port-map alias such as COM5). Ends on Ctrl+C.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "Modem.h"

namespace {

volatile sig_atomic_t stopRequested = 0;

void WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

int main() {
  int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  char slave[128];
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
      ptsname_r(master, slave, sizeof slave) != 0) {
    std::perror("virtual_modem: pseudo-terminal");
    return 1;
  }
  // Holding the slave open keeps the master from reporting a hang-up (and
  // poll from returning at once) while no console has the port open; raw
  // mode keeps the answers from being echoed back as commands.
  int keeper = open(slave, O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios t{};
  if (keeper < 0 || tcgetattr(keeper, &t) != 0) {
    std::perror("virtual_modem: slave");
    return 1;
  }
  cfmakeraw(&t);
  tcsetattr(keeper, TCSANOW, &t);

  struct sigaction action {};
  action.sa_handler = [](int) { stopRequested = 1; };
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  const char* config = getenv("XDG_CONFIG_HOME");
  std::string folder = config && *config ? std::string(config) + "/talven-console/ports"
                                         : "~/.config/talven-console/ports";
  std::printf("TALVEN KORIM 300 on %s\n", slave);
  std::printf("Open it as the port \"%s\", or make it COM5:\n", slave);
  std::printf("  mkdir -p %s && ln -sfn %s %s/COM5\n", folder.c_str(), slave, folder.c_str());
  std::printf("Ctrl+C ends.\n");
  std::fflush(stdout);

  Modem modem;
  char buffer[512];
  while (!stopRequested) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    ssize_t n = read(master, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) break;
    WriteAll(master, modem.Receive(std::string(buffer, static_cast<std::size_t>(n))));
  }
  close(keeper);
  close(master);
  return 0;
}
