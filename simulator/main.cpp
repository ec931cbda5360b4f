#include "main.h"

#include "calcul_pts.h"
#include "facts.h"
#include "graphics.h"
#include "station_recording.h"
#include "v_reelle2cr.h"
#include "var_.h"
#include "window_position.h"
#include "working_folder_lock.h"
#include "xlim.h"
#include "ylim.h"

#include <array>
#include <cmath>
#include <filesystem>

mclGlobalVariable CoutO("CoutO"), CoutR("CoutR"), Nb_essai("Nb_essai"), ax("ax"), h_fig("h_fig"),
    outillage("outillage"), reglage("reglage"), vh("vh");

namespace {

mxArray t(const char* text) { return mxArray::text(text); }
mxArray t(const std::string& text) { return mxArray::text(text); }
mxArray n(double value) { return mxArray::scalar(value); }

// The texts of a variable's slider row and of the target part, from the facts.
const facts::Variable& variable(int i) { return facts::kVariables[i]; }
std::string realText(double value, const char* unit) { return num2strText(value) + unit; }
mxArray name(int i) { return t(variable(i).label); }
mxArray startValue(int i) {
    return t(std::string(variable(i).symbol) + "=" + realText(variable(i).max, variable(i).unit));
}
mxArray lowBound(int i) { return t(realText(variable(i).min, variable(i).unit)); }
mxArray highBound(int i) { return t(realText(variable(i).max, variable(i).unit)); }
mxArray targetText(const char* symbol, double value, const char* unit) {
    return t(std::string("(cible ") + symbol + "=" + realText(value, unit) + ")");
}

// How a text control looks: its alignment, and whether (and where in the
// property order) it is bold.
enum class Look { None, Left, Right, TitleBoldLeft, LeftThenBold, RightThenBold };
enum class Style { Frame, Text, Slider, PushButton };

struct Control {
    Style style;
    mxArray position;
    mxArray string;
    Look look;
    mxArray callbackWord;  // joined to "main"
    int slot;              // of vh.hui, 0 when the handle is not kept
};

struct Constants {
    // Window.
    mxArray two = n(2), zero = n(0), one = n(1);
    mxArray all = t("all");
    mxArray Name = t("Name"), windowName = t(" Simuateur de la pièce en V");
    mxArray Position = t("Position"), NumberTitle = t("NumberTitle"), off = t("off"),
            menubar = t("menubar"), toolbar = t("toolbar"), none = t("none"), units = t("units"),
            Units = t("Units"), normalized = t("normalized");
    // Axes and lines.
    mxArray sketchPosition = mxArray::row({0.51, 0.57, 0.45, 0.17});
    mxArray profilePosition = mxArray::row({0.03, 0.06, 0.6, 0.4});
    mxArray box = t("box"), on = t("on"), tag = t("tag"), axe = t("axe");
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
    // Controls.
    mxArray Style = t("Style"), style = t("style"), frame = t("frame"), text = t("text"),
            pushbutton = t("pushbutton"), slider = t("slider"), value = t("value"),
            min = t("min"), max = t("max"), minusOne = n(-1), Callback = t("Callback"),
            callback = t("callback"), HorizontalAlignment = t("HorizontalAlignment"),
            FontWeight = t("FontWeight"), Bold = t("Bold"), left = t("left"), right = t("right");
    mxArray cb = t("main");
    std::vector<Control> controls = {
        {Style::Frame, mxArray::row({0.03, 0.57, 0.45, 0.38}), {}, Look::None, {}, 0},
        {Style::Text, mxArray::row({0.035, 0.91, 0.18, 0.05}), t(" Réglage du procédé"), Look::TitleBoldLeft, {}, 0},
        {Style::Text, mxArray::row({0.04, 0.86, 0.15, 0.05}), name(0), Look::Left, {}, 0},
        {Style::Text, mxArray::row({0.16, 0.86, 0.15, 0.05}), startValue(0), Look::Left, {}, 6},
        {Style::Slider, mxArray::row({0.25, 0.88, 0.2, 0.03}), {}, Look::None, t(" slider1"), 1},
        {Style::Text, mxArray::row({0.04, 0.8, 0.15, 0.05}), name(1), Look::Left, {}, 0},
        {Style::Text, mxArray::row({0.16, 0.8, 0.15, 0.05}), startValue(1), Look::Left, {}, 7},
        {Style::Slider, mxArray::row({0.25, 0.82, 0.2, 0.03}), {}, Look::None, t(" slider2"), 2},
        {Style::Text, mxArray::row({0.04, 0.74, 0.15, 0.05}), name(2), Look::Left, {}, 0},
        {Style::Text, mxArray::row({0.16, 0.74, 0.15, 0.05}), startValue(2), Look::Left, {}, 8},
        {Style::Slider, mxArray::row({0.25, 0.76, 0.2, 0.03}), {}, Look::None, t(" slider3"), 3},
        {Style::Text, mxArray::row({0.16, 0.68, 0.15, 0.05}), startValue(3), Look::Left, {}, 9},
        {Style::Text, mxArray::row({0.04, 0.68, 0.12, 0.05}), name(3), Look::Left, {}, 0},
        {Style::Slider, mxArray::row({0.25, 0.7, 0.2, 0.03}), {}, Look::None, t(" slider4"), 4},
        {Style::Text, mxArray::row({0.04, 0.62, 0.15, 0.05}), name(4), Look::Left, {}, 0},
        {Style::Text, mxArray::row({0.16, 0.62, 0.15, 0.05}), startValue(4), Look::Left, {}, 10},
        {Style::Slider, mxArray::row({0.25, 0.64, 0.2, 0.03}), {}, Look::None, t(" slider5"), 5},
        {Style::Text, mxArray::row({0.25, 0.91, 0.05, 0.025}), lowBound(0), Look::Left, {}, 0},
        {Style::Text, mxArray::row({0.42, 0.91, 0.05, 0.025}), highBound(0), Look::Left, {}, 0},
        {Style::Text, mxArray::row({0.25, 0.85, 0.05, 0.025}), lowBound(1), Look::Left, {}, 0},
        {Style::Text, mxArray::row({0.42, 0.85, 0.05, 0.025}), highBound(1), Look::Left, {}, 0},
        {Style::Text, mxArray::row({0.25, 0.79, 0.05, 0.025}), lowBound(2), Look::Left, {}, 0},
        {Style::Text, mxArray::row({0.42, 0.79, 0.05, 0.025}), highBound(2), Look::Left, {}, 0},
        {Style::Text, mxArray::row({0.25, 0.73, 0.05, 0.025}), lowBound(3), Look::Left, {}, 0},
        {Style::Text, mxArray::row({0.42, 0.73, 0.05, 0.025}), highBound(3), Look::Left, {}, 0},
        {Style::Text, mxArray::row({0.25, 0.67, 0.05, 0.025}), lowBound(4), Look::Left, {}, 0},
        {Style::Text, mxArray::row({0.42, 0.67, 0.05, 0.025}), highBound(4), Look::Left, {}, 0},
        {Style::PushButton, mxArray::row({0.275, 0.58, 0.15, 0.05}), t("Réalisation essai"), Look::None, t(" Trial"), 0},
        {Style::Frame, mxArray::row({0.51, 0.75, 0.45, 0.2}), {}, Look::None, {}, 0},
        {Style::Text, mxArray::row({0.515, 0.91, 0.28, 0.05}), t(" Paramètres géométriques pièce"), Look::TitleBoldLeft, {}, 0},
        {Style::Text, mxArray::row({0.52, 0.86, 0.15, 0.05}), t("A1="), Look::Left, {}, 100},
        {Style::Text, mxArray::row({0.52, 0.81, 0.15, 0.05}), t("A2="), Look::Left, {}, 101},
        {Style::Text, mxArray::row({0.52, 0.76, 0.15, 0.05}), t("H = "), Look::Left, {}, 102},
        {Style::Text, mxArray::row({0.75, 0.86, 0.15, 0.05}), targetText("A1", facts::kTarget.A1, "°"), Look::Left, {}, 0},
        {Style::Text, mxArray::row({0.75, 0.81, 0.15, 0.05}), targetText("A2", facts::kTarget.A2, "°"), Look::Left, {}, 0},
        {Style::Text, mxArray::row({0.75, 0.76, 0.15, 0.05}), targetText("H", facts::kTarget.H, "mm"), Look::Left, {}, 0},
        {Style::Frame, mxArray::row({0.67, 0.06, 0.3, 0.4}), {}, Look::None, {}, 0},
        {Style::Text, mxArray::row({0.675, 0.42, 0.15, 0.05}), t(" Coût des essais"), Look::TitleBoldLeft, {}, 0},
        {Style::Text, mxArray::row({0.68, 0.37, 0.15, 0.05}), t("Coût outillage (€)="), Look::Left, {}, 0},
        {Style::Text, mxArray::row({0.68, 0.32, 0.15, 0.05}), t("Coût réglage  (€) ="), Look::Left, {}, 0},
        {Style::Text, mxArray::row({0.83, 0.29, 0.13, 0.05}), t("____________"), Look::RightThenBold, {}, 0},
        {Style::Text, mxArray::row({0.68, 0.25, 0.15, 0.05}), t("Coût total  (€) ="), Look::LeftThenBold, {}, 0},
        {Style::Text, mxArray::row({0.68, 0.18, 0.15, 0.05}), t("Nbre essai (s)  ="), Look::LeftThenBold, {}, 0},
        {Style::Text, mxArray::row({0.83, 0.37, 0.12, 0.05}), t("0"), Look::Right, {}, 200},
        {Style::Text, mxArray::row({0.83, 0.32, 0.12, 0.05}), t("0"), Look::Right, {}, 201},
        {Style::Text, mxArray::row({0.83, 0.25, 0.12, 0.05}), t("0"), Look::RightThenBold, {}, 202},
        {Style::Text, mxArray::row({0.83, 0.18, 0.12, 0.05}), t("0"), Look::RightThenBold, {}, 203},
    };
    // Slider cases and the variables behind them, in the order A, R, L, C, F.
    std::array<mxArray, 5> sliderWords{t("slider1"), t("slider2"), t("slider3"), t("slider4"), t("slider5")};
    mxArray Trial = t("Trial");
    std::array<mxArray, 5> binf, bsup, labelPrefix, unit;
    std::array<bool, 5> changesTooling;
    // Cost account and files.
    mxArray data = t(facts::kDataFolder), parent = t(".."), w = t("w"), r = t("r");
    mxArray CoutO_dat = t(facts::kToolingFile), CoutR_dat = t(facts::kAdjustmentFile),
            Nb_essai_dat = t(facts::kCountFile), config_outillage_dat = t(facts::kSettingsLogFile);
    mxArray numberFormat = t("%f "), lineFormat = t("%s \\n"), readFormat = t("%f");
    mxArray toolingCharge = n(facts::kToolingCharge), adjustmentCharge = n(facts::kAdjustmentCharge);
    mxArray startTooling = n(facts::kStartAccount.tooling),
            startAdjustment = n(facts::kStartAccount.adjustment),
            startCount = n(facts::kStartAccount.count);
    std::array<mxArray, 5> settingSeparator{t("A="), t(",   R="), t(",   L="), t(",   C="), t(",   F=")};
    mxArray resultA1 = t("A1="), resultA2 = t(",   A2="), resultH = t(",   H=");
    mxArray labelA1 = t("A1="), labelA2 = t("A2="), labelH = t("H="), firstCount = t("1");

