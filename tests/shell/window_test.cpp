#include <gtest/gtest.h>
TEST(Shell, placeholder) {}
