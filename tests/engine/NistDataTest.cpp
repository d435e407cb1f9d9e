#include <gtest/gtest.h>
#include "NistData.h"
TEST(NistDataTest, ReadsLongley) {
    nist::DataFile f = nist::Read("Longley.dat");
    EXPECT_EQ(f.certifiedFirst, 31);
    EXPECT_EQ(f.certifiedLast, 51);
    EXPECT_EQ(f.dataFirst, 61);
    EXPECT_EQ(f.dataLast, 76);
    auto rows = nist::DataRows(f);
    ASSERT_EQ(rows.size(), 16u);
    EXPECT_EQ(rows[0].size(), 7u);
    EXPECT_EQ(rows[0][0], 60323);
    auto b0 = nist::Certified(f, "B0");
    ASSERT_EQ(b0.size(), 2u);
    EXPECT_EQ(b0[0], -3482258.63459582);
    EXPECT_NEAR(nist::Lre(-3482258.63459, -3482258.63459582), 11.78, 0.01);
    nist::DataFile a = nist::Read("SmLs07.dat");
    EXPECT_EQ(nist::Certified(a, "Between Treatment").size(), 4u);
}
