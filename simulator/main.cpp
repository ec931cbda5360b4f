#include "main.h"

#include "facts.h"
#include "graphics.h"
#include "main_account.h"
#include "main_chart.h"
#include "main_window.h"
#include "station_recording.h"
#include "var_.h"
#include "v_reelle2cr.h"
#include "working_folder_lock.h"

#include <array>
#include <filesystem>

mclGlobalVariable CoutO("CoutO"), CoutR("CoutR"), Nb_essai("Nb_essai"), ax("ax"), h_fig("h_fig"),
    outillage("outillage"), reglage("reglage"), vh("vh");

namespace {

mxArray t(const char* text) { return mxArray::text(text); }

struct Constants {
    mxArray one = mxArray::scalar(1);
    mxArray all = t("all");
    // Slider cases and the variables behind them, in the order A, R, L, C, F.
    std::array<mxArray, 5> sliderWords{t("slider1"), t("slider2"), t("slider3"), t("slider4"), t("slider5")};
    mxArray Trial = t("Trial");
    std::array<mxArray, 5> binf, bsup;

    Constants() {
        for (int i = 0; i < 5; ++i) {
            binf[i] = mxArray::scalar(facts::kVariables[i].min);
            bsup[i] = mxArray::scalar(facts::kVariables[i].max);
        }
    }
};
mclModuleConstants<Constants> k("main");

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
    // The journal opens in its thread while the controls are built.
    startStationRecording();
    createControls();
    drawStartChart(liste_initiale);
    awaitStationRecording();
}

void trial(const std::array<mxArray, 5>& PP, const std::array<mxArray, 5>& ValR) {
    const CoefficientFilesReadOnce readOnce;
    loadAccount();
    const double countBefore = mclVg(Nb_essai).at(0);
    const Prediction computed = predict(PP);
    const mxArray liste = profileOf(computed);
    redrawChart(liste, initialProfile());
    showResults(computed.A1, computed.A2, computed.H);
    showAccount(chargeTrial());
    storeAccountAndLog(ValR, computed.A1, computed.A2, computed.H);
    recordTrial(ValR, computed.A1, computed.A2, computed.H, countBefore);
}

// Slider i moved: its label shows the real value, the account notes what changed.
void recordSliderMove(int i, const mxArray& real) {
    showSliderValue(i, real);
    noteSliderMove(facts::kVariables[i].tooling);
}

// Every control's case starts from the five slider positions, coded and real.
void serveControl(const mxArray& word) {
    const Constants& K = k.get();
    const std::array<mxArray, 5> PP = sliderPositions();
    std::array<mxArray, 5> ValR;
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

void InitializeModule_main() {
    k.initialize();
    initializeMainChart();
    initializeMainWindow();
    initializeMainAccount();
}
void TerminateModule_main() {
    stopStationRecording();
    terminateMainAccount();
    terminateMainWindow();
    terminateMainChart();
    k.terminate();
}

void mlfMain(std::vector<mxArray> varargin) { Mmain(mclVarargin(std::move(varargin))); }

void mlxMain(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]) {
    mclCheckArgumentCounts("main", nlhs, 0, nrhs, -1);
    (void)plhs;
    Mmain(mclVarargin(std::vector<mxArray>(prhs, prhs + nrhs)));
}
