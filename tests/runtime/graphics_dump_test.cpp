// JSON texts of values and the dump of a window, as scripted sessions print them.
#include "dump.h"
#include "graphics_test_support.h"
#include "json.h"

#include <cmath>

using graphics::jsonValue;

namespace {

TEST(GraphicsJson, NumbersInShortestRoundTripForm) {
    EXPECT_EQ(jsonValue(N(2500)), "2500");
    EXPECT_EQ(jsonValue(N(0.1)), "0.1");
    EXPECT_EQ(jsonValue(N(-1.0 / 3)), "-0.3333333333333333");
    EXPECT_EQ(jsonValue(N(30.44)), "30.44");
    EXPECT_EQ(jsonValue(N(1e-7)), "1e-07");
    EXPECT_EQ(jsonValue(N(NAN)), "null");  // JSON has no NaN
    EXPECT_EQ(std::stod(graphics::jsonNumber(1.0 / 3)), 1.0 / 3);
}

TEST(GraphicsJson, MatricesAreRowsTextsAreStrings) {
    EXPECT_EQ(jsonValue(Row({0, 80})), "[[0,80]]");
    EXPECT_EQ(jsonValue(mxArray::matrix(2, 2, {1, 2, 3, 4})), "[[1,3],[2,4]]");  // column-major data
    EXPECT_EQ(jsonValue(mxArray::column({1, 2})), "[[1],[2]]");
    EXPECT_EQ(jsonValue(mxArray()), "[]");
    EXPECT_EQ(jsonValue(T("Coût \"total\" (€)\\")), "\"Coût \\\"total\\\" (€)\\\\\"");
    EXPECT_EQ(jsonValue(T("a\tb\x01")), "\"a\\tb\\u0001\"");
    EXPECT_EQ(jsonValue(mxArray::cell({T("a"), N(1)})), "[\"a\",1]");
}

class GraphicsDump : public FreshTree {};

TEST_F(GraphicsDump, TheWindowFirstThenItsObjectsInCreationOrder) {
    double figure = handle(mlfNFigure({T("Name"), T(" Essai"), T("Position"), Row({210.67, 82.67, 682.67, 533.33})}));
    mlfNSet(N(figure), T("units"), T("normalized"));
    double axes = handle(mlfNAxes({T("Position"), Row({0.03, 0.06, 0.6, 0.4}), T("tag"), T("axe")}));
    double slider = handle(mlfNUicontrol({N(figure), T("Style"), T("slider"), T("Value"), N(0.25), T("Units"),
                                          T("normalized"), T("Position"), Row({0.25, 0.88, 0.2, 0.03})}));
    double line = handle(mlfNPlot(Row({0, 30}), Row({0, NAN}), T("r:"), {T("LineWidth"), N(2)}));
    mlfNSet(N(axes), T("XLim"), Row({0, 80}));
    double label = handle(mlfNUicontrol({T("Style"), T("text"), T("String"), T("A=16°")}));
    double text = handle(mlfNText({T("Position"), Row({15, 15}), T("String"), T("H")}));
    double legend = handle(mlfNLegend({T("Profil cible")}));

    auto h = [](double x) { return graphics::jsonNumber(x); };
    std::vector<std::string> expected = {
        R"({"handle":1,"type":"figure","parent":0,"tag":"","units":"normalized","position":[210.67,82.67,682.67,533.33],"name":" Essai"})",
        R"({"handle":)" + h(axes) +
            R"(,"type":"axes","parent":1,"tag":"axe","units":"normalized","position":[0.03,0.06,0.6,0.4],"xlim":[0,80],"ylim":[-1,1],"xlimmode":"manual","ylimmode":"auto"})",
        R"({"handle":)" + h(slider) +
            R"(,"type":"uicontrol","parent":1,"tag":"","units":"normalized","position":[0.25,0.88,0.2,0.03],"style":"slider","string":"","value":0.25})",
        R"({"handle":)" + h(line) + R"(,"type":"line","parent":)" + h(axes) +
            R"(,"tag":"","units":"data","xdata":[0,30],"ydata":[0,null],"color":[1,0,0],"linestyle":":","marker":"none","linewidth":2})",
        R"({"handle":)" + h(label) +
            R"(,"type":"uicontrol","parent":1,"tag":"","units":"pixels","position":[20,20,60,20],"style":"text","string":"A=16°","value":0})",
        R"({"handle":)" + h(text) + R"(,"type":"text","parent":)" + h(axes) +
            R"(,"tag":"","units":"data","position":[15,15],"string":"H"})",
        R"({"handle":)" + h(legend) + R"(,"type":"legend","parent":)" + h(axes) +
            R"(,"tag":"","units":"pixels","position":[0,0,0,0],"labels":["Profil cible"]})",
    };
    EXPECT_EQ(graphics::dumpWindow(tree, figure), expected);
}

}  // namespace
