#include "calcul_pts.h"
#include "deg2rad.h"
#include "graphics.h"
#include "main.h"
#include "simulator_test_support.h"
#include "three_var.h"
#include "v_cr2reelle.h"
#include "v_reelle2cr.h"
#include "var_.h"
#include "xlim.h"
#include "ylim.h"

#include <string>
#include <vector>

namespace {

// ---- argument counts, through the host's path -------------------------------

TEST_F(SimulatorTest, SurplusArgumentsRaiseTheFixedMessage) {
    struct {
        const char* function;
        int nlhs, nrhs;
        const char* what;
        int declared;
    } cases[] = {
        {"main", 1, 0, "outputs", 0},
        {"calcul_pts", 2, 4, "outputs", 1},  // the outputs test comes first
        {"calcul_pts", 1, 4, "inputs", 3},
        {"v_cr2reelle", 2, 3, "outputs", 1},
        {"v_reelle2cr", 1, 4, "inputs", 3},
        {"three_var", 0, 2, "inputs", 1},
        {"var_", 4, 5, "outputs", 3},
        {"var_", 3, 6, "inputs", 5},
        {"xlim", 5, 3, "inputs", 2},
        {"ylim", 0, 3, "inputs", 2},
        {"deg2rad", 2, 1, "outputs", 1},
    };
    for (const auto& c : cases) {
        std::string f = c.function;
        std::string message = "Run-time Error: File: " + f + " Line: 1 Column: 1 The function \"" +
                              f + "\" was called with more than the declared number of " +
                              c.what + " (" + std::to_string(c.declared) + ").";
        std::vector<mxArray> inputs(c.nrhs, mxArray::scalar(1));
        EXPECT_THAT([&] { mclCallFunction(_main_info, f, c.nlhs, inputs); },
                    ::testing::ThrowsMessage<mclError>(message));
    }
}

TEST_F(SimulatorTest, AbsentInputRaisesWhenTheBodyReadsIt) {
    std::vector<mxArray> inputs{mxArray::scalar(135), mxArray::scalar(135)};
    EXPECT_THAT([&] { mclCallFunction(_main_info, "calcul_pts", 1, inputs); },
                raises("« PGP3 »"));
}

TEST_F(SimulatorTest, FirstOutputIsStoredWithNoOutputAskedFor) {
    mxArray range[3] = {mxArray::scalar(0), mxArray::scalar(10), mxArray::scalar(6)};
    mxArray out[1];
    mlxV_reelle2cr(0, out, 3, range);
    EXPECT_EQ(out[0], mxArray::scalar(8));
}

// ---- callbacks through the real table --------------------------------------------

TEST_F(SimulatorFolderTest, CallbackTextReachesMainWithItsWord) {
    fs::create_directory("data");
    mclCallFunction(_main_info, "main", 0, {});  // the host's first call builds the window
    auto control = [](int slot) {
        return mlfIndexRef(mclVg(vh), ".hui(?)", {mxArray::scalar(slot)});
    };
    mlfNSet(control(3), mxArray::text("value"), mxArray::scalar(0));
    mclDispatchCallback(_main_info, "main slider3");
    EXPECT_EQ(mlfNGet(control(8), mxArray::text("string")), mxArray::text("L=61mm"));
    EXPECT_EQ(mclVg(reglage), mxArray::scalar(1));
    EXPECT_EQ(mclVg(outillage), mxArray::scalar(0));
    mclDispatchCallback(_main_info, "main slider1");
    EXPECT_EQ(mclVg(outillage), mxArray::scalar(1));
}

// ---- the description record ----------------------------------------------------------

// The functions' interfaces are checked by name above: each message names
// the function that the row reached.
TEST(MainInfo, FunctionAndGlobalTablesInOrder) {
    EXPECT_EQ(_main_info.version, 1);
    std::vector<std::string> functions, globals;
    for (int k = 0; k < _main_info.functionCount; ++k) {
        const auto& row = _main_info.functionTable[k];
        EXPECT_EQ(row.localTable->count, 0);
        functions.push_back(std::string(row.name) + " " + std::to_string(row.inputs) + " " +
                            std::to_string(row.outputs));
    }
    EXPECT_EQ(functions, (std::vector<std::string>{"main -1 0", "calcul_pts 3 1", "v_cr2reelle 3 1",
                                                   "v_reelle2cr 3 1", "three_var 1 1", "var_ 5 3",
                                                   "xlim 2 -1", "ylim 2 -1", "deg2rad 1 1"}));
    for (int g = 0; g < _main_info.globalCount; ++g) {
        EXPECT_EQ(_main_info.globalTable[g].storage->name(), _main_info.globalTable[g].name);
        globals.push_back(_main_info.globalTable[g].name);
    }
    EXPECT_EQ(globals, (std::vector<std::string>{"CoutO", "CoutR", "Nb_essai", "ax", "h_fig",
                                                 "outillage", "reglage", "vh"}));
    EXPECT_EQ(_main_info.thirdCount, 0);
    EXPECT_EQ(_main_info.thirdTable, nullptr);
}

TEST(MainInfo, LibrariesFirstThenModulesInFunctionOrder) {
    const mclInitTermEntry expected[] = {
        {libfuncInitialize, libfuncTerminate},
        {libgraphInitialize, libgraphTerminate},
        {InitializeModule_main, TerminateModule_main},
        {InitializeModule_calcul_pts, TerminateModule_calcul_pts},
        {InitializeModule_v_cr2reelle, TerminateModule_v_cr2reelle},
        {InitializeModule_v_reelle2cr, TerminateModule_v_reelle2cr},
        {InitializeModule_three_var, TerminateModule_three_var},
        {InitializeModule_var_, TerminateModule_var_},
        {InitializeModule_xlim, TerminateModule_xlim},
        {InitializeModule_ylim, TerminateModule_ylim},
        {InitializeModule_deg2rad, TerminateModule_deg2rad},
    };
    ASSERT_EQ(_main_info.initTermCount, 11);
    for (int k = 0; k < 11; ++k)
        EXPECT_TRUE(_main_info.initTermTable[k].initialize == expected[k].initialize &&
                    _main_info.initTermTable[k].terminate == expected[k].terminate)
            << "row " << k + 1;
}

}  // namespace
