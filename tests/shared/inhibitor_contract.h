// What both programs' locks against sleep and shutdown must do, tested against a stand-in
// logind on a private bus: the call and its words, the lock held by the returned file
// descriptor until released, and a reason for every way of not getting one. Each program's test
// instantiates it with its inhibitor (a class constructed from a bus address).
#pragma once

#include <gtest/gtest.h>

#include "jobs/update_scope.h"
#include "tests/shared/private_bus.h"

namespace korva::testing {

template <typename Inhibitor>
class InhibitorContract : public ::testing::Test {
 protected:
  ScratchFolder folder{"korva-bus"};
  PrivateBus bus{folder.Path()};
};

TYPED_TEST_SUITE_P(InhibitorContract);

TYPED_TEST_P(InhibitorContract, TheLockIsHeldByTheReturnedDescriptorUntilReleased) {
  PrivateBus& bus = this->bus;
  ASSERT_FALSE(bus.Address().empty());
  ASSERT_TRUE(bus.StartLogind());
  TypeParam inhibitor(bus.Address());
  std::string problem;
  std::unique_ptr<Inhibition> lock = inhibitor.Inhibit(problem);
  ASSERT_NE(lock, nullptr) << problem;
  EXPECT_EQ(bus.Record(), (std::vector<std::string>{"ready", PrivateBus::ProgramsInhibitCall()}));
  // The connection to the bus is closed already; the lock lives on in the descriptor.
  EXPECT_FALSE(bus.WaitForRecordWithin("released 1", std::chrono::milliseconds(50)));
  lock.reset();
  EXPECT_TRUE(bus.WaitForRecord("released 1"));
  // A second lock is a second call.
  lock = inhibitor.Inhibit(problem);
  ASSERT_NE(lock, nullptr) << problem;
  lock.reset();
  EXPECT_TRUE(bus.WaitForRecord("released 2"));
}

TYPED_TEST_P(InhibitorContract, EveryWayOfNotGettingTheLockSaysWhy) {
  PrivateBus& bus = this->bus;
  ASSERT_FALSE(bus.Address().empty());
  std::string problem;
  // A bus that is not there.
  TypeParam nowhere("unix:path=" + (this->folder / "no-bus-here").string());
  EXPECT_EQ(nowhere.Inhibit(problem), nullptr);
  EXPECT_EQ(problem.rfind("no system bus: ", 0), 0u) << problem;
  // A bus without logind.
  TypeParam inhibitor(bus.Address());
  EXPECT_EQ(inhibitor.Inhibit(problem), nullptr);
  EXPECT_NE(problem.find("org.freedesktop.DBus.Error.ServiceUnknown"), std::string::npos)
      << problem;
  // A logind that refuses.
  ASSERT_TRUE(bus.StartLogind(true));
  EXPECT_EQ(inhibitor.Inhibit(problem), nullptr);
  EXPECT_NE(problem.find("org.freedesktop.DBus.Error.AccessDenied"), std::string::npos) << problem;
  EXPECT_EQ(bus.Record().back(), PrivateBus::ProgramsInhibitCall());
}

REGISTER_TYPED_TEST_SUITE_P(InhibitorContract, TheLockIsHeldByTheReturnedDescriptorUntilReleased,
                            EveryWayOfNotGettingTheLockSaysWhy);

}  // namespace korva::testing
