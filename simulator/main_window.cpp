#include "main_window.h"

#include "graphics.h"
#include "main.h"
#include "window_position.h"

#include <string>
#include <vector>

namespace {

mxArray t(const std::string& text) { return mxArray::text(text); }
mxArray n(double value) { return mxArray::scalar(value); }

// Where the handles the callbacks use are kept: vh.hui(slot). Scripts and
// tests reach the controls by these numbers too.
constexpr int kNotKept = 0;
constexpr int sliderSlot(int i) { return 1 + i; }
constexpr int sliderValueSlot(int i) { return 6 + i; }
constexpr int kResultA1Slot = 100, kResultA2Slot = 101, kResultHSlot = 102;
constexpr int kToolingCostSlot = 200, kAdjustmentCostSlot = 201, kTotalCostSlot = 202, kTrialCountSlot = 203;

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
    int slot;              // of vh.hui
};

struct Constants {
    mxArray one = n(1), minusOne = n(-1);
    mxArray Name = t("Name"), windowName = t(" Simuateur de la pièce en V");
    mxArray Position = t("Position"), NumberTitle = t("NumberTitle"), off = t("off"),
            menubar = t("menubar"), toolbar = t("toolbar"), none = t("none"), units = t("units"),
            Units = t("Units"), normalized = t("normalized");
    mxArray String = t("String"), string = t("string");
    mxArray Style = t("Style"), style = t("style"), frame = t("frame"), text = t("text"),
            pushbutton = t("pushbutton"), slider = t("slider"), value = t("value"),
            min = t("min"), max = t("max"), Callback = t("Callback"),
            callback = t("callback"), HorizontalAlignment = t("HorizontalAlignment"),
            FontWeight = t("FontWeight"), Bold = t("Bold"), left = t("left"), right = t("right");
    mxArray cb = t("main");
    std::vector<Control> controls = {
        {Style::Frame, mxArray::row({0.03, 0.57, 0.45, 0.38}), {}, Look::None, {}, kNotKept},
        {Style::Text, mxArray::row({0.035, 0.91, 0.18, 0.05}), t(" Réglage du procédé"), Look::TitleBoldLeft, {}, kNotKept},
        {Style::Text, mxArray::row({0.04, 0.86, 0.15, 0.05}), name(0), Look::Left, {}, kNotKept},
        {Style::Text, mxArray::row({0.16, 0.86, 0.15, 0.05}), startValue(0), Look::Left, {}, sliderValueSlot(0)},
        {Style::Slider, mxArray::row({0.25, 0.88, 0.2, 0.03}), {}, Look::None, t(" slider1"), sliderSlot(0)},
        {Style::Text, mxArray::row({0.04, 0.8, 0.15, 0.05}), name(1), Look::Left, {}, kNotKept},
        {Style::Text, mxArray::row({0.16, 0.8, 0.15, 0.05}), startValue(1), Look::Left, {}, sliderValueSlot(1)},
        {Style::Slider, mxArray::row({0.25, 0.82, 0.2, 0.03}), {}, Look::None, t(" slider2"), sliderSlot(1)},
        {Style::Text, mxArray::row({0.04, 0.74, 0.15, 0.05}), name(2), Look::Left, {}, kNotKept},
        {Style::Text, mxArray::row({0.16, 0.74, 0.15, 0.05}), startValue(2), Look::Left, {}, sliderValueSlot(2)},
        {Style::Slider, mxArray::row({0.25, 0.76, 0.2, 0.03}), {}, Look::None, t(" slider3"), sliderSlot(2)},
        {Style::Text, mxArray::row({0.16, 0.68, 0.15, 0.05}), startValue(3), Look::Left, {}, sliderValueSlot(3)},
        {Style::Text, mxArray::row({0.04, 0.68, 0.12, 0.05}), name(3), Look::Left, {}, kNotKept},
        {Style::Slider, mxArray::row({0.25, 0.7, 0.2, 0.03}), {}, Look::None, t(" slider4"), sliderSlot(3)},
        {Style::Text, mxArray::row({0.04, 0.62, 0.15, 0.05}), name(4), Look::Left, {}, kNotKept},
        {Style::Text, mxArray::row({0.16, 0.62, 0.15, 0.05}), startValue(4), Look::Left, {}, sliderValueSlot(4)},
        {Style::Slider, mxArray::row({0.25, 0.64, 0.2, 0.03}), {}, Look::None, t(" slider5"), sliderSlot(4)},
        {Style::Text, mxArray::row({0.25, 0.91, 0.05, 0.025}), lowBound(0), Look::Left, {}, kNotKept},
        {Style::Text, mxArray::row({0.42, 0.91, 0.05, 0.025}), highBound(0), Look::Left, {}, kNotKept},
        {Style::Text, mxArray::row({0.25, 0.85, 0.05, 0.025}), lowBound(1), Look::Left, {}, kNotKept},
        {Style::Text, mxArray::row({0.42, 0.85, 0.05, 0.025}), highBound(1), Look::Left, {}, kNotKept},
        {Style::Text, mxArray::row({0.25, 0.79, 0.05, 0.025}), lowBound(2), Look::Left, {}, kNotKept},
        {Style::Text, mxArray::row({0.42, 0.79, 0.05, 0.025}), highBound(2), Look::Left, {}, kNotKept},
        {Style::Text, mxArray::row({0.25, 0.73, 0.05, 0.025}), lowBound(3), Look::Left, {}, kNotKept},
        {Style::Text, mxArray::row({0.42, 0.73, 0.05, 0.025}), highBound(3), Look::Left, {}, kNotKept},
        {Style::Text, mxArray::row({0.25, 0.67, 0.05, 0.025}), lowBound(4), Look::Left, {}, kNotKept},
        {Style::Text, mxArray::row({0.42, 0.67, 0.05, 0.025}), highBound(4), Look::Left, {}, kNotKept},
        {Style::PushButton, mxArray::row({0.275, 0.58, 0.15, 0.05}), t("Réalisation essai"), Look::None, t(" Trial"), kNotKept},
        {Style::Frame, mxArray::row({0.51, 0.75, 0.45, 0.2}), {}, Look::None, {}, kNotKept},
        {Style::Text, mxArray::row({0.515, 0.91, 0.28, 0.05}), t(" Paramètres géométriques pièce"), Look::TitleBoldLeft, {}, kNotKept},
        {Style::Text, mxArray::row({0.52, 0.86, 0.15, 0.05}), t("A1="), Look::Left, {}, kResultA1Slot},
        {Style::Text, mxArray::row({0.52, 0.81, 0.15, 0.05}), t("A2="), Look::Left, {}, kResultA2Slot},
        {Style::Text, mxArray::row({0.52, 0.76, 0.15, 0.05}), t("H = "), Look::Left, {}, kResultHSlot},
        {Style::Text, mxArray::row({0.75, 0.86, 0.15, 0.05}), targetText("A1", facts::kTarget.A1, "°"), Look::Left, {}, kNotKept},
        {Style::Text, mxArray::row({0.75, 0.81, 0.15, 0.05}), targetText("A2", facts::kTarget.A2, "°"), Look::Left, {}, kNotKept},
        {Style::Text, mxArray::row({0.75, 0.76, 0.15, 0.05}), targetText("H", facts::kTarget.H, "mm"), Look::Left, {}, kNotKept},
        {Style::Frame, mxArray::row({0.67, 0.06, 0.3, 0.4}), {}, Look::None, {}, kNotKept},
        {Style::Text, mxArray::row({0.675, 0.42, 0.15, 0.05}), t(" Coût des essais"), Look::TitleBoldLeft, {}, kNotKept},
        {Style::Text, mxArray::row({0.68, 0.37, 0.15, 0.05}), t("Coût outillage (€)="), Look::Left, {}, kNotKept},
        {Style::Text, mxArray::row({0.68, 0.32, 0.15, 0.05}), t("Coût réglage  (€) ="), Look::Left, {}, kNotKept},
        {Style::Text, mxArray::row({0.83, 0.29, 0.13, 0.05}), t("____________"), Look::RightThenBold, {}, kNotKept},
        {Style::Text, mxArray::row({0.68, 0.25, 0.15, 0.05}), t("Coût total  (€) ="), Look::LeftThenBold, {}, kNotKept},
        {Style::Text, mxArray::row({0.68, 0.18, 0.15, 0.05}), t("Nbre essai (s)  ="), Look::LeftThenBold, {}, kNotKept},
        {Style::Text, mxArray::row({0.83, 0.37, 0.12, 0.05}), t("0"), Look::Right, {}, kToolingCostSlot},
        {Style::Text, mxArray::row({0.83, 0.32, 0.12, 0.05}), t("0"), Look::Right, {}, kAdjustmentCostSlot},
        {Style::Text, mxArray::row({0.83, 0.25, 0.12, 0.05}), t("0"), Look::RightThenBold, {}, kTotalCostSlot},
        {Style::Text, mxArray::row({0.83, 0.18, 0.12, 0.05}), t("0"), Look::RightThenBold, {}, kTrialCountSlot},
    };
    std::array<mxArray, 5> labelPrefix, unit;
    mxArray labelA1 = t("A1="), labelA2 = t("A2="), labelH = t("H=");

