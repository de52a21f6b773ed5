// The grid model and the form handlers, driven as a user drives the dialog.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "core/number_text.h"
#include "tests/harness.h"

namespace varno::test {
namespace {

std::set<int> VisibleGridControls(const MemoryGrid& grid)
{
    std::set<int> shown;
    for (int c = id::FirstCell; c <= id::MGroup; ++c)
        if (c != id::ActionList && c != id::ActionGroup && c != 1022 && c != 1038 && grid.IsVisible(c))
            shown.insert(c);
    return shown;
}

TEST(CellTable, NumbersTheUpperTriangleRowByRow)
{
    EXPECT_EQ(CellAt(1, 1), 1001);
    EXPECT_EQ(CellAt(1, 6), 1006);
    EXPECT_EQ(CellAt(2, 2), 1007);
    EXPECT_EQ(CellAt(3, 3), 1012);
    EXPECT_EQ(CellAt(4, 4), 1016);
    EXPECT_EQ(CellAt(5, 6), 1020);
    EXPECT_EQ(CellAt(6, 6), 1021);
    for (int cell = id::FirstCell; cell <= id::LastCell; ++cell) {
        const auto [i, j] = CellPositionOf(cell);
        EXPECT_LE(i, j);
        EXPECT_EQ(CellAt(i, j), cell);
    }
}

TEST(ArrangeGrid, ShowsTheTriangleAndLabelsForEachDimensionAndAction)
{
    struct Row {
        int n;
        int action;
        std::set<int> shown;
    };
    const Row rows[] = {
        {1, 0, {id::KGroup}},
        {2, 0, {id::KGroup, 1001, 1002, 1007, 1026, 1027, 1032, 1033}},
        {3, 1, {id::MGroup, 1001, 1002, 1007, 1003, 1008, 1012, 1026, 1027, 1028, 1032, 1033, 1034}},
        {4, 0, {id::KGroup, 1001, 1002, 1007, 1003, 1008, 1012, 1004, 1009, 1013, 1016, 1026, 1027, 1028, 1029,
                1032, 1033, 1034, 1035}},
        {4, -1, {}},
    };
    for (const auto& row : rows) {
        MemoryGrid grid;
        for (int c = id::FirstCell; c <= id::MGroup; ++c) grid.SetVisible(c, true);
        MatrixStore store;
        store.Dimension = row.n;
        store.ActionIndex = row.action;
        ArrangeGrid(store, grid);
        EXPECT_EQ(VisibleGridControls(grid), row.shown) << "n = " << row.n << ", action " << row.action;
    }
}

TEST(ReadSelections, NoDimensionMeansNOne)
{
    Harness h;
    ReadSelections(h.state.store, h.grid);
    EXPECT_EQ(h.state.store.DimensionIndex, -1);
    EXPECT_EQ(h.state.store.ActionIndex, -1);
    EXPECT_EQ(h.state.store.Dimension, 1);
}

TEST(GridModel, StartsAllZero)
{
    Harness h;
    EXPECT_EQ(h.state.store.Dimension, 0);
    for (int i = 0; i < 10; ++i)
        for (int j = 0; j < 10; ++j) {
            EXPECT_EQ(h.K(i, j), 0.0);
            EXPECT_EQ(h.M(i, j), 0.0);
        }
}

TEST(GridModel, TypingStoresEveryPrefixAsItGoes)
{
    Harness h;
    h.SelectDimension(3);
    h.SelectAction(0);
    std::vector<double> seen;
    std::string text;
    for (const char c : std::string("12.5")) {
        text += c;
        h.Type(1, 1, text);
        seen.push_back(h.K(1, 1));
    }
    EXPECT_EQ(seen, (std::vector<double>{1, 12, 12, 12.5}));
}

TEST(GridModel, CellChangeWithNoActionWritesM)
{
    Harness h;
    h.SelectDimension(2);  // action list shown, nothing selected: ActionIndex -1
    h.Type(1, 2, "4");
    EXPECT_EQ(h.M(1, 2), 4.0);
    EXPECT_EQ(h.K(1, 2), 0.0);
}

TEST(GridModel, RedisplayKeepsFullPrecision)
{
    Harness h;
    h.SelectDimension(3);
    h.SelectAction(0);
    h.Type(1, 1, "123.456");
    h.SelectAction(1);
    h.Type(2, 3, "0.1");
    h.SelectAction(0);
    EXPECT_EQ(h.K(1, 1), 123.456);  // K(1, 1) stays 123.456
    EXPECT_EQ(h.grid.CellText(1001), "       123.456");
    EXPECT_EQ(h.M(2, 3), 0.1);  // showing K never touches M
    h.SelectAction(1);
    EXPECT_EQ(h.grid.CellText(CellAt(2, 3)), "           0.1");
    EXPECT_EQ(h.grid.CellText(1021), "             0");
}

TEST(GridModel, OverflowingEntrySurvivesRedisplay)
{
    Harness h;
    h.SelectDimension(2);
    h.SelectAction(0);
    h.Type(1, 2, "-1e999");
    h.SelectAction(1);
    h.SelectAction(0);
    EXPECT_EQ(h.K(1, 2), -std::numeric_limits<double>::infinity());
}

TEST(GridModel, HiddenValuesSurviveDimensionChanges)
{
    Harness h;
    h.SelectDimension(4);
    h.SelectAction(0);
    h.Type(3, 4, "7.25");
    h.SelectDimension(2);
    EXPECT_FALSE(h.grid.IsVisible(CellAt(3, 4)));
    EXPECT_EQ(h.K(3, 4), 7.25);
    h.SelectDimension(4);
    EXPECT_TRUE(h.grid.IsVisible(CellAt(3, 4)));
    EXPECT_EQ(h.grid.CellText(CellAt(3, 4)), "7.25");  // a dimension change rewrites nothing
}

TEST(GridModel, ActionListHiddenUntilADimensionIsChosen)
{
    Harness h;
    EXPECT_FALSE(h.grid.IsVisible(id::ActionList));
    EXPECT_FALSE(h.grid.IsVisible(id::ActionGroup));
    EXPECT_TRUE(VisibleGridControls(h.grid).empty());
    h.SelectDimension(3);
    EXPECT_TRUE(h.grid.IsVisible(id::ActionList));
    EXPECT_TRUE(h.grid.IsVisible(id::ActionGroup));
    EXPECT_TRUE(VisibleGridControls(h.grid).empty());  // no action yet: no cells
}

TEST(GridModel, JunkTextStoresItsNumericPrefix)
{
    Harness h;
    h.SelectDimension(2);
    h.SelectAction(0);
    const std::pair<const char*, double> rows[] = {{"abc", 0.0}, {"2.5e2x", 250.0}, {"", 0.0}, {"  -3", -3.0}};
    for (const auto& [text, value] : rows) {
        h.Type(1, 1, text);
        EXPECT_EQ(h.K(1, 1), value) << text;
    }
}

// Whatever the stored bits, showing the matrix (which re-parses every cell)
// leaves every bit in place.
TEST(GridModel, RedisplayNeverChangesAStoredBit)
{
    std::mt19937_64 rng(7);
    std::printf("redisplay property seed 7\n");
    Harness h;
    h.SelectDimension(4);
    for (int round = 0; round < 300; ++round) {
        for (int i = 1; i <= 6; ++i)
            for (int j = i; j <= 6; ++j) {
                double v = std::bit_cast<double>(rng());
                if (std::isnan(v)) v = -0.0;
                if (round % 5 == 0) v = std::ldexp(1.0 + static_cast<double>(rng() % 1000), -1080);
                h.K(i, j) = v;
            }
        const MatrixStore before = h.state.store;
        h.SelectAction(1);
        h.SelectAction(0);
        for (int i = 1; i <= 6; ++i)
            for (int j = i; j <= 6; ++j) ASSERT_EQ(Bits(h.K(i, j)), Bits(before.K[i][j])) << i << "," << j;
    }
}

TEST(Symmetrise, CopiesTheUpperTriangleForNOnly)
{
    MatrixStore store;
    store.Dimension = 3;
    store.K[1][2] = 5;
    store.K[2][1] = 7;
    store.K[1][4] = 9;
    store.M[2][3] = -0.0;
    store.M[3][2] = 1;
    Symmetrise(store);
    EXPECT_EQ(store.K[2][1], 5);
    EXPECT_EQ(store.K[1][2], 5);
    EXPECT_EQ(store.K[4][1], 0);
    EXPECT_EQ(store.K[1][4], 9);
    EXPECT_EQ(Bits(store.M[3][2]), Bits(-0.0));
    store.Dimension = 1;
    store.K[2][1] = 3;
    Symmetrise(store);
    EXPECT_EQ(store.K[2][1], 3);
}

}  // namespace
}  // namespace varno::test
