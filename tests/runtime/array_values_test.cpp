// Values, arithmetic, tests and indexing.
#include "array.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::string messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const mclError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(Values, KindsAndSizes) {
    EXPECT_TRUE(mxArray().isEmpty());
    EXPECT_EQ(mxArray().sizeText(), "0x0");
    EXPECT_EQ(mxArray::row({1, 2, 3}).sizeText(), "1x3");
    EXPECT_EQ(mxArray::column({1, 2}).sizeText(), "2x1");
    mxArray euro = mxArray::text("€");
    ASSERT_TRUE(euro.isChar());
    EXPECT_EQ(euro.codes(), std::u16string(1, u'\x80'));
    EXPECT_EQ(euro.toUtf8(), "€");
    EXPECT_EQ(mxArray::text("Réalisation essai").codes()[1], u'\xE9');
}

TEST(Values, CopiesAreIndependent) {
    mxArray a = mxArray::row({1, 2});
    mxArray b = a;
    b.set(0, 9);
    EXPECT_EQ(a.at(0), 1);
    mxArray s;
    s.field("hui") = mxArray::row({4});
    mxArray t = s;
    t.field("hui") = mxArray::scalar(0);
    EXPECT_EQ(s.field("hui").at(0), 4);
}

TEST(Values, StructuresKeepFieldOrder) {
    mxArray vh;
    vh.field("hline2") = mxArray::scalar(1);
    vh.field("hui") = mxArray::scalar(2);
    vh.field("hline") = mxArray::scalar(3);
    EXPECT_EQ(vh.fieldNames(), (std::vector<std::string>{"hline2", "hui", "hline"}));
    EXPECT_THROW(static_cast<const mxArray&>(vh).field("nope"), mclError);
}

TEST(Arithmetic, ScalarExpansionAndDimensionErrors) {
    EXPECT_EQ(mclPlus(mxArray::row({1, 2}), mxArray::scalar(1)), mxArray::row({2, 3}));
    EXPECT_EQ(mclMinus(mxArray::scalar(10), mxArray::row({1, 2})), mxArray::row({9, 8}));
    EXPECT_EQ(messageOf([] { mclPlus(mxArray::row({1, 2, 3}), mxArray::column({1, 2})); }),
              "Dimensions incompatibles pour « + » : 1x3 et 2x1.");
    // Dot product of two rows, as the model computes it.
    EXPECT_EQ(mlf_times_transpose(mxArray::row({1, 2, 3}), mxArray::row({4, 5, 6}), 2),
              mxArray::scalar(32));
    EXPECT_EQ(messageOf([] { mlf_times_transpose(mxArray::row({1, 2}), mxArray::row({1, 2, 3}), 2); }),
              "Dimensions incompatibles pour « * » : 1x2 et 3x1.");
    EXPECT_EQ(mclMpower(mxArray::scalar(-3), mxArray::scalar(2)), mxArray::scalar(9));
    EXPECT_EQ(mclMrdivide(mxArray::row({2, 4}), mxArray::scalar(2)), mxArray::row({1, 2}));
    EXPECT_THROW(mclMrdivide(mxArray::scalar(1), mxArray::row({1, 2})), mclError);
    EXPECT_THROW(mclPlus(mxArray::structure(), mxArray::scalar(1)), mclError);
}

TEST(Arithmetic, MatrixProductTransposeAndTangent) {
    mxArray a = mxArray::matrix(2, 2, {1, 3, 2, 4});  // [1 2; 3 4]
    EXPECT_EQ(mclMtimes(a, mxArray::column({1, 1})), mxArray::column({3, 7}));
    EXPECT_EQ(mlfCtranspose(mxArray::column({1, 2, 3})), mxArray::row({1, 2, 3}));
    EXPECT_DOUBLE_EQ(mlfTan(mxArray::scalar(M_PI / 4)).at(0), 1.0);
    mxArray z = mxArray::complexScalar(2, 5);
    EXPECT_EQ(mlfIsreal(z).at(0), 0);
    EXPECT_EQ(mlfReal(z), mxArray::scalar(2));
    EXPECT_EQ(mlfIsreal(mxArray::scalar(2)).at(0), 1);
}

