#include "simulator_test_support.h"
#include "three_var.h"
#include "v_cr2reelle.h"
#include "v_reelle2cr.h"
#include "var_.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

using Setting = std::array<double, 5>;
using Prediction = std::array<double, 3>;  // A1, A2, H

constexpr Setting centre{0, 0, 0, 0, 0};
constexpr Prediction constantTerms{132.8059994, 128.8776092, 32.89855927};

Prediction predict(const Setting& s) {
    mxArray A2, H;
    mxArray A1 = mlfVar_(&A2, &H, mxArray::scalar(s[0]), mxArray::scalar(s[1]),
                         mxArray::scalar(s[2]), mxArray::scalar(s[3]), mxArray::scalar(s[4]));
    return {A1.toScalar(), A2.toScalar(), H.toScalar()};
}

// A coefficient file's text, each number written with the given format.
std::string layout(const std::vector<double>& row, const char* format = "%f \t") {
    std::string text;
    for (double c : row) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, format, c);
        text += buffer;
    }
    return text;
}

std::vector<double> unitRow(std::size_t k, double value = 1) {
    std::vector<double> row(21, 0.0);
    row[k] = value;
    return row;
}

TEST_F(SimulatorFolderTest, BuiltInRowsGiveTheQuotedFigures) {
    EXPECT_EQ(predict(centre), constantTerms);
    const std::pair<Setting, Prediction> cases[] = {
        {{-1, -1, 1, -2, -0.4}, {144.148775, 126.974152, 23.659797}},
        {{1, 1, 1, 1, 1}, {129.845967, 142.966166, 38.413867}},
    };
    for (const auto& [setting, expected] : cases)
        for (int m = 0; m < 3; ++m) EXPECT_NEAR(predict(setting)[m], expected[m], 5e-7) << m;
}

TEST_F(SimulatorFolderTest, TwoFilesOfThreeAreIgnored) {
    writeFile("poly/A1.poly", layout(unitRow(0, 7)));
    writeFile("poly/A2.poly", layout(unitRow(0, 7)));
    EXPECT_EQ(predict(centre), constantTerms);
}

TEST_F(SimulatorFolderTest, ATrialsEvaluationsReadTheFilesOnceAndItsRowNamesThem) {
    auto writeAll = [](double constant) {
        for (const char* file : {"poly/A1.poly", "poly/A2.poly", "poly/H.poly"}) writeFile(file, layout(unitRow(0, constant)));
    };
    writeAll(7);
    std::string evaluated;
    {
        const CoefficientFilesReadOnce trial;
        EXPECT_EQ(predict(centre), (Prediction{7, 7, 7}));
        evaluated = evaluatedCoefficientsFingerprint();
        writeAll(9);
        EXPECT_EQ(predict(centre), (Prediction{7, 7, 7}));
        EXPECT_EQ(evaluatedCoefficientsFingerprint(), evaluated);
    }
    EXPECT_EQ(predict(centre), (Prediction{9, 9, 9}));
    EXPECT_NE(evaluatedCoefficientsFingerprint(), evaluated);
    EXPECT_EQ(evaluatedCoefficientsFingerprint().size(), 64u);
    fs::remove("poly/H.poly");
    EXPECT_EQ(predict(centre), constantTerms);
    EXPECT_EQ(evaluatedCoefficientsFingerprint(), "intégrés");
}

// At (2, 3, 5, 7, 11) every term has a value of its own, so a unit row shows
// which term the k-th number of a file multiplies. The files change between
// evaluations, and each evaluation must see the new ones.
TEST_F(SimulatorFolderTest, KthNumberOfEachFileMultipliesTheKthTerm) {
    const double terms[21] = {1,  2,  3,  5,  7,  11, 6,  10, 14, 22, 15,
                              21, 33, 35, 55, 77, 4,  9,  25, 49, 121};
    for (std::size_t k = 0; k < 21; ++k) {
        writeFile("poly/A1.poly", layout(unitRow(k, 1)));
        writeFile("poly/A2.poly", layout(unitRow(k, 2), "%.17g\n"));
        writeFile("poly/H.poly", layout(unitRow(k, 3), "%g ") + "\nfin 7 8\n");
        Prediction expected{terms[k], 2 * terms[k], 3 * terms[k]};
        EXPECT_EQ(predict({2, 3, 5, 7, 11}), expected) << "term " << k + 1;
    }
}

