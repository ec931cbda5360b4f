#include "main_chart.h"

#include "calcul_pts.h"
#include "graphics.h"
#include "main.h"
#include "var_.h"
#include "xlim.h"
#include "ylim.h"

namespace {

mxArray t(const char* text) { return mxArray::text(text); }
mxArray n(double value) { return mxArray::scalar(value); }

struct Constants {
    mxArray one = n(1), two = n(2);
    mxArray Position = t("Position"), units = t("units"), normalized = t("normalized");
    mxArray off = t("off"), box = t("box"), on = t("on"), tag = t("tag"), axe = t("axe");
    mxArray sketchPosition = mxArray::row({0.51, 0.57, 0.45, 0.17});
    mxArray profilePosition = mxArray::row({0.03, 0.06, 0.6, 0.4});
    mxArray LineWidth = t("LineWidth");
    mxArray targetX = mxArray::row({0, 30, 60.44, 80}), targetY = mxArray::row({0, 0, 30.44, 30.44});
    mxArray heightMarkX = mxArray::row({20, 20}), heightMarkY = mxArray::row({2, 28.44});
    mxArray topLineX = mxArray::row({60, 0}), topLineY = mxArray::row({30.44, 30.44});
    mxArray cercle1_X = mxArray::row({32.26, 31.56, 30.79, 30.79, 30, 29.21, 28.44, 27.74, 27.13,
                                      26.63, 26.27, 26.06, 26});
    mxArray cercle1_Y = mxArray::row({3.3, 3.68, 3.92, 3.92, 4, 3.92, 3.68, 3.3, 2.79, 2.16, 1.45,
                                      0.68, -0.12});
    mxArray cercle2_X = mxArray::row({58.48, 59.21, 59.99, 60.79, 61.57, 62.31, 62.98, 63.54,
                                      63.98, 64.28, 64.43, 64.41});
    mxArray cercle2_Y = mxArray::row({26.95, 26.63, 26.47, 26.46, 26.6, 26.91, 27.35, 27.91,
                                      28.58, 29.32, 30.11, 30.91});
    mxArray sketchXLimits = mxArray::row({0, 100}), sketchYLimits = mxArray::row({-1, 35});
    mxArray profileXLimits = mxArray::row({0, 80}), profileYLimits = mxArray::row({0, 45});
    mxArray red = t("r"), blue = t("b"), magentaSolid = t("m-"), redDotted = t("r:"),
            blueCircles = t("bo-");
    mxArray String = t("String"), H = t("H"), A1 = t("A1"), A2 = t("A2");
    mxArray hPosition = mxArray::row({15, 15}), a1Position = mxArray::row({26, 7}),
            a2Position = mxArray::row({62, 24});
    mxArray computedLabel = t("Profil calculé"), initialLabel = t("Profil initial"),
            targetLabel = t("Profil cible");
    mxArray legendPosition = mxArray::row({15, 185, 91.5, 39.4});
    // The initial setting of the press, coded.
    std::array<mxArray, 5> initialSetting{n(-1), n(-1), n(1), n(-2), n(-0.4)};
};
mclModuleConstants<Constants> k("main");

// A profile's points are its rows: x in column 1, y in column 2.
mxArray plotProfile(const mxArray& points, const mxArray& style) {
    mxArray colon = mlfCreateColonIndex();
    return mlfNPlot(mclArrayRef2(points, colon, k->one), mclArrayRef2(points, colon, k->two), style,
             {k->LineWidth, k->two});
}

void profileLimits() {
    mlfXlim(0, k->profileXLimits);
    mlfYlim(0, k->profileYLimits);
}

// New profile axes in the place of the old ones, kept in ax.
void newProfileAxes() {
    const Constants& K = k.get();
    mclInitGlobal(ax) = mlfNAxes({K.Position, K.profilePosition, K.box, K.on, K.units, K.normalized,
                                  K.tag, K.axe});
}

}  // namespace

Prediction predict(const std::array<mxArray, 5>& coded) {
    Prediction p;
    p.A1 = mlfVar_(&p.A2, &p.H, coded[0], coded[1], coded[2], coded[3], coded[4]);
    return p;
}

mxArray profileOf(const Prediction& p) { return mlfCalcul_pts(p.A1, p.A2, p.H); }

mxArray initialProfile() { return profileOf(predict(k->initialSetting)); }

void drawTargetSketch() {
    const Constants& K = k.get();
    mlfNAxes({K.Position, K.sketchPosition, K.box, K.on, K.units, K.normalized, K.tag, K.axe});
    mlfIndexAssign(mclInitGlobal(vh), ".hline2", mlfNPlot(K.targetX, K.targetY, K.red, {K.LineWidth, K.two}));
    mlfXlim(0, K.sketchXLimits);
    mlfYlim(0, K.sketchYLimits);
    mlfHold(K.on);
    mlfNPlot(K.heightMarkX, K.heightMarkY, K.blue);
    mlfHold(K.on);
    mlfNPlot(K.topLineX, K.topLineY, K.blue);
    mlfHold(K.on);
    mlfNText({K.Position, K.hPosition, K.String, K.H});
    mlfHold(K.on);
    mlfNPlot(K.cercle1_X, K.cercle1_Y, K.blue);
    mlfHold(K.on);
    mlfNText({K.Position, K.a1Position, K.String, K.A1});
    mlfHold(K.on);
    mlfNPlot(K.cercle2_X, K.cercle2_Y, K.blue);
    mlfHold(K.on);
    mlfNText({K.Position, K.a2Position, K.String, K.A2});
    mlfHold(K.on);
}

void drawStartChart(const mxArray& liste_initiale) {
    const Constants& K = k.get();
    newProfileAxes();
    mlfIndexAssign(mclInitGlobal(vh), ".hline", plotProfile(liste_initiale, K.magentaSolid));
    profileLimits();
    mlfHold(K.on);
    mlfNPlot(K.targetX, K.targetY, K.redDotted, {K.LineWidth, K.two});
    profileLimits();
    mlfHold(K.on);
    mlfNLegend({K.initialLabel, K.targetLabel, K.legendPosition});
    mlfHold(K.off);
}

void redrawChart(const mxArray& liste, const mxArray& liste_initiale) {
    const Constants& K = k.get();
    mlfDelete(mclVg(ax));
    newProfileAxes();
    mlfIndexAssign(mclInitGlobal(vh), ".hline", plotProfile(liste, K.blueCircles));
    mlfHold(K.on);
    plotProfile(liste_initiale, K.magentaSolid);
    mlfHold(K.on);
    mlfNPlot(K.targetX, K.targetY, K.redDotted, {K.LineWidth, K.two});
    profileLimits();
    mlfHold(K.on);
    mlfNLegend({K.computedLabel, K.initialLabel, K.targetLabel, K.legendPosition});
}

void initializeMainChart() { k.initialize(); }
void terminateMainChart() { k.terminate(); }
