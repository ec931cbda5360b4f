#include "program.h"

#include "errors.h"
#include "files.h"

#include <algorithm>

namespace {
const mclLocalFunctionTable* currentLocalTable = nullptr;
// A function with a list of outputs gives no more than this many.
constexpr int kMostListedOutputs = 1000;
}

std::string mclTooManyMessage(const char* function, const char* what, int declared) {
    return std::string("Run-time Error: File: ") + function + " Line: 1 Column: 1 The function \"" +
           function + "\" was called with more than the declared number of " + what + " (" +
           std::to_string(declared) + ").";
}

void mclCheckArgumentCounts(const char* function, int nlhs, int declaredOutputs, int nrhs,
                            int declaredInputs) {
    if (declaredOutputs >= 0 && nlhs > declaredOutputs)
        mlfError(mclTooManyMessage(function, "outputs", declaredOutputs));
    if (declaredInputs >= 0 && nrhs > declaredInputs)
        mlfError(mclTooManyMessage(function, "inputs", declaredInputs));
}

std::vector<mclInput> mclTakeInputs(int nrhs, mxArray prhs[], int declared) {
    std::vector<mclInput> inputs(static_cast<std::size_t>(std::max(declared, 0)));
    for (int k = 0; k < std::min(nrhs, declared); ++k) inputs[k] = prhs[k];
    return inputs;
}

const mxArray& mclValidate(const mclInput& value, const char* name) {
    if (!value) mclValidateError(name);
    return *value;
}

void mclValidateError(const char* name) {
    mlfError(std::string("La variable « ") + name + " » est utilisée avant d'avoir reçu une valeur.");
}

void mclValidateOutputError(const char* output, const char* function) {
    mlfError(std::string("La sortie « ") + output + " » de la fonction « " + function +
             " » n'a pas reçu de valeur.");
}

mxArray mclVarargin(std::vector<mxArray> inputs) { return mxArray::cell(std::move(inputs)); }

void mclAssignVarargoutCell(int nlhs, mxArray plhs[], const std::vector<mxArray>& outputs,
                            const char* function) {
    // With no output asked for, the first one (if any) is the answer value.
    int wanted = std::max(nlhs, outputs.empty() ? 0 : 1);
    if (static_cast<int>(outputs.size()) < nlhs)
        mlfError(std::string("La fonction « ") + function + " » donne " +
                 std::to_string(outputs.size()) + " sortie(s), " + std::to_string(nlhs) +
                 " demandée(s).");
    for (int k = 0; k < wanted; ++k) plhs[k] = outputs[k];
}

mclLocalFunctionScope::mclLocalFunctionScope(const mclLocalFunctionTable* table)
    : previous_(currentLocalTable) {
    currentLocalTable = table;
}

mclLocalFunctionScope::~mclLocalFunctionScope() { currentLocalTable = previous_; }

const mclLocalFunctionTable* mclCurrentLocalFunctionTable() { return currentLocalTable; }

void mclRunInitializers(const mclMainInfo& info) {
    for (int k = 0; k < info.initTermCount; ++k)
        if (info.initTermTable[k].initialize) info.initTermTable[k].initialize();
}

void mclRunTerminators(const mclMainInfo& info) {
    for (int k = info.initTermCount - 1; k >= 0; --k)
        if (info.initTermTable[k].terminate) info.initTermTable[k].terminate();
}

const mlfFunctionTableEntry* mclFindFunction(const mclMainInfo& info, const std::string& name) {
    for (int k = 0; k < info.functionCount; ++k)
        if (name == info.functionTable[k].name) return &info.functionTable[k];
    return nullptr;
}

std::vector<mxArray> mclCallFunction(const mclMainInfo& info, const std::string& name, int nlhs,
                                     std::vector<mxArray> inputs) {
    const mlfFunctionTableEntry* entry = mclFindFunction(info, name);
    if (!entry) mlfError("Fonction « " + name + " » inconnue de ce programme.");
    if (nlhs < 0) mlfError("Nombre de sorties négatif.");
    // Checked before the outputs are made room for: a count in the millions
    // would take gigabytes first.
    mclCheckArgumentCounts(entry->name, nlhs, entry->outputs, 0, -1);
    if (entry->outputs < 0 && nlhs > kMostListedOutputs)
        mlfError("La fonction « " + name + " » donne au plus " + std::to_string(kMostListedOutputs) + " sorties, " +
                 std::to_string(nlhs) + " demandées.");
    std::vector<mxArray> outputs(static_cast<std::size_t>(std::max(nlhs, 1)));
    entry->function(nlhs, outputs.data(), static_cast<int>(inputs.size()), inputs.data());
    outputs.resize(static_cast<std::size_t>(nlhs));
    return outputs;
}

void mclDispatchCallback(const mclMainInfo& info, const std::string& callbackText) {
    auto blank = callbackText.find(' ');
    std::string name = callbackText.substr(0, blank);
    std::vector<mxArray> inputs;
    if (blank != std::string::npos) inputs.push_back(mxArray::text(callbackText.substr(blank + 1)));
    mclCallFunction(info, name, 0, std::move(inputs));
}

void libfuncInitialize() {}

void libfuncTerminate() { mclCloseAllFiles(); }