TEST_F(SimulatorFolderTest, NonFiniteCoefficientsRaiseNamingFileAndPlace) {
    const std::string rest = layout(std::vector<double>(20, 0.0));
    writeFile("poly/A1.poly", layout(unitRow(0)));
    writeFile("poly/A2.poly", "NaN " + rest);
    writeFile("poly/H.poly", layout(unitRow(0)));
    EXPECT_THAT([] { predict(centre); },
                ::testing::ThrowsMessage<mclError>("Le fichier de coefficients poly/A2.poly contient « NaN » en "
                                                   "coefficient 1 : un coefficient doit être un nombre fini."));
}

TEST_F(SimulatorFolderTest, WrongNumberCountRaisesFromTheStartFolder) {
    const std::array<const char*, 3> cases[] = {
        {"poly/A1.poly", "1\n2\n3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20\nx 21",
         "Le fichier de coefficients poly/A1.poly contient 20 nombres au lieu de 21."},
        {"poly/H.poly", "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22",
         "Le fichier de coefficients poly/H.poly contient 22 nombres au lieu de 21."},
        {"poly/A2.poly", "132,8 1,9",
         "Le fichier de coefficients poly/A2.poly contient 1 nombre au lieu de 21."},
    };
    const fs::path here = fs::current_path();
    for (const auto& [file, content, message] : cases) {
        for (const char* name : {"poly/A1.poly", "poly/A2.poly", "poly/H.poly"})
            writeFile(name, layout(unitRow(0)));
        writeFile(file, content);
        EXPECT_THAT([] { predict(centre); }, ::testing::ThrowsMessage<mclError>(message));
        EXPECT_EQ(fs::current_path(), here);
        EXPECT_EQ(mclOpenFileCount(), 0);
    }
}

TEST_F(SimulatorFolderTest, MissingPolyFolderRaisesAndStaysPut) {
    fs::remove("poly");
    fs::path here = fs::current_path();
    EXPECT_THAT([] { predict(centre); }, raises("poly"));
    EXPECT_EQ(fs::current_path(), here);
}

TEST_F(SimulatorFolderTest, ArrayInterfaceFillsOnlyTheOutputsAskedFor) {
    const mxArray unset = mxArray::text("unset");
    std::vector<mxArray> in(5, mxArray::scalar(0));
    mxArray out[3] = {unset, unset, unset};
    mlxVar_(1, out, 5, in.data());
    EXPECT_EQ(out[0].toScalar(), constantTerms[0]);
    EXPECT_EQ(out[1], unset);
    mlxVar_(3, out, 5, in.data());
    EXPECT_EQ(out[2].toScalar(), constantTerms[2]);
    EXPECT_THAT([&] { mlxVar_(1, out, 4, in.data()); }, raises("« PP5 »"));
}

TEST_F(SimulatorFolderTest, ThreeVarIsTheSquaredDistanceFromTheTarget) {
    EXPECT_NEAR(mlfThree_var(mxArray::row({0, 0, 0, 0, 0})).toScalar(), 48.341821, 5e-7);
    // Elements 1 to 5 in linear order, whatever the shape; the rest is ignored.
    mxArray column = mxArray::column({-1, -1, 1, -2, -0.4, 99});
    EXPECT_NEAR(mlfThree_var(column).toScalar(), 194.085484, 5e-7);
    EXPECT_THROW(mlfThree_var(mxArray::row({0, 0, 0, 0})), mclError);
}

TEST_F(SimulatorTest, CodedAndRealValues) {
    const std::array<double, 4> cases[] = {  // coded, bsup, binf, real
        {-1, 16, 0, 0}, {1, 16, 0, 16}, {0, 10, 6, 8}, {-2, 38, 30, 26}, {0.5, 80, 40, 70}};
    for (const auto& [coded, bsup, binf, real] : cases) {
        mxArray high = mxArray::scalar(bsup), low = mxArray::scalar(binf);
        EXPECT_EQ(mlfV_reelle2cr(mxArray::scalar(coded), high, low).toScalar(), real);
        EXPECT_EQ(mlfV_cr2reelle(mxArray::scalar(real), high, low).toScalar(), coded);
    }
    EXPECT_THAT([] { mlfV_reelle2cr(mxArray::scalar(1), mxArray::scalar(16)); },
                raises("« binf »"));
}

}  // namespace
