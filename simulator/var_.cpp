#include "var_.h"

#include "facts.h"

#include <array>
#include <cmath>
#include <string>

namespace {

struct Constants {
    mxArray poly = mxArray::text(facts::kCoefficientFolder);
    mxArray parent = mxArray::text("..");
    // A1, A2, H: the files and the built-in rows in the same order.
    std::array<mxArray, 3> files = {mxArray::text(facts::kModels[0].file),
                                    mxArray::text(facts::kModels[1].file),
                                    mxArray::text(facts::kModels[2].file)};
    mxArray readMode = mxArray::text("r");
    mxArray numbers = mxArray::text("%f");
    mxArray zero = mxArray::scalar(0);
    mxArray one = mxArray::scalar(1);
    mxArray threeFirstIds = mxArray::scalar(9);
    std::array<mxArray, 3> builtInRows = {
        mxArray::row({132.8059994, -1.931087942, 1.086162249, 3.55587323, -2.095970998,
                      -3.1288359, -0.254279732, -0.52930133, 0.268705182, -0.081378716,
                      0.099218339, -0.098211872, -0.065952902, -0.030779209, 0.09334202,
                      -0.007962146, -0.728896251, 0.199819533, 0.035203787, 0.367702197,
                      0.286598138}),
        mxArray::row({128.8776092, 7.822867331, 1.923077469, 3.951198497, -2.761647251,
                      3.013463635, -0.391700012, -0.491300274, 0.3349355, -0.478014299,
                      0.296490281, 0.345910573, 0.018958282, 0.52523462, -0.256053147,
                      0.032923571, 2.193412555, -0.43434357, -0.535318587, -0.402707051,
                      -0.618831791}),
        mxArray::row({32.89855927, 1.388847371, -0.09122793, -0.116378227, 2.291961099,
                      1.880930283, 0.206136868, 0.581677957, -0.132858312, 0.210460892,
                      -0.070883456, -0.083014876, 0.085868875, 0.008582492, 0.2576019,
                      -0.008412675, 0.596073587, -0.359770214, -0.284611648, -0.406261894,
                      -0.439414628}),
    };
};
mclModuleConstants<Constants> k("var_");

// Each probe is closed before the next opens and no other file is open during
// an evaluation, so every file that opens gets id 3 and a failed open -1: the
// ids add up to 9 exactly when all three files are there.
bool allFilesPresent() {
    mxArray total = k->zero;
    for (const mxArray& file : k->files) {
        mxArray fid = mlfFopen(file);
        if (mclGtBool(fid, k->zero)) mlfFclose(fid);
        total = mclPlus(total, fid);
    }
    return mclEqBool(total, k->threeFirstIds);
}

mxArray readRow(const mxArray& file, std::size_t expectedCount) {
    mxArray fid = mlfFopen(file, k->readMode);
    mxArray column = mlfFscanf(fid, k->numbers);
    mlfFclose(fid);
    // A short or long row would only fail later, in the products, with a
    // message that names neither the file nor the count.
    if (column.numel() != expectedCount)
        mlfError("Le fichier de coefficients " + k->poly.toUtf8() + "/" + file.toUtf8() +
                 " contient " + std::to_string(column.numel()) +
                 (column.numel() > 1 ? " nombres" : " nombre") + " au lieu de " +
                 std::to_string(expectedCount) + ".");
    // NaN or Inf would make every angle NaN and the chart empty, without a word.
    for (std::size_t n = 0; n < column.numel(); ++n)
        if (!std::isfinite(column.at(n)))
            mlfError("Le fichier de coefficients " + k->poly.toUtf8() + "/" + file.toUtf8() +
                     " contient « " + num2strText(column.at(n)) + " » en coefficient " +
                     std::to_string(n + 1) + " : un coefficient doit être un nombre fini.");
    return mlfCtranspose(column);
}

// The files are used only all together: one model's file never joins the
// built-in rows of the others.
std::array<mxArray, 3> coefficientRows() {
    // An error while inside "poly" still takes the program back out.
    mclFolderScope poly(k->poly);
    std::array<mxArray, 3> rows = k->builtInRows;
    if (allFilesPresent())
        for (std::size_t m = 0; m < rows.size(); ++m)
            rows[m] = readRow(k->files[m], k->builtInRows[m].numel());
    poly.leave(k->parent);
    return rows;
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
    mxArray Conf = mlfHorzcat({k->one, A, R, L, C, F,
                               mclMtimes(A, R), mclMtimes(A, L), mclMtimes(A, C), mclMtimes(A, F),
                               mclMtimes(R, L), mclMtimes(R, C), mclMtimes(R, F),
                               mclMtimes(L, C), mclMtimes(L, F),
                               mclMtimes(C, F),
                               mclMtimes(A, A), mclMtimes(R, R), mclMtimes(L, L), mclMtimes(C, C),
                               mclMtimes(F, F)});
    auto model = [&Conf](const mxArray& row) { return mlf_times_transpose(row, Conf, 2); };
    mxArray PGP1 = model(rows[0]);
    if (PGP2) *PGP2 = model(rows[1]);
    if (PGP3) *PGP3 = model(rows[2]);
    return PGP1;
}

}  // namespace

const mclLocalFunctionTable _local_function_table_var_ = {0, nullptr};

void InitializeModule_var_() { k.initialize(); }
void TerminateModule_var_() { k.terminate(); }

mxArray mlfVar_(mxArray* PGP2, mxArray* PGP3, mclInput PP1, mclInput PP2, mclInput PP3,
                mclInput PP4, mclInput PP5) {
    int nargout = 1 + (PGP2 ? 1 : 0) + (PGP3 ? 1 : 0);
    return Mvar_(PGP2, PGP3, nargout, std::move(PP1), std::move(PP2), std::move(PP3),
                 std::move(PP4), std::move(PP5));
}

std::array<std::array<double, 21>, 3> var_CoefficientRows() {
    mclLocalFunctionScope scope(&_local_function_table_var_);
    const std::array<mxArray, 3> rows = coefficientRows();
    std::array<std::array<double, 21>, 3> out;
    for (std::size_t m = 0; m < out.size(); ++m)
        for (std::size_t n = 0; n < out[m].size(); ++n) out[m][n] = rows[m].at(n);
    return out;
}

void mlxVar_(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]) {
    mclCheckArgumentCounts("var_", nlhs, 3, nrhs, 5);
    auto inputs = mclTakeInputs(nrhs, prhs, 5);
    plhs[0] = Mvar_(nlhs > 1 ? &plhs[1] : nullptr, nlhs > 2 ? &plhs[2] : nullptr, nlhs,
                    std::move(inputs[0]), std::move(inputs[1]), std::move(inputs[2]),
                    std::move(inputs[3]), std::move(inputs[4]));
}
