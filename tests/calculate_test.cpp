// The Calculate command: validation, the switch to a refused matrix, dispatch.
#include <gtest/gtest.h>

#include "solvers/two_by_two.h"
#include "tests/harness.h"

namespace varno::test {
namespace {

TEST(Calculate, RightAfterStartRefusesBothMatrices)
{
    Harness h;
    h.Calculate();
    EXPECT_EQ(h.state.store.Dimension, 1);
    EXPECT_EQ(h.channel.messages, (std::vector<std::string>{PleaseEnterK, PleaseEnterM}));
    EXPECT_EQ(h.state.store.ErrorFlag, 9);
    EXPECT_EQ(h.state.store.ActionIndex, 1);
    EXPECT_EQ(h.grid.ListSelection(id::ActionList), 1);  // "Edit M matrix"
    EXPECT_TRUE(h.grid.IsVisible(id::MGroup));
    EXPECT_FALSE(h.grid.IsVisible(id::KGroup));
    EXPECT_FALSE(h.grid.IsVisible(id::ActionList));  // still hidden, though selected
    for (int cell = id::FirstCell; cell <= id::LastCell; ++cell) {
        EXPECT_FALSE(h.grid.IsVisible(cell));
        EXPECT_EQ(h.grid.CellText(cell), "             0");
    }
    EXPECT_TRUE(h.channel.reports.empty());

    // Choosing a dimension now shows the M grid with the M row still selected.
    h.SelectDimension(3);
    EXPECT_TRUE(h.grid.IsVisible(id::ActionList));
    EXPECT_EQ(h.grid.ListSelection(id::ActionList), 1);
    EXPECT_TRUE(h.grid.IsVisible(id::MGroup));
    EXPECT_TRUE(h.grid.IsVisible(CellAt(3, 3)));
}

TEST(Calculate, KFilledMEmptyRefusesOnlyM)
{
    Harness h;
    h.SelectDimension(2);
    h.SelectAction(0);
    h.Type(1, 1, "1");
    h.Calculate();
    EXPECT_EQ(h.channel.messages, (std::vector<std::string>{PleaseEnterM}));
    EXPECT_EQ(h.grid.ListSelection(id::ActionList), 1);
    EXPECT_TRUE(h.grid.IsVisible(id::MGroup));
    EXPECT_TRUE(h.grid.IsVisible(CellAt(2, 2)));
    EXPECT_EQ(h.K(1, 1), 1.0);
}

TEST(Calculate, MinusZeroCountsAsEmpty)
{
    Harness h;
    h.SelectDimension(2);
    h.SelectAction(0);
    h.Type(1, 1, "-0");
    h.SelectAction(1);
    h.Type(1, 1, "1");
    h.Calculate();
    EXPECT_EQ(h.channel.messages, (std::vector<std::string>{PleaseEnterK}));
    EXPECT_EQ(h.state.store.ErrorFlag, 9);
}

TEST(Calculate, ValuesBeyondNStillCountForTheValidation)
{
    Harness h;
    h.K(3, 3) = 1;
    h.M(1, 1) = 1;
    h.M(2, 2) = 1;
    h.grid.SetListSelection(id::DimensionList, 0);
    h.grid.SetListSelection(id::ActionList, 0);
    h.Calculate();
    // The zero 2 x 2 K reaches the solver: both eigenvalues are 0.
    ASSERT_EQ(h.channel.messages.size(), 1u);
    EXPECT_EQ(h.channel.messages[0], "Eigenvalues \n\n lambda1=          -0 \n lambda2=           0");
}

TEST(Calculate, TinyEntryPassesTheValidation)
{
    Harness h;
    h.K(1, 1) = 4.9406564584124654e-324;
    h.M(1, 1) = 1;
    h.M(2, 2) = 1;
    h.grid.SetListSelection(id::DimensionList, 0);
    h.Calculate();
    EXPECT_EQ(h.state.store.ErrorFlag, 0);
    EXPECT_EQ(h.channel.reports.size(), 1u);
}

TEST(Calculate, TwiceGivesTheSameResultAndSymmetrises)
{
    Harness h;
    const double k[3][3] = {{2, -1, 0}, {0, 2, -1}, {0, 0, 1}};
    const double m[3][3] = {{1, 0.5, 0.25}, {0, 1, 0}, {0, 0, 1}};
    h.Load(k, m);
    h.K(1, 4) = 3;
    h.Calculate();
    h.Calculate();
    ASSERT_EQ(h.channel.messages.size(), 2u);
    EXPECT_EQ(h.channel.messages[0], h.channel.messages[1]);
    EXPECT_EQ(h.K(2, 1), -1);
    EXPECT_EQ(h.K(3, 2), -1);
    EXPECT_EQ(h.M(2, 1), 0.5);
    EXPECT_EQ(h.M(3, 1), 0.25);
    EXPECT_EQ(h.K(4, 1), 0);  // beyond n: untouched
}

TEST(Calculate, KeepsTheCellsAsTheyAre)
{
    Harness h;
    h.SelectDimension(2);
    h.SelectAction(0);
    h.Type(1, 1, "2");
    h.Type(2, 2, "6.0000");
    h.SelectAction(1);
    h.Type(1, 1, "1");
    h.Type(2, 2, "2");
    h.Calculate();
    EXPECT_EQ(h.grid.CellText(1001), "1");
    EXPECT_EQ(h.channel.messages.back(), "Eigenvalues \n\n lambda1=           2 \n lambda2=           3");
}

}  // namespace
}  // namespace varno::test
