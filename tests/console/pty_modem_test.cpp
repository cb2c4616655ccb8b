// The whole path on a real terminal device: the window opens a
// pseudo-terminal by its path, and the emulated modem answers on the other
// side, as it does when the tool is tried without hardware.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <thread>

#include "ConsoleTestSupport.h"
#include "Modem.h"

namespace console_test {
namespace {

// The modem on the master side of a pseudo-terminal, on its own thread.
class PtyModem {
 public:
  PtyModem() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    path_ = ptsname(master_);
    // Held open so the master never reports a hang-up while the console has
    // the slave closed.
    slave_ = open(path_.c_str(), O_RDWR | O_NOCTTY);
    if (slave_ < 0 || pipe(stop_) != 0) return;
    thread_ = std::thread([this] { Run(); });
  }
  ~PtyModem() {
    if (thread_.joinable()) {
      const char x = 0;
      (void)!write(stop_[1], &x, 1);
      thread_.join();
    }
    for (int fd : {master_, slave_, stop_[0], stop_[1]})
      if (fd >= 0) close(fd);
  }
  const std::string& Path() const { return path_; }

 private:
  void Run() {
    Modem modem;
    char buffer[256];
    for (;;) {
      pollfd fds[2] = {{master_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
      if (poll(fds, 2, -1) < 0) return;
      if (fds[1].revents || (fds[0].revents & (POLLHUP | POLLERR))) return;
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0) continue;
      const std::string answer = modem.Receive(std::string(buffer, static_cast<std::size_t>(n)));
      if (!answer.empty()) (void)!write(master_, answer.data(), answer.size());
    }
  }

  int master_ = -1;
  int slave_ = -1;
  int stop_[2] = {-1, -1};
  std::string path_;
  std::thread thread_;
};

using PtyWindow = ConsoleWindow;

TEST_F(PtyWindow, ModemOnAPseudoTerminalAnswersTheCommandLine) {
  PtyModem modem;
  ASSERT_FALSE(modem.Path().empty());
  form_->ComPort->SetPort(modem.Path());
  OpenPort();
  EXPECT_EQ(form_->Button_Open->Caption(), "Закрыть порт");

  form_->Edit_Data->SetText("AT+CSQ");
  Click(form_->Button_Send);
  ASSERT_TRUE(vcl::testing::WaitUntil(
      [&] { // The echo of the LF after CR comes last.
        return form_->Memo->Text() == "AT+CSQ\r\r\n+CSQ: 21,0\r\n\r\nOK\r\n\n"; }))
      << ::testing::PrintToString(form_->Memo->Text());
  EXPECT_EQ(form_->Edit_Data->Text(), "AT+CSQ");  // kept for sending again

  Click(form_->Button_Open);
  EXPECT_FALSE(form_->ComPort->Connected());
  EXPECT_TRUE(ErrorBoxes().empty());
}

}  // namespace
}  // namespace console_test
