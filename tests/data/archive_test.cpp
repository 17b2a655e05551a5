#include <gtest/gtest.h>

#include "data/archive.h"
#include "support/test_game.h"

using namespace velmora;

TEST(Archive, placeholder) { EXPECT_EQ(UpperName("ab1"), "AB1"); }
