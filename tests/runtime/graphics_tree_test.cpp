// The object tree and the graphics calls, without a Qt view.
#include "graphics_test_support.h"
#include "plot_style.h"
#include "view.h"

#include <cmath>

using graphics::Object;
using graphics::PropertyRule;
using graphics::Type;

namespace {

// Records what the tree tells its view; its pause runs a given action.
class RecordingView : public graphics::View {
public:
    std::vector<std::string> events;
    std::function<void()> duringPause;

    void objectCreated(const Object& o) override { events.push_back(std::string("created ") + typeName(o.type())); }
    void propertyChanged(const Object&, const PropertyRule& p) override {
        events.push_back(std::string("changed ") + p.name);
    }
    void objectRemoved(const Object& o) override { events.push_back(std::string("removed ") + typeName(o.type())); }
    std::array<double, 4> screenSize() const override { return {1, 1, 1280, 1024}; }
    void pause(double) override {
        if (duringPause) duringPause();
    }
};

std::vector<double> numbers(const mxArray& a) { return a.real(); }
std::string textOf(double h, const char* property) { return mlfNGet(N(h), T(property)).toUtf8(); }

class GraphicsTree : public FreshTree {
protected:
    RecordingView view;  // outlives the tree's reset in TearDown
};

TEST_F(GraphicsTree, FiguresTakeTheSmallestFreeNumberOtherObjectsNeverCollide) {
    double f1 = handle(mlfNFigure({})), f2 = handle(mlfNFigure({}));
    EXPECT_EQ(f1, 1);
    EXPECT_EQ(f2, 2);
    double axes = handle(mlfNAxes({}));
    double button = handle(mlfNUicontrol({}));
    EXPECT_NE(axes, std::floor(axes));
    EXPECT_NE(button, axes);

    mlfDelete(N(f1));
    EXPECT_EQ(numbers(mlfIshandle(Row({f1, f2, axes, 3, 0}))), (std::vector<double>{0, 1, 1, 0, 1}));
    EXPECT_EQ(handle(mlfNFigure({})), 1);
    double later = handle(mlfNUicontrol({}));
    EXPECT_GT(later, button);  // a deleted object's handle is not given again
    EXPECT_EQ(numbers(mlfIshandle(T("abc"))), (std::vector<double>{0, 0, 0}));
}

TEST_F(GraphicsTree, RootIsTheScreen) {
    EXPECT_EQ(textOf(0, "Type"), "root");
    EXPECT_EQ(numbers(mlfNGet(N(0), T("ScreenSize"))), (std::vector<double>{1, 1, 1024, 768}));
    tree.setView(&view);
    EXPECT_EQ(numbers(mlfNGet(N(0), T("screensize"))), (std::vector<double>{1, 1, 1280, 1024}));
    EXPECT_EQ(errorOf([] { mlfNSet(N(0), T("ScreenSize"), Row({1, 1, 2, 2})); }),
              "La propriété « ScreenSize » ne peut pas être modifiée.");
    EXPECT_EQ(errorOf([] { mlfDelete(N(0)); }), "La racine 0 ne peut pas être supprimée.");
}

TEST_F(GraphicsTree, NamesInAnyCaseWordsStoredInLowerCaseTextsAsWindows1252) {
    double h = handle(mlfNUicontrol({T("STYLE"), T("Text"), T("fontweight"), T("Bold"), T("String"),
                                     T("Coût outillage (€)="), T("foregroundcolor"), T("r")}));
    EXPECT_EQ(textOf(h, "style"), "text");
    EXPECT_EQ(textOf(h, "FontWeight"), "bold");
    EXPECT_EQ(numbers(mlfNGet(N(h), T("ForegroundColor"))), (std::vector<double>{1, 0, 0}));
    mxArray shown = mlfNGet(N(h), T("string"));
    EXPECT_EQ(shown.codes()[2], 0xFB);   // û
    EXPECT_EQ(shown.codes()[16], 0x80);  // €
    EXPECT_EQ(shown.toUtf8(), "Coût outillage (€)=");
    EXPECT_EQ(textOf(h, "Type"), "uicontrol");
    EXPECT_EQ(handle(mlfNGet(N(h), T("parent"))), 1);
    EXPECT_EQ(numbers(mlfNGet(N(1), T("Children"))), (std::vector<double>{h}));
}

TEST_F(GraphicsTree, UnknownNamesAndWrongValuesRaiseClearMessages) {
    double figure = handle(mlfNFigure({}));
    double control = handle(mlfNUicontrol({}));
    double axes = handle(mlfNAxes({}));
    double line = handle(mlfNPlot(Row({0, 1}), Row({0, 1}), T("r")));
    struct Case {
        double handle;
        const char* property;
        mxArray value;
        const char* message;
    };
    const Case cases[] = {
        {control, "Foo", N(1), "Propriété « Foo » inconnue pour un objet uicontrol."},
        {axes, "String", T("x"), "Propriété « String » inconnue pour un objet axes."},
        {control, "Units", T("inches"), "La valeur de « Units » doit être l'un de : pixels, normalized."},
        {control, "Style", N(3), "La valeur de « Style » doit être l'un de : pushbutton, frame, text, slider, edit."},
        {control, "Position", Row({1, 2, 3}),
         "La valeur de « Position » doit être [gauche bas largeur hauteur], quatre nombres finis."},
        {figure, "Position", Row({1, 2, NAN, 4}),
         "La valeur de « Position » doit être [gauche bas largeur hauteur], quatre nombres finis."},
        {control, "Value", T("1"), "La valeur de « Value » doit être un nombre fini."},
        {control, "String", N(5), "La valeur de « String » doit être un texte."},
        {line, "LineWidth", N(0), "La valeur de « LineWidth » doit être un nombre positif."},
        {line, "Color", Row({2, 0, 0}),
         "La valeur de « Color » doit être une couleur [r v b] aux composantes entre 0 et 1, ou un nom de couleur."},
        {axes, "XLim", Row({1, 1}), "La valeur de « XLim » doit être [min max], deux nombres finis avec min < max."},
        {axes, "XLim", N(1), "La valeur de « XLim » doit être [min max], deux nombres finis avec min < max."},
        {axes, "Type", T("line"), "La propriété « Type » ne peut pas être modifiée."},
        {axes, "Children", mxArray(), "La propriété « Children » ne peut pas être modifiée."},
        {5, "Tag", T("x"), "Handle graphique invalide : 5."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errorOf([&] { mlfNSet(N(c.handle), T(c.property), c.value); }), c.message) << c.property;

    EXPECT_EQ(errorOf([] { mlfNFigure({T("Name")}); }), "Les propriétés vont par paires : un nom, puis sa valeur.");
    EXPECT_EQ(errorOf([] { mlfNFigure({N(1), N(2)}); }), "L'argument 1 devrait être un nom de propriété.");
    EXPECT_EQ(errorOf([&] { mlfNUicontrol({N(axes), T("Style"), T("text")}); }),
              "Le parent d'un uicontrol doit être une figure.");
}

TEST_F(GraphicsTree, AFailedCreationLeavesNothingBehind) {
    EXPECT_NE(errorOf([] { mlfNFigure({T("Name"), T("a"), T("Units"), T("inches")}); }), "(aucune erreur)");
    EXPECT_TRUE(tree.figures().empty());
    EXPECT_FALSE(tree.currentFigure());
    EXPECT_EQ(handle(mlfNFigure({})), 1);
    double first = handle(mlfNUicontrol({}));
    EXPECT_NE(errorOf([] { mlfNUicontrol({T("Style"), T("knob")}); }), "(aucune erreur)");
    EXPECT_EQ(tree.object(1).children(), (std::vector<double>{first}));
}

TEST_F(GraphicsTree, APositionKeepsTheUnitsInForceWhenItWasSet) {
    double figure = handle(mlfNFigure({T("Position"), Row({210.67, 82.67, 682.67, 533.33})}));
    mlfNSet(N(figure), T("units"), T("normalized"));
    EXPECT_EQ(textOf(figure, "Units"), "normalized");
    EXPECT_EQ(numbers(mlfNGet(N(figure), T("Position"))), (std::vector<double>{210.67, 82.67, 682.67, 533.33}));
    EXPECT_EQ(tree.object(figure).positionUnits(), "pixels");

    double normalized = handle(mlfNUicontrol({T("Units"), T("normalized"), T("Position"), Row({0.03, 0.57, 0.45, 0.38})}));
    EXPECT_EQ(tree.object(normalized).positionUnits(), "normalized");
    double late = handle(mlfNUicontrol({T("Position"), Row({0.03, 0.57, 0.45, 0.38}), T("Units"), T("normalized")}));
    EXPECT_EQ(tree.object(late).positionUnits(), "pixels");
    EXPECT_EQ(numbers(mlfNGet(N(late), T("Position"))), (std::vector<double>{0.03, 0.57, 0.45, 0.38}));

    // Axes are normalized unless told otherwise, so "Position" before "units" reads the same.
    double axes = handle(mlfNAxes({T("Position"), Row({0.51, 0.57, 0.45, 0.17}), T("units"), T("normalized")}));
    EXPECT_EQ(tree.object(axes).positionUnits(), "normalized");
}

TEST_F(GraphicsTree, LimitsFollowTheDataUntilSetThenStay) {
    double axes = handle(mlfNAxes({}));
    EXPECT_EQ(textOf(axes, "XLimMode"), "auto");
    EXPECT_EQ(numbers(mlfNGet(N(axes), T("XLim"))), (std::vector<double>{0, 1}));  // nothing drawn yet
    mlfNPlot(Row({0, 30, 60.44, 80}), Row({0, 0, 30.44, NAN}), T("r"));
    EXPECT_EQ(numbers(mlfNGet(N(axes), T("xlim"))), (std::vector<double>{0, 80}));
    EXPECT_EQ(numbers(mlfNGet(N(axes), T("ylim"))), (std::vector<double>{0, 35}));  // NaN ignored, rounded out

    mlfNSet(N(axes), T("XLim"), Row({0, 100}));
    EXPECT_EQ(textOf(axes, "xlimmode"), "manual");
    mlfNSet(N(axes), T("YLimMode"), T("manual"));  // stays where it was
    mlfHold(T("on"));
    mlfNPlot(Row({-50, 500}), Row({-50, 500}), T("b"));
    EXPECT_EQ(numbers(mlfNGet(N(axes), T("xlim"))), (std::vector<double>{0, 100}));
    EXPECT_EQ(numbers(mlfNGet(N(axes), T("ylim"))), (std::vector<double>{0, 35}));

    mlfNSet(N(axes), T("XLimMode"), T("auto"));
    EXPECT_EQ(numbers(mlfNGet(N(axes), T("xlim"))), (std::vector<double>{-100, 500}));
}

TEST_F(GraphicsTree, HoldOffLetsTheNextLineReplaceLinesTextsAndLegend) {
    double axes = handle(mlfNAxes({T("Box"), T("on"), T("Tag"), T("axe")}));
    double first = handle(mlfNPlot(Row({0, 80}), Row({0, 45}), T("m-")));
    mlfNSet(N(axes), T("XLim"), Row({0, 80}));
    mlfHold(T("on"));
    double second = handle(mlfNPlot(Row({0, 80}), Row({0, 30}), T("r:")));
    double text = handle(mlfNText({T("Position"), Row({15, 15}), T("String"), T("H")}));
    double legend = handle(mlfNLegend({T("Profil initial"), T("Profil cible"), Row({15, 185, 91.5, 39.4})}));
    EXPECT_EQ(tree.object(axes).children(), (std::vector<double>{first, second, text, legend}));
    EXPECT_EQ(textOf(axes, "XLimMode"), "manual");

    mlfHold(T("off"));
    double third = handle(mlfNPlot(Row({0, 10}), Row({0, 10}), T("b")));
    EXPECT_EQ(tree.object(axes).children(), (std::vector<double>{third}));
    EXPECT_EQ(numbers(mlfIshandle(Row({first, second, text, legend}))), (std::vector<double>{0, 0, 0, 0}));
    EXPECT_EQ(textOf(axes, "XLimMode"), "auto");
    EXPECT_EQ(textOf(axes, "Box"), "on");  // the axes' own properties stay
    EXPECT_EQ(textOf(axes, "Tag"), "axe");
    EXPECT_EQ(errorOf([] { mlfHold(T("maybe")); }), "hold attend « on » ou « off ».");
}

TEST_F(GraphicsTree, DeleteTakesEverythingUnderTheObject) {
    tree.setView(&view);
    double figure = handle(mlfNFigure({}));
    double older = handle(mlfNAxes({}));
    double axes = handle(mlfNAxes({}));
    double line = handle(mlfNPlot(Row({0, 1}), Row({0, 1}), T("b")));
    double text = handle(mlfNText({T("String"), T("A1")}));
    view.events.clear();

    mlfDelete(N(axes));
    EXPECT_EQ(view.events, (std::vector<std::string>{"removed axes"}));  // the top of the subtree only
    EXPECT_EQ(numbers(mlfIshandle(Row({axes, line, text, older, figure}))), (std::vector<double>{0, 0, 0, 1, 1}));
    EXPECT_EQ(handle(mlfGca()), older);

    // All valid or nothing deleted; a handle already taken along is no error.
    EXPECT_EQ(errorOf([&] { mlfDelete(Row({older, 42})); }), "Handle graphique invalide : 42.");
    EXPECT_TRUE(tree.contains(older));
    mlfDelete(Row({figure, older}));
    EXPECT_TRUE(tree.figures().empty());
    EXPECT_FALSE(tree.currentFigure());
}

TEST_F(GraphicsTree, CloseAllClosesEveryFigureAndTheNextGcaStartsAfresh) {
    mlfNFigure({});
    mlfNFigure({});
    mlfNClose(T("all"));
    EXPECT_TRUE(tree.figures().empty());
    double axes = handle(mlfGca());
    EXPECT_EQ(tree.figures(), (std::vector<double>{1}));
    EXPECT_EQ(tree.object(axes).parent(), 1);
    mlfNClose(N(1));
    EXPECT_TRUE(tree.figures().empty());
    EXPECT_EQ(errorOf([] { mlfNClose(T("some")); }), "close attend « all » ou un numéro de figure.");
}

TEST_F(GraphicsTree, NewAxesAndFiguresBecomeCurrentControlsGoToTheCurrentFigure) {
    double f1 = handle(mlfNFigure({}));
    double a1 = handle(mlfNAxes({}));
    double f2 = handle(mlfNFigure({}));
    EXPECT_EQ(tree.object(handle(mlfNUicontrol({}))).parent(), f2);
    EXPECT_EQ(tree.object(handle(mlfNUicontrol({N(f1)}))).parent(), f1);
    double a2 = handle(mlfGca());  // created in the current figure
    EXPECT_EQ(tree.object(a2).parent(), f2);
    mlfDelete(N(f2));
    EXPECT_EQ(tree.currentFigure(), f1);
    EXPECT_EQ(handle(mlfGca()), a1);
}

TEST_F(GraphicsTree, LineStylesGiveColourStyleAndMarker) {
    struct Case {
        const char* text;
        graphics::Rgb color;
        const char* style;
        const char* marker;
    };
    const Case cases[] = {
        {"r", {1, 0, 0}, "-", "none"},   {"b", {0, 0, 1}, "-", "none"},  {"m-", {1, 0, 1}, "-", "none"},
        {"r:", {1, 0, 0}, ":", "none"},  {"bo-", {0, 0, 1}, "-", "o"},   {"o", {0, 0, 1}, "none", "o"},
        {"--k", {0, 0, 0}, "--", "none"}, {"g-.", {0, 1, 0}, "-.", "none"}, {"", {0, 0, 1}, "-", "none"},
    };
    for (const auto& c : cases) {
        auto parsed = graphics::parsePlotStyle(c.text);
        EXPECT_EQ(parsed.color, c.color) << c.text;
        EXPECT_EQ(parsed.lineStyle, c.style) << c.text;
        EXPECT_EQ(parsed.marker, c.marker) << c.text;
    }
    for (const char* wrong : {"rr", "q", "-:", "oo", "r-o-"})
        EXPECT_EQ(errorOf([&] { graphics::parsePlotStyle(wrong); }), "Style de ligne « " + std::string(wrong) + " » non reconnu.");

    double line = handle(mlfNPlot(Row({1, 2}), Row({3, 4}), T("bo-"), {T("LineWidth"), N(2)}));
    EXPECT_EQ(textOf(line, "Marker"), "o");
    EXPECT_EQ(handle(mlfNGet(N(line), T("LineWidth"))), 2);
    EXPECT_EQ(errorOf([] { mlfNPlot(Row({1, 2}), Row({3}), T("r")); }),
              "plot : x et y doivent être deux vecteurs de nombres de même longueur.");
}

TEST_F(GraphicsTree, OneLegendAnAxesWithItsLabelsInOrder) {
    double axes = handle(mlfGca());
    mlfNLegend({T("a")});
    double legend = handle(mlfNLegend({T("Profil calculé"), T("Profil initial"), Row({15, 185, 91.5, 39.4})}));
    EXPECT_EQ(tree.object(axes).children(), (std::vector<double>{legend}));
    std::vector<mxArray> labels = mlfNGet(N(legend), T("String")).elements();
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0].toUtf8(), "Profil calculé");
    EXPECT_EQ(labels[1].toUtf8(), "Profil initial");
    EXPECT_EQ(numbers(mlfNGet(N(legend), T("Position"))), (std::vector<double>{15, 185, 91.5, 39.4}));
    EXPECT_NE(errorOf([] { mlfNLegend({N(3), T("a")}); }), "(aucune erreur)");
}

