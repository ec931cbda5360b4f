// A small program for the host's tests: one window with every kind of control
// and a chart, laid out like the simulator's. Each callback appends its word
// (with the slider's value for a slider) to a status label; the module's
// initialiser and terminator say so on standard output. With FIXTURE_CLOSE_SOON
// set, "Fermer" is pressed shortly after start, as a person would.
#include "array.h"
#include "graphics.h"
#include "host.h"
#include "tree.h"

#include <QTimer>

#include <iostream>

namespace {

mxArray T(const char* utf8) { return mxArray::text(utf8); }
mxArray Row(std::initializer_list<double> values) { return mxArray::row(values); }

mxArray status;
mxArray sliders[2];
mxArray closeButton;

void buildWindow() {
    mlfNClose(T("all"));
    mxArray figure = mlfNFigure({T("Name"), T(" Fenêtre d'essai"), T("Position"), Row({100, 100, 682.67, 533.33}),
                                 T("NumberTitle"), T("off"), T("menubar"), T("none"), T("toolbar"), T("none")});
    mlfNSet(figure, T("units"), T("normalized"));
    auto control = [&](std::vector<mxArray> pairs) {
        pairs.insert(pairs.begin(), {figure, T("Units"), T("normalized")});
        return mlfNUicontrol(pairs);
    };
    auto text = [&](std::initializer_list<double> at, const char* string, const char* align, bool bold = false) {
        std::vector<mxArray> pairs = {T("Position"), Row(at), T("String"), T(string), T("Style"), T("text"),
                                      T("HorizontalAlignment"), T(align)};
        if (bold) pairs.insert(pairs.end(), {T("FontWeight"), T("Bold")});
        return control(pairs);
    };
    auto slider = [&](std::initializer_list<double> at, const char* callback) {
        return mlfNUicontrol({T("style"), T("slider"), T("value"), mxArray::scalar(1), T("min"), mxArray::scalar(-1),
                              T("max"), mxArray::scalar(1), T("Units"), T("normalized"), T("Position"), Row(at),
                              T("callback"), T(callback)});
    };

    control({T("Position"), Row({0.03, 0.57, 0.45, 0.38}), T("Style"), T("frame")});
    text({0.035, 0.91, 0.18, 0.05}, " Réglage du procédé", "left", true);
    text({0.04, 0.86, 0.15, 0.05}, "Angle matrice", "left");
    text({0.16, 0.86, 0.15, 0.05}, "A=16°", "left");
    sliders[0] = slider({0.25, 0.88, 0.2, 0.03}, "fixture slider1");
    text({0.04, 0.8, 0.15, 0.05}, "Course poinçon", "left");
    text({0.16, 0.8, 0.15, 0.05}, "C=38mm", "left");
    sliders[1] = slider({0.25, 0.82, 0.2, 0.03}, "fixture slider2");
    text({0.25, 0.91, 0.05, 0.025}, "0°", "left");
    text({0.42, 0.91, 0.05, 0.025}, "16°", "left");
    control({T("Style"), T("pushbutton"), T("String"), T("Réalisation essai"), T("Position"),
             Row({0.275, 0.58, 0.15, 0.05}), T("Callback"), T("fixture Trial")});

    control({T("Position"), Row({0.51, 0.75, 0.45, 0.2}), T("Style"), T("frame")});
    text({0.515, 0.91, 0.28, 0.05}, " Paramètres géométriques pièce", "left", true);
    control({T("Style"), T("edit"), T("Position"), Row({0.52, 0.86, 0.08, 0.04}), T("String"), T("0"),
             T("HorizontalAlignment"), T("left"), T("BackgroundColor"), Row({1, 1, 1}), T("Callback"),
             T("fixture edit")});
    control({T("Style"), T("pushbutton"), T("String"), T("Échouer"), T("Position"), Row({0.75, 0.86, 0.15, 0.05}),
             T("Callback"), T("fixture fail")});
    status = text({0.52, 0.78, 0.43, 0.05}, "", "left");
    closeButton = control({T("Style"), T("pushbutton"), T("String"), T("Fermer"), T("Position"),
                           Row({0.275, 0.49, 0.15, 0.05}), T("Callback"), T("fixture close")});

    control({T("Position"), Row({0.67, 0.06, 0.3, 0.4}), T("Style"), T("frame")});
    text({0.675, 0.42, 0.15, 0.05}, " Coût des essais", "left", true);
    text({0.68, 0.37, 0.15, 0.05}, "Coût outillage (€)=", "left");
    text({0.68, 0.32, 0.15, 0.05}, "Coût réglage  (€) =", "left");
    text({0.83, 0.29, 0.13, 0.05}, "____________", "right", true);
    text({0.68, 0.25, 0.15, 0.05}, "Coût total  (€) =", "left", true);
    text({0.83, 0.37, 0.12, 0.05}, "2500", "right");
    text({0.83, 0.32, 0.12, 0.05}, "350", "right");
    text({0.83, 0.25, 0.12, 0.05}, "2850", "right", true);

    mlfNAxes({T("Position"), Row({0.03, 0.06, 0.6, 0.4}), T("box"), T("on"), T("units"), T("normalized")});
    mlfNPlot(Row({0, 28, 58, 80}), Row({0, 0, 33, 33}), T("bo-"), {T("LineWidth"), mxArray::scalar(2)});
    mlfHold(T("on"));
    mlfNPlot(Row({0, 30, 60.44, 80}), Row({0, 0, 30.44, 30.44}), T("r:"), {T("LineWidth"), mxArray::scalar(2)});
    mlfNSet(mlfGca(), T("XLim"), Row({0, 80}));
    mlfNSet(mlfGca(), T("YLim"), Row({0, 45}));
    mlfNLegend({T("Profil calculé"), T("Profil cible"), Row({15, 185, 91.5, 39.4})});
}

void mlxFixture(int nlhs, mxArray[], int nrhs, mxArray prhs[]) {
    mclCheckArgumentCounts("fixture", nlhs, 0, nrhs, -1);
    if (nrhs == 0) {
        buildWindow();
        if (qEnvironmentVariableIsSet("FIXTURE_CLOSE_SOON"))
            QTimer::singleShot(100, [] { graphics::programTree().fireCallback(closeButton.at(0)); });
        return;
    }
    std::string word = prhs[0].toUtf8();
    if (word == "fail") mlfError("Échec voulu.");
    if (word == "close") {
        mlfNClose(T("all"));
        return;
    }
    if (word == "slider1" || word == "slider2")
        word += "=" + mlfNum2str(mlfNGet(sliders[word.back() - '1'], T("Value"))).toUtf8();
    std::string log = mlfNGet(status, T("String")).toUtf8();
    mlfNSet(status, T("String"), mxArray::text(std::string_view(log + (log.empty() ? "" : ",") + word)));
}

// Twice its input, and a text when asked for a second output.
void mlxTwice(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]) {
    mclCheckArgumentCounts("twice", nlhs, 2, nrhs, 1);
    mxArray x = mclValidate(mclTakeInputs(nrhs, prhs, 1)[0], "x");
    for (std::size_t k = 0; k < x.numel(); ++k) x.set(k, 2 * x.at(k));
    plhs[0] = x;
    if (nlhs > 1) plhs[1] = T("deux €");
}

const mlfFunctionTableEntry functions[] = {
    {"fixture", mlxFixture, -1, 0, nullptr},
    {"twice", mlxTwice, 1, 2, nullptr},
};
const mclInitTermEntry initTerm[] = {
    {libfuncInitialize, libfuncTerminate},
    {libgraphInitialize, libgraphTerminate},
    {[] { std::cout << "init" << std::endl; }, [] { std::cout << "term" << std::endl; }},
};
const mclMainInfo info = {1, 2, functions, 0, nullptr, 0, nullptr, 3, initTerm};

}  // namespace

int main(int argc, char** argv) { return mclMainhg(argc, argv, mlxFixture, 0, info); }