    Constants() {
        for (int i = 0; i < 5; ++i) {
            labelPrefix[i] = t(std::string(variable(i).symbol) + "=");
            unit[i] = t(variable(i).unit);
        }
    }
};
mclModuleConstants<Constants> k("main");

mxArray keptControl(int slot) { return mlfIndexRef(mclVg(vh), ".hui(?)", {n(slot)}); }
void setString(int slot, const mxArray& text) { mlfNSet(keptControl(slot), k->string, text); }

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

}  // namespace

void openWindow() {
    const Constants& K = k.get();
    mclInitGlobal(h_fig) = mlfNFigure({K.Name, K.windowName, K.Position, windowPosition(), K.NumberTitle,
                                       K.off, K.menubar, K.none, K.toolbar, K.none});
    mlfNSet(mclVg(h_fig), K.units, K.normalized);
}

void createControls() {
    for (const Control& c : k->controls) {
        mxArray handle = createControl(c);
        if (c.slot != kNotKept) mlfIndexAssign(mclInitGlobal(vh), ".hui(?)", handle, {n(c.slot)});
    }
}

std::array<mxArray, 5> sliderPositions() {
    std::array<mxArray, 5> coded;
    for (int i = 0; i < 5; ++i) coded[i] = mlfNGet(keptControl(sliderSlot(i)), k->value);
    return coded;
}

void showSliderValue(int i, const mxArray& real) {
    const Constants& K = k.get();
    setString(sliderValueSlot(i), mlfHorzcat({K.labelPrefix[i], mlfNum2str(real), K.unit[i]}));
}

void showResults(const mxArray& A1, const mxArray& A2, const mxArray& H) {
    const Constants& K = k.get();
    setString(kResultA1Slot, mlfHorzcat({K.labelA1, mlfNum2str(A1)}));
    setString(kResultA2Slot, mlfHorzcat({K.labelA2, mlfNum2str(A2)}));
    setString(kResultHSlot, mlfHorzcat({K.labelH, mlfNum2str(H)}));
}

void showAccount(const facts::Account& account) {
    setString(kToolingCostSlot, t(num2strText(account.tooling)));
    setString(kAdjustmentCostSlot, t(num2strText(account.adjustment)));
    setString(kTotalCostSlot, t(num2strText(account.tooling + account.adjustment)));
    setString(kTrialCountSlot, t(num2strText(account.count)));
}

void initializeMainWindow() { k.initialize(); }
void terminateMainWindow() { k.terminate(); }
