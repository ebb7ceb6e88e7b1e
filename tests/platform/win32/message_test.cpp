// A message where nobody sees a box: one line on standard error, no wait.
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX  // the MinGW C++ library defines it already
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "platform/platform.h"
#include "support/test_env.h"

namespace {

// A window station made without WSF_VISIBLE is one nobody sees, as that of
// a service or of a task in session 0. A box there would never be dismissed:
// the message is shown on a thread of its own, which the test gives up on.
TEST(MessageTest, GoesToStandardErrorInAWindowStationNobodySees) {
  HWINSTA hOwn = GetProcessWindowStation();
  HWINSTA hHidden = CreateWindowStationA(testsupport::UniqueName("XVT").c_str(),
                                         0, WINSTA_ALL_ACCESS, nullptr);
  ASSERT_NE(hHidden, nullptr);
  ASSERT_TRUE(SetProcessWindowStation(hHidden));
  testing::internal::CaptureStderr();
  auto pShown = std::make_shared<std::promise<void>>();
  std::future<void> shown = pShown->get_future();
  std::thread([pShown] {
    platform::showMessage("Transceiver Set Up File Incorrect cannot read.");
    pShown->set_value();
  }).detach();
  const bool bReturned =
      shown.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  const std::string strStderr = testing::internal::GetCapturedStderr();
  SetProcessWindowStation(hOwn);
  if (bReturned) CloseWindowStation(hHidden);
  EXPECT_TRUE(bReturned) << "showMessage waits for an OK nobody can give";
  EXPECT_EQ(strStderr, "Transceiver Set Up File Incorrect cannot read.\n");
}

}  // namespace
