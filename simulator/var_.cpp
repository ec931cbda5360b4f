#include "var_.h"

#include "bending_model.h"
#include "coefficient_file.h"
#include "facts.h"

#include <array>
#include <vector>

namespace {

mxArray rowArray(const bending::TermRow& row) { return mxArray::row(std::vector<double>(row.begin(), row.end())); }

struct Constants {
    std::array<mxArray, 3> builtIn = {rowArray(bending::builtInRows()[0]), rowArray(bending::builtInRows()[1]),
                                      rowArray(bending::builtInRows()[2])};
    mxArray poly = mxArray::text(facts::kCoefficientFolder);
    mxArray parent = mxArray::text("..");
    mxArray one = mxArray::scalar(1);
};
mclModuleConstants<Constants> k("var_");

// The files' latest read; while a CoefficientFilesReadOnce lives, whether it was made.
bending::CoefficientRead latestRead;
bool readOnce = false;
bool readInScope = false;

std::array<mxArray, 3> coefficientRows() {
    if (!readInScope) {
        // Entering poly says, as the simulator always did, when the folder cannot be used.
        {
            mclFolderScope poly(k->poly);
            poly.leave(k->parent);
        }
        // Named from the working folder, so that a refused file's message shows the folder.
        latestRead.readAgain(facts::kCoefficientFolder);
        readInScope = readOnce;
    }
    const auto& rows = latestRead.rows();
    if (!rows) return k->builtIn;
    return {rowArray((*rows)[0]), rowArray((*rows)[1]), rowArray((*rows)[2])};
}

mxArray Mvar_(mxArray* PGP2, mxArray* PGP3, int /*nargout*/, mclInput PP1, mclInput PP2,
              mclInput PP3, mclInput PP4, mclInput PP5) {
    mclLocalFunctionScope scope(&_local_function_table_var_);
    std::array<mxArray, 3> rows = coefficientRows();
    const mxArray& A = mclValidate(PP1, "PP1");
    const mxArray& R = mclValidate(PP2, "PP2");
    const mxArray& L = mclValidate(PP3, "PP3");
    const mxArray& C = mclValidate(PP4, "PP4");
    const mxArray& F = mclValidate(PP5, "PP5");
    const std::array<const mxArray*, 5> x = {&A, &R, &L, &C, &F};
    std::vector<mxArray> terms;
    terms.reserve(bending::kTermCount);
    for (const bending::Term& t : bending::terms())
        terms.push_back(t.first < 0    ? k->one
                        : t.second < 0 ? *x[t.first]
                                       : mclMtimes(*x[t.first], *x[t.second]));
    mxArray Conf = mlfHorzcat(terms);
    auto model = [&Conf](const mxArray& row) { return mlf_times_transpose(row, Conf, 2); };
    mxArray PGP1 = model(rows[0]);
    if (PGP2) *PGP2 = model(rows[1]);
    if (PGP3) *PGP3 = model(rows[2]);
    return PGP1;
}

}  // namespace

const mclLocalFunctionTable _local_function_table_var_ = {0, nullptr};

CoefficientFilesReadOnce::CoefficientFilesReadOnce() { readOnce = true; }

CoefficientFilesReadOnce::~CoefficientFilesReadOnce() { readOnce = readInScope = false; }

std::string evaluatedCoefficientsFingerprint() { return latestRead.fingerprint().toStdString(); }

void InitializeModule_var_() { k.initialize(); }
void TerminateModule_var_() { k.terminate(); }

mxArray mlfVar_(mxArray* PGP2, mxArray* PGP3, mclInput PP1, mclInput PP2, mclInput PP3,
                mclInput PP4, mclInput PP5) {
    int nargout = 1 + (PGP2 ? 1 : 0) + (PGP3 ? 1 : 0);
    return Mvar_(PGP2, PGP3, nargout, std::move(PP1), std::move(PP2), std::move(PP3),
                 std::move(PP4), std::move(PP5));
}

void mlxVar_(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]) {
    mclCheckArgumentCounts("var_", nlhs, 3, nrhs, 5);
    auto inputs = mclTakeInputs(nrhs, prhs, 5);
    plhs[0] = Mvar_(nlhs > 1 ? &plhs[1] : nullptr, nlhs > 2 ? &plhs[2] : nullptr, nlhs,
                    std::move(inputs[0]), std::move(inputs[1]), std::move(inputs[2]),
                    std::move(inputs[3]), std::move(inputs[4]));
}