    Constants() {
        for (int i = 0; i < 5; ++i) {
            binf[i] = n(variable(i).min);
            bsup[i] = n(variable(i).max);
            labelPrefix[i] = t(std::string(variable(i).symbol) + "=");
            unit[i] = t(variable(i).unit);
            changesTooling[i] = variable(i).tooling;
        }
    }
};
mclModuleConstants<Constants> k("main");

mxArray huiHandle(int slot) { return mlfIndexRef(mclVg(vh), ".hui(?)", {n(slot)}); }
void setString(int slot, const mxArray& text) { mlfNSet(huiHandle(slot), t("string"), text); }

// ---- files ---------------------------------------------------------------------

// Called in data/: the whole path tells the trainer which folder is at fault.
mxArray openOrRaise(const mxArray& name, const mxArray& mode) {
    mxArray fid = mlfFopen(name, mode);
    if (mclEqBool(fid, k->minusOne)) {
        const std::string file = "Le fichier « " + (std::filesystem::current_path() / name.toUtf8()).string() + " »";
        mlfError(mode.toUtf8() == "w"
                     ? file + " ne peut pas être écrit : demandez au formateur un dossier où vous pouvez écrire."
                     : file + " ne peut pas être lu.");
    }
    return fid;
}

void writeNumber(const mxArray& name, const mxArray& value) {
    mxArray fid = openOrRaise(name, k->w);
    mlfNFprintf(fid, k->numberFormat, value);
    mlfFclose(fid);
}

// An account file must hold exactly one finite number and nothing else: a
// hand-edited file that does not ("2500,5" would read as 2500) is refused
// before anything of the account changes.
mxArray readAccountFile(const mxArray& name) {
    mxArray fid = openOrRaise(name, k->r);
    mxArray value = mlfFscanf(fid, k->readFormat);
    bool onlyNumbers = mclOnlyBlanksLeft(fid);
    mlfFclose(fid);
    if (value.numel() != 1 || !std::isfinite(value.at(0)) || !onlyNumbers)
        mlfError("Le fichier de compte data/" + name.toUtf8() + " est illisible : il doit contenir " +
                 "un seul nombre, il en contient " + std::to_string(value.numel()) +
                 (!onlyNumbers ? " suivi de texte" : value.numel() == 1 ? " qui n'est pas fini" : "") +
                 ". Le compte n'a pas été modifié ; corrigez le fichier ou relancez le simulateur.");
    return value;
}

// ---- the models and the chart -------------------------------------------------------

// A1, A2 and H at a coded setting, as var_ returns them.
struct Prediction {
    mxArray A1, A2, H;
};

Prediction predict(const std::array<mxArray, 5>& coded) {
    Prediction p;
    p.A1 = mlfVar_(&p.A2, &p.H, coded[0], coded[1], coded[2], coded[3], coded[4]);
    return p;
}

mxArray profileOf(const Prediction& p) { return mlfCalcul_pts(p.A1, p.A2, p.H); }

mxArray initialProfile() { return profileOf(predict(k->initialSetting)); }

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

// ---- window ----------------------------------------------------------------------

// The folders the simulator works in must be there before anything is built,
// so that a wrong start folder leaves no half-built window behind.
void requireWorkingFolders() {
    for (const char* folder : {facts::kDataFolder, facts::kCoefficientFolder}) {
        std::error_code ec;
        if (!std::filesystem::is_directory(folder, ec))
            mlfError(std::string("Le dossier « ") + folder + " » est introuvable dans « " +
                     std::filesystem::current_path().string() +
                     " ». Lancez le simulateur dans un dossier qui contient « data » et « poly ».");
    }
    if (const std::string refused = foreignWorkingFolder(); !refused.empty()) mlfError(refused);
}

void openWindow() {
    const Constants& K = k.get();
    mclInitGlobal(h_fig) = mlfNFigure({K.Name, K.windowName, K.Position, windowPosition(), K.NumberTitle,
                                       K.off, K.menubar, K.none, K.toolbar, K.none});
    mlfNSet(mclVg(h_fig), K.units, K.normalized);
}

// The target part with its dimension marks H, A1 and A2.
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

// A new cost account at every start: the start values in the files, no change yet.
void resetAccount() {
    const Constants& K = k.get();
    mclFolderScope inData(K.data);
    mclInitGlobal(reglage) = K.zero;
    mclInitGlobal(outillage) = K.zero;
    writeNumber(K.CoutO_dat, K.startTooling);
    writeNumber(K.CoutR_dat, K.startAdjustment);
    writeNumber(K.Nb_essai_dat, K.startCount);
    inData.leave(K.parent);
}

mxArray createControl(const Control& c) {
    const Constants& K = k.get();
    mxArray h = mclVg(h_fig);
    switch (c.style) {
    case Style::Frame:
        return mlfNUicontrol({h, K.Units, K.normalized, K.Position, c.position, K.Style, K.frame});
    case Style::PushButton:
        return mlfNUicontrol({h, K.Units, K.normalized, K.Style, K.pushbutton, K.String, c.string,
                              K.Position, c.position, K.Callback, mlfHorzcat({K.cb, c.callbackWord})});
    case Style::Slider:
        return mlfNUicontrol({K.style, K.slider, K.value, K.one, K.min, K.minusOne, K.max, K.one,
                              K.Units, K.normalized, K.Position, c.position, K.callback,
                              mlfHorzcat({K.cb, c.callbackWord})});
    case Style::Text: break;
    }
    mclArgs args{h, K.Units, K.normalized, K.Position, c.position, K.String, c.string, K.Style, K.text};
    switch (c.look) {
    case Look::TitleBoldLeft:
        args.insert(args.end(), {K.FontWeight, K.Bold, K.HorizontalAlignment, K.left});
        break;
    case Look::LeftThenBold:
    case Look::RightThenBold:
        args.insert(args.end(), {K.HorizontalAlignment, c.look == Look::LeftThenBold ? K.left : K.right,
                                 K.FontWeight, K.Bold});
        break;
    default:
        args.insert(args.end(), {K.HorizontalAlignment, c.look == Look::Right ? K.right : K.left});
    }
    return mlfNUicontrol(std::move(args));
}

// The three panels, each control kept in its slot of vh.hui when it has one.
void createControls() {
    for (const Control& c : k->controls) {
        mxArray handle = createControl(c);
        if (c.slot) mlfIndexAssign(mclInitGlobal(vh), ".hui(?)", handle, {n(c.slot)});
    }
}

// Before any trial: the initial and the target profile.
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

void buildWindow() {
    requireWorkingFolders();
    holdWorkingFolder();
    // The models run before anything is built: a coefficient file that cannot
    // be used stops the start with its message instead of leaving a window
    // without its profile chart.
    mxArray liste_initiale = initialProfile();
    mlfNClose(k->all);
    openWindow();
    drawTargetSketch();
    resetAccount();
    createControls();
    drawStartChart(liste_initiale);
    startStationRecording();
}

// ---- trial -------------------------------------------------------------------------

// The account files are the master copy: a trial reloads them first, and
// changes nothing of the account when one cannot be used.
void loadAccount() {
    const Constants& K = k.get();
    mclFolderScope inData(K.data);
    mxArray loadedO = readAccountFile(K.CoutO_dat);
    mxArray loadedR = readAccountFile(K.CoutR_dat);
    mxArray loadedCount = readAccountFile(K.Nb_essai_dat);
    mclInitGlobal(CoutO) = loadedO;
    mclInitGlobal(CoutR) = loadedR;
    mclInitGlobal(Nb_essai) = loadedCount;
    inData.leave(K.parent);
}

// The chart from nothing: the computed, the initial and the target profile.
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

void showResults(const Prediction& p) {
    const Constants& K = k.get();
    setString(100, mlfHorzcat({K.labelA1, mlfNum2str(p.A1)}));
    setString(101, mlfHorzcat({K.labelA2, mlfNum2str(p.A2)}));
    setString(102, mlfHorzcat({K.labelH, mlfNum2str(p.H)}));
}

// The cost rule on the loaded account, shown as it goes; the change flags are
// spent by it.
void chargeTrial() {
    const Constants& K = k.get();
    if (mclEqBool(mclVg(Nb_essai), K.zero)) {
        // The start values stand for the first trial: nothing is charged.
        mclInitGlobal(Nb_essai) = K.one;
        setString(200, mlfNum2str(mclVg(CoutO)));
        setString(201, mlfNum2str(mclVg(CoutR)));
        setString(202, mlfNum2str(mclPlus(mclVg(CoutO), mclVg(CoutR))));
        setString(203, K.firstCount);
    } else {
        mclInitGlobal(CoutO) = mclPlus(mclVg(CoutO), mclMtimes(mclVg(outillage), K.toolingCharge));
        setString(200, mlfNum2str(mclVg(CoutO)));
        mclInitGlobal(CoutR) = mclPlus(mclVg(CoutR), mclMtimes(mclVg(reglage), K.adjustmentCharge));
        setString(201, mlfNum2str(mclVg(CoutR)));
        setString(202, mlfNum2str(mclPlus(mclVg(CoutO), mclVg(CoutR))));
        if (mlfTobool(mclOr(mclEq(mclVg(reglage), K.one), mclEq(mclVg(outillage), K.one))))
            mclInitGlobal(Nb_essai) = mclPlus(mclVg(Nb_essai), mclMtimes(K.one, mclVg(reglage)));
        setString(203, mlfNum2str(mclVg(Nb_essai)));
    }
    mclInitGlobal(reglage) = K.zero;
    mclInitGlobal(outillage) = K.zero;
}

// The account back to its files, and the log of this trial's setting and results.
void storeAccountAndLog(const std::array<mxArray, 5>& ValR, const Prediction& p) {
    const Constants& K = k.get();
    mclFolderScope inData(K.data);
    writeNumber(K.CoutO_dat, mclVg(CoutO));
    writeNumber(K.CoutR_dat, mclVg(CoutR));
    writeNumber(K.Nb_essai_dat, mclVg(Nb_essai));
    std::vector<mxArray> setting;
    for (int j = 0; j < 5; ++j) {
        setting.push_back(K.settingSeparator[j]);
        setting.push_back(mlfNum2str(ValR[j]));
    }
    mxArray fid = openOrRaise(K.config_outillage_dat, K.w);
    mlfNFprintf(fid, K.lineFormat, mlfHorzcat(setting));
    mlfNFprintf(fid, K.lineFormat,
                mlfHorzcat({K.resultA1, mlfNum2str(p.A1), K.resultA2, mlfNum2str(p.A2), K.resultH,
                            mlfNum2str(p.H)}));
    mlfFclose(fid);
    inData.leave(K.parent);
}

void trial(const std::array<mxArray, 5>& PP, const std::array<mxArray, 5>& ValR) {
    loadAccount();
    const double countBefore = mclVg(Nb_essai).at(0);
    const Prediction computed = predict(PP);
    const mxArray liste = profileOf(computed);
    redrawChart(liste, initialProfile());
    showResults(computed);
    chargeTrial();
    storeAccountAndLog(ValR, computed);
    recordTrial(ValR, computed.A1, computed.A2, computed.H, countBefore);
}

// ---- callbacks ---------------------------------------------------------------------

// Slider i moved: its label shows the real value, the flags note what changed.
void recordSliderMove(int i, const mxArray& real) {
    const Constants& K = k.get();
    setString(i + 6, mlfHorzcat({K.labelPrefix[i], mlfNum2str(real), K.unit[i]}));
    if (K.changesTooling[i]) mclInitGlobal(outillage) = K.one;
    mclInitGlobal(reglage) = K.one;
}

// Every control's case starts from the five slider positions, coded and real.
void serveControl(const mxArray& word) {
    const Constants& K = k.get();
    std::array<mxArray, 5> PP, ValR;
    for (int i = 0; i < 5; ++i) PP[i] = mlfNGet(huiHandle(i + 1), K.value);
    for (int j = 0; j < 5; ++j) ValR[j] = mlfV_reelle2cr(PP[j], K.bsup[j], K.binf[j]);

    for (int i = 0; i < 5; ++i)
        if (mclSwitchCompare(word, K.sliderWords[i])) return recordSliderMove(i, ValR[i]);
    if (mclSwitchCompare(word, K.Trial)) trial(PP, ValR);
}

void Mmain(const mxArray& varargin) {
    mclLocalFunctionScope scope(&_local_function_table_main);
    if (varargin.numel() == 0) {
        buildWindow();
        return;
    }
    serveControl(mlfIndexRef(varargin, "{?}", {k->one}));
}

}  // namespace

const mclLocalFunctionTable _local_function_table_main = {0, nullptr};

void InitializeModule_main() { k.initialize(); }
void TerminateModule_main() {
    stopStationRecording();
    k.terminate();
}

void mlfMain(std::vector<mxArray> varargin) { Mmain(mclVarargin(std::move(varargin))); }

void mlxMain(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]) {
    mclCheckArgumentCounts("main", nlhs, 0, nrhs, -1);
    (void)plhs;
    Mmain(mclVarargin(std::vector<mxArray>(prhs, prhs + nrhs)));
}
