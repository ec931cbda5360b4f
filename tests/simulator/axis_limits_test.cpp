#include "graphics.h"
#include "simulator_test_support.h"
#include "xlim.h"
#include "ylim.h"

#include <vector>

namespace {

using ::testing::IsEmpty;
using List = std::vector<mxArray>;

struct Member {
    const char* name;
    List (*mlf)(int, mclInput, mclInput);
    mlxFunction mlx;
    const char* limits;
    const char* mode;
    friend void PrintTo(const Member& m, std::ostream* os) { *os << m.name; }
};

// xlim and ylim are one design: every test runs on both members, each on a
// figure with two axes, the second one current.
class AxisLimits : public SimulatorTest, public ::testing::WithParamInterface<Member> {
protected:
    void SetUp() override {
        SimulatorTest::SetUp();
        figure = mlfNFigure({});
        first = mlfNAxes({});
        current = mlfNAxes({});
    }
    List call(mclInput arg1 = std::nullopt, mclInput arg2 = std::nullopt) {
        return GetParam().mlf(0, std::move(arg1), std::move(arg2));
    }
    mxArray get(const mxArray& axes, const char* property) {
        return mlfNGet(axes, mxArray::text(property));
    }

    mxArray figure, first, current;
    const mxArray range = mxArray::row({0, 80});
    const mxArray mode = mxArray::text("mode");
};

TEST_P(AxisLimits, LimitsOfTheCurrentOrTheGivenAxes) {
    EXPECT_THAT(call(range), IsEmpty());
    EXPECT_EQ(get(current, GetParam().limits), range);
    EXPECT_EQ(call(), List{range});

    const mxArray other = mxArray::row({-1, 35});
    EXPECT_THAT(call(first, other), IsEmpty());
    EXPECT_EQ(call(first), List{other});
    EXPECT_EQ(call(), List{range});
}

TEST_P(AxisLimits, ModeWordReadsOtherTextsSet) {
    call(first, range);
    EXPECT_EQ(call(first, mode), List{mxArray::text("manual")});
    EXPECT_EQ(call(mode), List{mxArray::text("auto")});
    EXPECT_THAT(call(first, mxArray::text("auto")), IsEmpty());
    EXPECT_EQ(get(first, GetParam().mode), mxArray::text("auto"));
    EXPECT_THAT(call(mxArray::text("manual")), IsEmpty());
    EXPECT_EQ(get(current, GetParam().mode), mxArray::text("manual"));
}

TEST_P(AxisLimits, OnlyAxesTakeASecondArgument) {
    for (const mxArray& notAxes : {mxArray::scalar(5), figure, range})
        EXPECT_THAT([&] { call(notAxes, range); }, raises("Wrong number of arguments"));
    // Alone, a figure's handle is a (refused) limits value for the current axes.
    mxArray before = get(current, GetParam().limits);
    EXPECT_THROW(call(figure), mclError);
    EXPECT_EQ(get(current, GetParam().limits), before);
}

TEST_P(AxisLimits, ArrayInterfaceGivesOnlyWhatIsRead) {
    const mxArray unset = mxArray::text("unset");
    mxArray out[2] = {unset, unset};
    mxArray in[2] = {range, mode};
    GetParam().mlx(0, out, 1, in);
    EXPECT_EQ(out[0], unset);
    GetParam().mlx(0, out, 0, in);  // a reading form fills the answer slot
    EXPECT_EQ(out[0], range);
    EXPECT_THROW(GetParam().mlx(2, out, 0, in), mclError);
}

INSTANTIATE_TEST_SUITE_P(Members, AxisLimits,
                         ::testing::Values(Member{"xlim", mlfXlim, mlxXlim, "XLim", "XLimMode"},
                                           Member{"ylim", mlfYlim, mlxYlim, "YLim", "YLimMode"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
