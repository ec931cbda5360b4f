// Program functions: argument checks, dispatch of callback texts, module life.
#include "array.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> calls;

// A function of one input and one output, declared as such in the table.
void mlxEcho(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]) {
    mclCheckArgumentCounts("echo", nlhs, 1, nrhs, 1);
    auto inputs = mclTakeInputs(nrhs, prhs, 1);
    plhs[0] = mclValidate(inputs[0], "x");
}

void mlxRecorder(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]) {
    mclCheckArgumentCounts("recorder", nlhs, 0, nrhs, -1);
    (void)plhs;
    std::string call = "recorder(";
    for (int k = 0; k < nrhs; ++k) call += (k ? "," : "") + prhs[k].toUtf8();
    calls.push_back(call + ")");
}

const mlfFunctionTableEntry functions[] = {
    {"recorder", mlxRecorder, -1, 0, nullptr},
    {"echo", mlxEcho, 1, 1, nullptr},
};
const mclInitTermEntry initTerm[] = {
    {[] { calls.push_back("init1"); }, [] { calls.push_back("term1"); }},
    {[] { calls.push_back("init2"); }, [] { calls.push_back("term2"); }},
};
const mclMainInfo info = {1, 2, functions, 0, nullptr, 0, nullptr, 2, initTerm};

std::string messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const mclError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(ProgramFunctions, FixedMessagesOutputsFirst) {
    EXPECT_EQ(messageOf([] { mclCheckArgumentCounts("calcul_pts", 2, 1, 4, 3); }),
              "Run-time Error: File: calcul_pts Line: 1 Column: 1 The function \"calcul_pts\" was "
              "called with more than the declared number of outputs (1).");
    EXPECT_EQ(messageOf([] { mclCheckArgumentCounts("calcul_pts", 1, 1, 4, 3); }),
              "Run-time Error: File: calcul_pts Line: 1 Column: 1 The function \"calcul_pts\" was "
              "called with more than the declared number of inputs (3).");
    EXPECT_EQ(messageOf([] { mclCheckArgumentCounts("xlim", 7, -1, 2, 2); }), "(no error)");
}

TEST(ProgramFunctions, AbsentInputsAndOutputs) {
    EXPECT_EQ(messageOf([] { mclCallFunction(info, "echo", 1, {}); }),
              "La variable « x » est utilisée avant d'avoir reçu une valeur.");
    // With no output asked for, the first output is still handed back.
    mxArray slot;
    mxArray input = mxArray::scalar(4);
    mlxEcho(0, &slot, 1, &input);
    EXPECT_EQ(slot, mxArray::scalar(4));
    EXPECT_EQ(messageOf([] { mclValidateOutputError("PGP2", "var_"); }),
              "La sortie « PGP2 » de la fonction « var_ » n'a pas reçu de valeur.");
}

TEST(ProgramFunctions, CallbackTextsSplitAtTheFirstBlank) {
    calls.clear();
    mclDispatchCallback(info, "recorder slider1");
    mclDispatchCallback(info, "recorder two words");
    mclDispatchCallback(info, "recorder");
    EXPECT_EQ(calls, (std::vector<std::string>{"recorder(slider1)", "recorder(two words)", "recorder()"}));
    EXPECT_EQ(messageOf([] { mclDispatchCallback(info, "nobody Trial"); }),
              "Fonction « nobody » inconnue de ce programme.");
}

TEST(ProgramFunctions, InitialisersInOrderTerminatorsReversed) {
    calls.clear();
    mclRunInitializers(info);
    mclRunTerminators(info);
    EXPECT_EQ(calls, (std::vector<std::string>{"init1", "init2", "term2", "term1"}));
}

TEST(ProgramFunctions, LocalTableRestoredEvenOnError) {
    static const mclLocalFunctionTable outer{0, nullptr}, inner{0, nullptr};
    mclLocalFunctionScope a(&outer);
    try {
        mclLocalFunctionScope b(&inner);
        EXPECT_EQ(mclCurrentLocalFunctionTable(), &inner);
        mlfError("stop");
    } catch (const mclError&) {
    }
    EXPECT_EQ(mclCurrentLocalFunctionTable(), &outer);
}

struct Counted {
    mxArray value = mxArray::scalar(2);
};

TEST(ProgramFunctions, ModuleConstantsLiveBetweenInitAndTerm) {
    mclModuleConstants<Counted> k("test");
    EXPECT_THROW(k.get(), std::logic_error);
    k.initialize();
    EXPECT_EQ(k->value, mxArray::scalar(2));
    k.terminate();
    EXPECT_THROW(k.get(), std::logic_error);
}

}  // namespace
