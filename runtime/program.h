// Program functions and the program description record handed to the host.
//
// Every program function X has a body MX holding its logic, a typed interface
// mlfX for calls from program code and an array-vector interface mlxX for the
// host. Both interfaces check and convert their arguments through the helpers
// below, so that a message reads the same whichever interface raised it.
#pragma once

#include "globals.h"
#include "mxarray.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// An input of a body: absent when the caller did not give it.
using mclInput = std::optional<mxArray>;

using mlxFunction = void (*)(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]);

struct mclLocalFunctionTable {
    int count;
    const void* table;
};

struct mlfFunctionTableEntry {
    const char* name;
    mlxFunction function;
    int inputs;   // -1: any number, collected in one list
    int outputs;  // -1: any number, returned as one list
    const mclLocalFunctionTable* localTable;
};

struct mclGlobalTableEntry {
    const char* name;
    mclGlobalVariable* storage;
};

struct mclInitTermEntry {
    void (*initialize)();
    void (*terminate)();
};

struct mclMainInfo {
    int version;
    int functionCount;
    const mlfFunctionTableEntry* functionTable;
    int globalCount;
    const mclGlobalTableEntry* globalTable;
    int thirdCount;
    const void* thirdTable;
    int initTermCount;
    const mclInitTermEntry* initTermTable;
};

// ---- argument checks and validation ---------------------------------------

// Raises the fixed run-time message when more outputs or inputs are asked for
// than declared (-1: any number). The outputs test comes first.
void mclCheckArgumentCounts(const char* function, int nlhs, int declaredOutputs, int nrhs,
                            int declaredInputs);
std::string mclTooManyMessage(const char* function, const char* what, int declared);
// The inputs of an array-vector call, padded with absent ones to `declared`.
std::vector<mclInput> mclTakeInputs(int nrhs, mxArray prhs[], int declared);
// Reads a variable or input that might not be set; raises naming it.
const mxArray& mclValidate(const mclInput& value, const char* name);
[[noreturn]] void mclValidateError(const char* name);
[[noreturn]] void mclValidateOutputError(const char* output, const char* function);
// Packs a run of inputs into one list.
mxArray mclVarargin(std::vector<mxArray> inputs);
// Spreads a list of outputs over the output slots; raises when too few.
void mclAssignVarargoutCell(int nlhs, mxArray plhs[], const std::vector<mxArray>& outputs,
                            const char* function);

// Makes a module's local function table current for the life of the scope.
class mclLocalFunctionScope {
public:
    explicit mclLocalFunctionScope(const mclLocalFunctionTable* table);
    ~mclLocalFunctionScope();
    mclLocalFunctionScope(const mclLocalFunctionScope&) = delete;
    mclLocalFunctionScope& operator=(const mclLocalFunctionScope&) = delete;

private:
    const mclLocalFunctionTable* previous_;
};
const mclLocalFunctionTable* mclCurrentLocalFunctionTable();

// ---- the host's core ---------------------------------------------------------

void mclRunInitializers(const mclMainInfo& info);
// Terminators run in the reverse order of the initialisers.
void mclRunTerminators(const mclMainInfo& info);
const mlfFunctionTableEntry* mclFindFunction(const mclMainInfo& info, const std::string& name);
// Calls a function of the table through its array-vector interface.
std::vector<mxArray> mclCallFunction(const mclMainInfo& info, const std::string& name, int nlhs,
                                     std::vector<mxArray> inputs);
// A callback text is a function name, one blank and one word: the named
// function is called with nlhs = 0 and the word as its one argument.
void mclDispatchCallback(const mclMainInfo& info, const std::string& callbackText);

// The array runtime library's life.
void libfuncInitialize();
void libfuncTerminate();

// A module's constant arrays: built by its initialiser, freed by its
// terminator, only read by its body in between.
template <typename Constants>
class mclModuleConstants {
public:
    explicit mclModuleConstants(const char* module) : module_(module) {}
    void initialize() { constants_.emplace(); }
    void terminate() { constants_.reset(); }
    const Constants* operator->() const { return &get(); }
    const Constants& get() const {
        if (!constants_) throw std::logic_error(std::string("module « ") + module_ + " » non initialisé");
        return *constants_;
    }

private:
    const char* module_;
    std::optional<Constants> constants_;
};
