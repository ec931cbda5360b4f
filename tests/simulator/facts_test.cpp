#include "facts.h"
#include "graphics.h"
#include "main.h"
#include "simulator_test_support.h"
#include "window_position.h"

#include <sstream>
#include <string>

namespace {

std::string fileText(const fs::path& name) {
    std::ifstream in(name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The facts hold the figures the window, the models and the account are
// built from; the other programs of the working folder read them too.
TEST(Facts, HoldTheSimulatorsFigures) {
    struct {
        const char *symbol, *label;
        double min, max;
        const char* unit;
        bool tooling;
    } rows[] = {
        {"A", "Angle matrice", 0, 16, "°", true},   {"R", "Rayon matrice", 6, 10, "mm", true},
        {"L", "Largeur matrice", 57, 65, "mm", false}, {"C", "Course poinçon", 30, 38, "mm", false},
        {"F", "Force SF", 40, 80, "bars", false},
    };
    for (int i = 0; i < 5; ++i) {
        const facts::Variable& v = facts::kVariables[i];
        EXPECT_STREQ(v.symbol, rows[i].symbol);
        EXPECT_STREQ(v.label, rows[i].label);
        EXPECT_EQ(v.min, rows[i].min) << v.symbol;
        EXPECT_EQ(v.max, rows[i].max) << v.symbol;
        EXPECT_STREQ(v.unit, rows[i].unit);
        EXPECT_EQ(v.tooling, rows[i].tooling) << v.symbol;
    }
    EXPECT_EQ(facts::kTarget.A1, 135);
    EXPECT_EQ(facts::kTarget.A2, 135);
    EXPECT_EQ(facts::kTarget.H, 30.44);
    EXPECT_EQ(facts::kToolingCharge, 2500);
    EXPECT_EQ(facts::kAdjustmentCharge, 350);
    EXPECT_EQ(facts::kStartAccount.count, 0);
    for (const facts::Model& m : facts::kModels)
        EXPECT_EQ(std::string(m.path), std::string(facts::kCoefficientFolder) + "/" + m.file);
    EXPECT_STREQ(facts::kModels[0].name, "A1");
    EXPECT_STREQ(facts::kModels[1].name, "A2");
    EXPECT_STREQ(facts::kModels[2].name, "H");
}

// The module constants agree with the facts: labels at both ends of every
// slider, which sliders change the tooling, the start account, the charges.
TEST_F(SimulatorFolderTest, WindowAndAccountFollowTheFacts) {
    fs::create_directory(facts::kDataFolder);
    mclCallFunction(_main_info, "main", 0, {});
    const fs::path data = facts::kDataFolder;
    auto number = [](double x) { return num2strText(x); };
    EXPECT_EQ(fileText(data / facts::kToolingFile), number(facts::kStartAccount.tooling) + ".000000 ");
    EXPECT_EQ(fileText(data / facts::kAdjustmentFile),
              number(facts::kStartAccount.adjustment) + ".000000 ");
    EXPECT_EQ(fileText(data / facts::kCountFile), "0.000000 ");

    auto control = [](int slot) { return mlfIndexRef(mclVg(vh), ".hui(?)", {mxArray::scalar(slot)}); };
    const mxArray string = mxArray::text("string"), value = mxArray::text("value");
    mclDispatchCallback(_main_info, "main Trial");
    for (int i = 0; i < 5; ++i) {
        const facts::Variable& v = facts::kVariables[i];
        const std::string prefix = std::string(v.symbol) + "=";
        EXPECT_EQ(mlfNGet(control(6 + i), string), mxArray::text(prefix + number(v.max) + v.unit));
        mlfNSet(control(1 + i), value, mxArray::scalar(-1));
        mclDispatchCallback(_main_info, "main slider" + std::to_string(i + 1));
        EXPECT_EQ(mlfNGet(control(6 + i), string), mxArray::text(prefix + number(v.min) + v.unit));
        EXPECT_EQ(mclVg(outillage), mxArray::scalar(v.tooling ? 1 : 0)) << v.symbol;
        mclDispatchCallback(_main_info, "main Trial");
    }
    // Five charged trials after the first: two tooling changes, five adjustments.
    EXPECT_EQ(mlfNGet(control(200), string),
              mxArray::text(number(facts::kStartAccount.tooling + 2 * facts::kToolingCharge)));
    EXPECT_EQ(mlfNGet(control(201), string),
              mxArray::text(number(facts::kStartAccount.adjustment + 5 * facts::kAdjustmentCharge)));
    EXPECT_EQ(fileText(data / facts::kCountFile), "6.000000 ");
}

// The simulator and the editors place their window by one rule; on the
// runtime's screen of 1024 x 768 it stands at (210.67, 82.67).
TEST(WindowPosition, TwoThirdsOfTheReferenceScreenCentredThenMoved) {
    const double third = 1024.0 / 3;
    EXPECT_EQ(windowPosition().real(),
              (std::vector<double>{40 + (1024 - 2 * third) / 2, 40 + (768 - 2 * third) / 2, 2 * third, 1600.0 / 3}));
    EXPECT_NEAR(windowPosition().at(0), 210.67, 0.005);
    EXPECT_NEAR(windowPosition().at(1), 82.67, 0.005);
}

}  // namespace