// Real operands give real results, infinities and zero divisors included;
// complex arithmetic on them would turn the zero imaginary parts into NaN.
TEST(Arithmetic, RealOperandsStayRealAtTheLimits) {
    const mxArray inf = mxArray::scalar(INFINITY), eight = mxArray::scalar(8);
    const std::pair<mxArray, double> cases[] = {
        {mclMtimes(inf, eight), INFINITY},           {mclMtimes(eight, mclMinus(eight, inf)), -INFINITY},
        {mclPlus(inf, eight), INFINITY},             {mclMrdivide(inf, eight), INFINITY},
        {mclMrdivide(mxArray::scalar(-1), mxArray::scalar(0)), -INFINITY},
        {mclMpower(inf, mxArray::scalar(0.5)), INFINITY},
        {mclMtimes(mxArray::scalar(1e308), eight), INFINITY},
    };
    for (const auto& [result, expected] : cases) {
        EXPECT_FALSE(result.isComplex()) << expected;
        EXPECT_EQ(result.at(0), expected);
    }
    EXPECT_EQ(mclMtimes(mxArray::row({INFINITY, 1}), eight), mxArray::row({INFINITY, 8}));
    // Complex results remain where mathematics gives them.
    mxArray root = mclMpower(mxArray::scalar(-4), mxArray::scalar(0.5));
    ASSERT_TRUE(root.isComplex());
    EXPECT_DOUBLE_EQ(root.imagAt(0), 2);
    EXPECT_EQ(mclMtimes(mxArray::complexScalar(0, 1), mxArray::scalar(2)).imagAt(0), 2);
}

TEST(Comparison, TruthAndTexts) {
    EXPECT_TRUE(mclEqBool(mxArray::scalar(9), mxArray::scalar(9)));
    EXPECT_FALSE(mclEqBool(mxArray::row({9, 1}), mxArray::scalar(9)));
    EXPECT_TRUE(mclGtBool(mxArray::scalar(3), mxArray::scalar(0)));
    EXPECT_FALSE(mlfTobool(mxArray()));
    EXPECT_EQ(mclOr(mxArray::scalar(0), mxArray::scalar(1)), mxArray::scalar(1));
    EXPECT_EQ(mclAnd(mxArray::scalar(0), mxArray::scalar(1)), mxArray::scalar(0));
    EXPECT_TRUE(mclSwitchCompare(mxArray::text("Trial"), mxArray::text("Trial")));
    EXPECT_FALSE(mclSwitchCompare(mxArray::text("trial"), mxArray::text("Trial")));
    EXPECT_FALSE(mclSwitchCompare(mxArray::text("Trial "), mxArray::text("Trial")));
    EXPECT_FALSE(mclSwitchCompare(mxArray::scalar(1), mxArray::text("Trial")));
    EXPECT_EQ(mlfStrcmp(mxArray::text("axes"), mxArray::text("axes")).at(0), 1);
    EXPECT_EQ(mlfIsstr(mxArray::scalar(1)).at(0), 0);
}

TEST(Indexing, ReferencesAndErrors) {
    mxArray v = mxArray::row({5, 6, 7});
    EXPECT_EQ(mclIntArrayRef1(v, 3), mxArray::scalar(7));
    EXPECT_EQ(messageOf([&] { mclIntArrayRef1(v, 4); }),
              "Indice 4 hors limites : la valeur a 3 éléments (1x3).");
    EXPECT_THROW(mclIntArrayRef1(v, 0), mclError);
    mxArray m = mxArray::matrix(4, 2, {0, 30, 60, 80, 0, 0, 30, 31});
    EXPECT_EQ(mclArrayRef2(m, mlfCreateColonIndex(), mxArray::scalar(2)), mxArray::column({0, 0, 30, 31}));
    EXPECT_EQ(mclLengthInt(m), 4);
    EXPECT_EQ(mclLengthInt(mxArray()), 0);
}

