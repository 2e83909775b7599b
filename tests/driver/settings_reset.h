// Test helper for the process-wide run settings: a fresh RunSettings for every test.
#pragma once

#include <gtest/gtest.h>

#include "driver/run_settings.h"

class FreshRunSettings : public ::testing::Test {
  protected:
    void SetUp() override { run_settings = RunSettings(); }
    void TearDown() override { run_settings = RunSettings(); }
};