TEST_F(GraphicsTree, CallbacksRunThroughTheRunnerButNotDuringAPause) {
    std::vector<std::string> ran;
    tree.setCallbackRunner([&](const std::string& text) { ran.push_back(text); });
    double button = handle(mlfNUicontrol({T("Style"), T("pushbutton"), T("Callback"), T("main Trial")}));
    double label = handle(mlfNUicontrol({T("Style"), T("text")}));
    tree.fireCallback(button);
    tree.fireCallback(label);  // no callback text: nothing to run
    EXPECT_EQ(ran, (std::vector<std::string>{"main Trial"}));

    tree.setView(&view);
    view.duringPause = [&] { tree.fireCallback(button); };
    mlfPause(N(0.5));
    EXPECT_EQ(ran.size(), 1u);
    tree.fireCallback(button);
    EXPECT_EQ(ran.size(), 2u);
    EXPECT_EQ(errorOf([] { mlfPause(N(-1)); }), "pause attend une durée positive en secondes.");
}

TEST_F(GraphicsTree, ChangesMadeInTheViewAreNotToldBackToIt) {
    tree.setView(&view);
    double slider = handle(mlfNUicontrol({T("Style"), T("slider")}));
    view.events.clear();
    tree.setFromView(slider, "Value", N(0.25));
    EXPECT_TRUE(view.events.empty());
    EXPECT_EQ(handle(mlfNGet(N(slider), T("value"))), 0.25);
    mlfNSet(N(slider), T("value"), N(0.5));
    EXPECT_EQ(view.events, (std::vector<std::string>{"changed Value"}));
}

}  // namespace
