#pragma once

// A suite of tests against one sample application, started once for the suite
// and checked to be in front before each test.

#include "support/Desktop.h"

#include <gtest/gtest.h>

#include <memory>

namespace morvel::testing {

class OnSampleApp : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { fixture_ = std::make_unique<FixtureApplication>(); }
  static void TearDownTestSuite() { fixture_.reset(); }
  void SetUp() override {
    ASSERT_TRUE(fixture_->started()) << "the application's window did not come up";
    ASSERT_TRUE(eventually([] { return activeWindowPid() == fixture_->pid(); }, startupTimeout))
        << "the application never became the active window";
  }

  static inline std::unique_ptr<FixtureApplication> fixture_;
};

}  // namespace morvel::testing
