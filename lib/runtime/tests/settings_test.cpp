#include "runtime/settings.h"

#include <gtest/gtest.h>

namespace kor::rt {
namespace {

TEST(Settings, ReadWriteByNameAndNumberAndSnapshot) {
  resetSettings();
  EXPECT_EQ(dateFormat(), "dd/mm/yy");
  EXPECT_EQ(epoch(), 1940);
  SettingsSnapshot snap;
  Value old = set(Set::Exact, Value::logical(true));
  EXPECT_FALSE(old.log());
  EXPECT_TRUE(exact());
  set(static_cast<int>(Set::Default), Value("/data"));
  EXPECT_EQ(defaultFolder(), "/data");
  setCentury(true);
  EXPECT_EQ(dateFormat(), "dd/mm/yyyy");
  setCentury(false);
  EXPECT_EQ(dateFormat(), "dd/mm/yy");
  EXPECT_TRUE(setting(999).isNil());
  EXPECT_TRUE(set(999, Value(1)).isNil());
  snap.restore();
  EXPECT_FALSE(exact());
  EXPECT_EQ(defaultFolder(), "");
}

}  // namespace
}  // namespace kor::rt
