// A fresh registry database in a fresh temporary folder for each test.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/registry.h"

namespace platform::registry {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/registry-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    db_path_ = dir_ + "/registry.sqlite";
    UseDatabase(db_path_);
  }
  void TearDown() override {
    UseDatabase("");
    std::filesystem::remove_all(dir_);
  }

  std::string dir_;
  std::string db_path_;
};

}  // namespace platform::registry
