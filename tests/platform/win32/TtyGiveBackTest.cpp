// A tty is given back as it was found, and only terminals are ever opened.
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "Devices.h"
#include "Support.h"
#include "TtyIoctl.h"

using namespace w32test;

namespace {

// Opens `path` read-write in a child that runs as nobody (when started as
// root, which skips TIOCEXCL and file modes). Returns 0 or the errno.
int OpenAsNobody(const std::string& path) {
  const pid_t child = fork();
  if (child == 0) {
    if (getuid() == 0) {
      if (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
          setresuid(65534, 65534, 65534) != 0)
        _exit(125);
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    _exit(fd >= 0 ? 0 : errno);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

bool SameState(const win32::TtySavedState& a, const win32::TtySavedState& b) {
  return std::memcmp(a.bytes, b.bytes, sizeof a.bytes) == 0;
}

// Another program holds the slave open (as the pseudo-terminal modem does,
// or a getty) while the port opens, reconfigures and closes it.
TEST(TtyGiveBack, CloseRestoresSettingsAndClearsTheExclusiveFlag) {
  Pty pty;
  ASSERT_TRUE(pty.Ok());
  const int other = ::open(pty.Slave().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::chmod(pty.Slave().c_str(), 0666), 0);
  win32::TtySavedState before;
  ASSERT_EQ(win32::TtySave(other, before), 0);
  ASSERT_EQ(OpenAsNobody(pty.Slave()), 0) << "the device is free before";

  HANDLE h = OpenPort(pty.Slave());
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
  DCB dcb = EngineDcb();
  dcb.BaudRate = 57600;
  dcb.Flags |= DCB_fOutX | DCB_fInX;
  ASSERT_TRUE(SetCommState(h, &dcb));
  bool exclusive = false;
  ASSERT_EQ(win32::TtyIsExclusive(other, exclusive), 0);
  EXPECT_TRUE(exclusive) << "held exclusively while open";
  win32::TtySavedState during;
  ASSERT_EQ(win32::TtySave(other, during), 0);
  EXPECT_FALSE(SameState(before, during)) << "raw mode at another rate while open";
  EXPECT_EQ(OpenAsNobody(pty.Slave()), EBUSY) << "kept out while open";

  ASSERT_TRUE(CloseHandle(h));
  win32::TtySavedState after;
  ASSERT_EQ(win32::TtySave(other, after), 0);
  EXPECT_TRUE(SameState(before, after)) << "the settings the open found";
  ASSERT_EQ(win32::TtyIsExclusive(other, exclusive), 0);
  EXPECT_FALSE(exclusive);
  EXPECT_EQ(OpenAsNobody(pty.Slave()), 0) << "another user can open it after the close";
  ::close(other);
}

// Paths and names that must never reach open(): each is refused with 2,
// and inotify sees no open of the files.
TEST(TtyOpenRefuses, EverythingButATerminal) {
  char tmpl[] = "/tmp/win32-refuse-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  const std::string file = dir + "/data", fifo = dir + "/fifo", map = dir + "/map";
  std::ofstream(file) << "keep me";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(mkdir(map.c_str(), 0700), 0);
  ASSERT_EQ(symlink("/dev/null", (map + "/COM61").c_str()), 0);
  ASSERT_EQ(symlink(file.c_str(), (map + "/COM62").c_str()), 0);
  setenv("TALVEN_PORT_MAP", map.c_str(), 1);

  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(inotify_add_watch(watch, dir.c_str(), IN_OPEN), 0);
  const bool watchesDevNull = inotify_add_watch(watch, "/dev/null", IN_OPEN) >= 0;

  const char* names[] = {
      file.c_str(), fifo.c_str(), dir.c_str(), "/dev/null", "/dev/zero", "/dev/tty",
      "/dev/console", "/dev/ptmx", "/dev/tty0", "null", "tty", "console", "ptmx", "stdin",
      "fd/0", "pts/0", "../etc/passwd", "COM61", "COM62",
  };
  for (const char* name : names) {
    SCOPED_TRACE(name);
    SetLastError(kSentinel);
    EXPECT_EQ(OpenPort(name), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  }
  // Reading the port map opens its folder; no file may be opened.
  alignas(inotify_event) char events[4096];
  const ssize_t got = ::read(watch, events, sizeof events);
  for (ssize_t at = 0; at < got;) {
    const auto* event = reinterpret_cast<const inotify_event*>(events + at);
    if (!(event->mask & IN_ISDIR)) ADD_FAILURE() << "opened: " << (event->len ? event->name : "/dev/null");
    at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
  }
  if (!watchesDevNull) std::printf("note: inotify cannot watch /dev/null here\n");
  ::close(watch);
  std::ifstream in(file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep me");

  // The serial map lists neither alias.
  for (const win32::SerialMapEntry& entry : win32::ListSerialMap()) {
    EXPECT_NE(entry.portName, "COM61");
    EXPECT_NE(entry.portName, "COM62");
  }
  unsetenv("TALVEN_PORT_MAP");
  for (const std::string& path : {map + "/COM61", map + "/COM62", fifo, file}) ::unlink(path.c_str());
  ::rmdir(map.c_str());
  ::rmdir(dir.c_str());
}

TEST(TtyOpenRefuses, TheProcesssOwnTerminal) {
  // A pseudo-terminal made the standard error of this process is its own.
  Pty pty;
  ASSERT_TRUE(pty.Ok());
  const int saved = dup(2);
  const int slave = ::open(pty.Slave().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  ASSERT_EQ(dup2(slave, 2), 2);
  const DWORD refused = win32::CheckPortDevice(pty.Slave());
  dup2(saved, 2);
  ::close(saved);
  EXPECT_EQ(refused, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(win32::CheckPortDevice(pty.Slave()), static_cast<DWORD>(ERROR_SUCCESS));
  ::close(slave);
}

}  // namespace
