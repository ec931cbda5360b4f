#include "facts.h"
#include "main_account.h"

#include <gtest/gtest.h>

namespace {

// One trial on a loaded account, for every case of the rule: the start values
// pay for the first trial whatever moved; later, a tooling slider charges both
// the tooling and the adjustment, another slider the adjustment only, and a
// trial with nothing moved is neither charged nor counted.
TEST(CostRule, ChargesWhatChangedSinceThePreviousTrial) {
    const double tooling = facts::kToolingCharge, adjustment = facts::kAdjustmentCharge;
    const struct {
        const char* name;
        facts::Account loaded;
        SettingChanges changes;
        facts::Account charged;
    } rows[] = {
        {"first trial, tooling moved", {2500, 350, 0}, {true, true}, {2500, 350, 1}},
        {"first trial, nothing moved", {2500, 350, 0}, {false, false}, {2500, 350, 1}},
        {"tooling changed", {2500, 350, 1}, {true, true}, {2500 + tooling, 350 + adjustment, 2}},
        {"adjustment only", {5000, 700, 2}, {false, true}, {5000, 700 + adjustment, 3}},
        {"nothing moved", {5000, 1050, 3}, {false, false}, {5000, 1050, 3}},
        {"tooling noted alone", {5000, 1050, 3}, {true, false}, {5000 + tooling, 1050, 3}},
        {"hand-set account", {12.5, -3, -1}, {true, true}, {12.5 + tooling, -3 + adjustment, 0}},
    };
    for (const auto& row : rows) {
        const facts::Account charged = chargedAccount(row.loaded, row.changes);
        EXPECT_EQ(charged.tooling, row.charged.tooling) << row.name;
        EXPECT_EQ(charged.adjustment, row.charged.adjustment) << row.name;
        EXPECT_EQ(charged.count, row.charged.count) << row.name;
    }
}

}  // namespace