TEST(Indexing, AssignmentGrowsARowWithZeros) {
    mxArray vh;
    mlfIndexAssign(vh, ".hui(?)", mxArray::scalar(11), {mxArray::scalar(6)});
    mlfIndexAssign(vh, ".hui(?)", mxArray::scalar(12), {mxArray::scalar(1)});
    mlfIndexAssign(vh, ".hui(?)", mxArray::scalar(13), {mxArray::scalar(203)});
    const mxArray& hui = vh.field("hui");
    EXPECT_EQ(hui.sizeText(), "1x203");
    EXPECT_EQ(hui.at(0), 12);
    EXPECT_EQ(hui.at(5), 11);
    EXPECT_EQ(hui.at(49), 0);
    EXPECT_EQ(mlfIndexRef(vh, ".hui(?)", {mxArray::scalar(203)}), mxArray::scalar(13));
    mlfIndexAssign(vh, ".hline", mxArray::scalar(4));
    EXPECT_EQ(mlfIndexRef(vh, ".hline"), mxArray::scalar(4));
    mxArray list = mxArray::cell({mxArray::text("slider1")});
    EXPECT_EQ(mlfIndexRef(list, "{?}", {mxArray::scalar(1)}), mxArray::text("slider1"));
}

// Only an assignment makes a field: a misspelt name read is an error that
// names it, and leaves the structure as it was.
TEST(Indexing, ReadingAFieldThatDoesNotExistRaisesAndCreatesNothing) {
    mxArray vh;
    mlfIndexAssign(vh, ".hui(?)", mxArray::scalar(11), {mxArray::scalar(2)});
    const mxArray before = vh;
    EXPECT_EQ(messageOf([&] { mlfIndexRef(vh, ".hiu(?)", {mxArray::scalar(2)}); }),
              "Le champ « hiu » n'existe pas.");
    EXPECT_EQ(messageOf([&] { mlfIndexRef(vh, ".hline"); }), "Le champ « hline » n'existe pas.");
    EXPECT_EQ(vh, before);
    EXPECT_EQ(vh.fieldNames(), std::vector<std::string>{"hui"});
    EXPECT_EQ(messageOf([] { mlfIndexRef(mxArray::scalar(1), ".hui"); }), "Une valeur de type nombre n'a pas de champs.");
    EXPECT_EQ(messageOf([] { mlfIndexRef(mxArray(), ".hui"); }), "Une valeur de type nombre n'a pas de champs.");
    EXPECT_EQ(mlfIndexRef(vh, ".hui(?)", {mxArray::scalar(2)}), mxArray::scalar(11));
}

TEST(Indexing, Concatenation) {
    EXPECT_EQ(mlfHorzcat({mxArray::text("A="), mxArray::text("16"), mxArray::text("°")}),
              mxArray::text("A=16°"));
    EXPECT_EQ(mlfHorzcat({mxArray::scalar(1), mxArray(), mxArray::row({2, 3})}), mxArray::row({1, 2, 3}));
    EXPECT_EQ(mlfVertcat({mxArray::row({0, 0}), mxArray::row({30, 0})}),
              mxArray::matrix(2, 2, {0, 30, 0, 0}));
    EXPECT_THROW(mlfVertcat({mxArray::row({0, 0}), mxArray::row({1, 2, 3})}), mclError);
    EXPECT_THROW(mlfHorzcat({mxArray::row({1}), mxArray::column({1, 2})}), mclError);
}

TEST(Globals, UnsetUntilFirstAssignment) {
    mclGlobalVariable g("Nb_essai");
    EXPECT_EQ(messageOf([&] { mclVg(g); }),
              "La variable « Nb_essai » est utilisée avant d'avoir reçu une valeur.");
    mclInitGlobal(g) = mxArray::scalar(2);
    EXPECT_EQ(mclVg(g), mxArray::scalar(2));
}

}  // namespace
