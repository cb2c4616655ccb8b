// The modem's cable is pulled while the port is open: one box, and the
// window shows the port closed; plugged in again, it opens.
#include "ConsoleTestSupport.h"

namespace console_test {
namespace {

using Unplug = ConsoleWindow;

TEST_F(Unplug, ThePortClosesItselfWithOneBoxAndOpensAgainOnceBack) {
  device_->SetCTS(true);
  device_->SetDSR(true);
  device_->SetRLSD(true);
  OpenPort();
  ASSERT_TRUE(vcl::PumpUntil([&] { return form_->ComLed1->State() == lsOn; }, std::chrono::seconds(10)));
  device_->Unplug();
  ASSERT_TRUE(vcl::PumpUntil([&] { return !form_->ComPort->Connected(); }, std::chrono::seconds(10)));
  vcl::testing::ProcessPending();
  const auto boxes = ErrorBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("WaitForEvent method failed (win error code: 1167)"), std::string::npos);
  EXPECT_EQ(form_->Button_Open->Caption(), "Открыть порт");
  for (TComLed* lamp : {form_->ComLed1, form_->ComLed2, form_->ComLed3})
    EXPECT_EQ(lamp->State(), lsOff) << lamp->Name();

  device_ = win32::VirtualDevice::Register("COM5");
  Click(form_->Button_Open);
  EXPECT_TRUE(form_->ComPort->Connected());
  EXPECT_EQ(form_->Button_Open->Caption(), "Закрыть порт");
  Click(form_->Button_Open);
  EXPECT_EQ(ErrorBoxes().size(), 1u);
}

}  // namespace
}  // namespace console_test
