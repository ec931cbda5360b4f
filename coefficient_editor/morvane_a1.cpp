#include "morvane_a1.h"

#include "coefficient_file.h"
#include "coefficient_history.h"
#include "facts.h"
#include "file_safety.h"
#include "graphics.h"
#include "station_journal.h"
#include "window_position.h"
#include "working_folder_lock.h"

#include <QDir>

#include <algorithm>
#include <array>
#include <cmath>

mclGlobalVariable val("val");

namespace {

constexpr int kCoefficients = bending::kTermCount;

mxArray t(const std::string& text) { return mxArray::text(text); }
mxArray n(double value) { return mxArray::scalar(value); }

// Where coefficient k sits on the grid, and the labels of its row and column.
struct GridField {
    mxArray position;
    std::string row, column;
};

std::vector<GridField> grid(double R1, double L1) {
    const char* letters[] = {"A", "R", "L", "C", "F"};
    auto columnLeft = [&](int c) { return R1 + 0.08 + 0.1 * (c - 1); };
    std::vector<GridField> fields;
    fields.push_back({mxArray::row({R1 - 0.02, L1 + 0.07, 0.08, 0.04}), "du haut", "à gauche de A"});
    for (int c = 1; c <= 5; ++c)
        fields.push_back({mxArray::row({columnLeft(c), L1 + 0.07, 0.08, 0.04}), "du haut", letters[c - 1]});
    for (int r = 1; r <= 5; ++r)
        for (int c = r; c <= 5; ++c)
            fields.push_back({mxArray::row({columnLeft(c), L1 + 0.07 - 0.05 * r, 0.08, 0.04}),
                              std::string(letters[r - 1]) + " -->", letters[c - 1]});
    return fields;
}

struct Constants {
    const std::string model = EDITOR_TEXT(EDITOR_MODEL);
    mxArray programName = t(EDITOR_PROGRAM_NAME);
    mxArray windowName = t(" Renseignement de la valeur du polynome " + model);
    mxArray heading = t("Polynome " + model + "=");
    mxArray saveText = t("Sauvegarde " + model);
    mxArray file = t(model + ".poly");
    mxArray missingFile = t("LE FICHIER " + model + ".poly N EXISTE PAS!!!!!");

    mxArray all = t("all"), zero = n(0), one = n(1), minusOne = n(-1);
    mxArray Name = t("Name"), Position = t("Position"), NumberTitle = t("NumberTitle"),
            off = t("off"), menubar = t("menubar"), toolbar = t("toolbar"), none = t("none"),
            Units = t("Units"), normalized = t("normalized"), Style = t("Style"), text = t("text"),
            edit = t("edit"), pushbutton = t("pushbutton"), String = t("String"),
            string = t("string"), HorizontalAlignment = t("HorizontalAlignment"), left = t("left"),
            BackgroundColor = t("BackgroundColor"), white = mxArray::row({1, 1, 1}),
            Callback = t("Callback"), FontSize = t("FontSize"), ten = n(10),
            ForegroundColor = t("ForegroundColor"), red = mxArray::row({1, 0, 0}),
            FontWeight = t("FontWeight"), Bold = t("Bold"), fieldText = t("0");
    mxArray headingPosition = mxArray::row({0.05, 0.86, 0.1, 0.05});
    double R1 = 0.2, L1 = 0.8;
    std::vector<GridField> fields = grid(R1, L1);
    std::array<mxArray, 5> rowLabels{t("A -->"), t("R -->"), t("L -->"), t("C -->"), t("F -->")};
    std::array<mxArray, 5> columnLabels{t("A"), t("R"), t("L"), t("C"), t("F")};
    mxArray saveButtonPosition = mxArray::row({0.45, 0.4, 0.25, 0.06});
    mxArray rereadText = t("Relire anciennes valeurs");
    mxArray rereadPosition = mxArray::row({0.15, 0.4, 0.25, 0.06});
    mxArray initText = t("Initialiser");
    mxArray initPosition = mxArray::row({0.15, 0.3, 0.25, 0.06});
    mxArray Sauv = t("Sauv"), Init = t("Init"), relire = t("relire");
    mxArray saveWord = t(" Sauv"), rereadWord = t(" relire"), initWord = t(" Init");
    mxArray messagePosition = mxArray::row({0.2, 0.15, 0.5, 0.1});
    // Messages that name a field or a count are longer: the full width.
    mxArray longMessagePosition = mxArray::row({0.05, 0.15, 0.9, 0.1});
    mxArray poly = t(facts::kCoefficientFolder), parent = t(".."), w = t("w"), textFormat = t("%s"),
            readFormat = t("%f");
    mxArray pauseSeconds = n(2);
};
mclModuleConstants<Constants> k(EDITOR_PROGRAM_NAME);

mxArray field(int index) { return mlfIndexRef(mclVg(val), ".hui(?)", {n(index)}); }

// A red message below the buttons for two seconds, then gone.
void showMessage(const mxArray& text, const mxArray& position) {
    const Constants& K = k.get();
    mxArray message = mlfNUicontrol({K.Units, K.normalized, K.Position, position,
                                     K.String, text, K.Style, K.text, K.HorizontalAlignment, K.left,
                                     K.FontSize, K.ten, K.ForegroundColor, K.red, K.FontWeight,
                                     K.Bold});
    mlfPause(K.pauseSeconds);
    mlfDelete(message);
}

void buildWindow() {
    const Constants& K = k.get();
    if (const std::string refused = foreignWorkingFolder(); !refused.empty()) mlfError(refused);
    // What an interrupted save of this model left behind, beside the file and its history.
    const std::string poly = facts::kCoefficientFolder;
    for (const std::string& folder : {poly, poly + "/" + bending::kHistoryFolder})
        file_safety::removeStaleTemporaries(folder, K.file.toUtf8());
    mlfNClose(K.all);
    mxArray h_fig = mlfNFigure({K.Name, K.windowName, K.Position, windowPosition(), K.NumberTitle, K.off,
                                K.menubar, K.none, K.toolbar, K.none});

    auto label = [&](const mxArray& position, const mxArray& string) {
        mlfNUicontrol({h_fig, K.Units, K.normalized, K.Style, K.text, K.Position, position,
                       K.String, string, K.HorizontalAlignment, K.left});
    };
    label(K.headingPosition, K.heading);
    for (int r = 0; r < 5; ++r)
        label(mxArray::row({K.R1 + 0.1 * r, K.L1 - 0.05 * r, 0.05, 0.05}), K.rowLabels[r]);
    for (int c = 1; c <= 5; ++c)
        label(mxArray::row({K.R1 + 0.1 * c, K.L1 + 0.1, 0.05, 0.05}), K.columnLabels[c - 1]);

    for (int index = 1; index <= kCoefficients; ++index) {
        mxArray handle = mlfNUicontrol({h_fig, K.Units, K.normalized, K.Style, K.edit, K.Position,
                                        K.fields[index - 1].position, K.String, K.fieldText,
                                        K.HorizontalAlignment, K.left, K.BackgroundColor, K.white});
        mlfIndexAssign(mclInitGlobal(val), ".hui(?)", handle, {n(index)});
    }

    auto button = [&](const mxArray& string, const mxArray& position, const mxArray& word) {
        mlfNUicontrol({h_fig, K.Units, K.normalized, K.Style, K.pushbutton, K.String, string,
                       K.Position, position, K.Callback, mlfHorzcat({K.programName, word})});
    };
    button(K.saveText, K.saveButtonPosition, K.saveWord);
    button(K.rereadText, K.rereadPosition, K.rereadWord);
    button(K.initText, K.initPosition, K.initWord);
}

// The saved file must hold 21 numbers that the simulator can use: a field that
// is not exactly one finite number stops the save before anything is written.
void save() {
    const Constants& K = k.get();
    // During an exam every station evaluates the trainer's coefficients.
    if (examRunning(QDir::currentPath())) throw mclRefusal(kExamRefusal.toStdString());
    bending::TermRow coefficients;
    for (int index = 1; index <= kCoefficients; ++index) {
        mxArray shown = mlfNGet(field(index), K.string);
        mxArray value = mlfStr2num(shown);
        if (value.numel() != 1 || !std::isfinite(value.at(0))) {
            const GridField& where = K.fields[index - 1];
            showMessage(t("Coefficient " + std::to_string(index) + " (ligne " + where.row +
                          ", colonne " + where.column + ") : « " + shown.toUtf8() +
                          " » n'est pas un nombre ; rien n'est enregistré."),
                        K.longMessagePosition);
            return;
        }
        coefficients[index - 1] = value.at(0);
    }
    mclFolderScope inPoly(K.poly);
    mxArray fid = mlfFopen(K.file, K.w);
    if (mclEqBool(fid, K.minusOne))
        mlfError("Le fichier poly/" + K.file.toUtf8() + " ne peut pas être écrit.");
    // The model being replaced stays recoverable in poly/historique/.
    file_safety::WriteResult kept = bending::keepCoefficientFile(".", K.model);
    if (!kept.ok()) mlfError(kept.error);
    mlfNFprintf(fid, K.textFormat, t(bending::coefficientText(coefficients)));
    mlfFclose(fid);
    inPoly.leave(K.parent);
}

void reset() {
    const Constants& K = k.get();
    for (int index = 1; index <= kCoefficients; ++index)
        mlfNSet(field(index), K.string, mlfNum2str(K.zero));
}

// A file that cannot fill all 21 fields changes none of them. What follows
// the 21st number (more numbers, a line of words) is ignored, as the
// simulator ignores it.
void reread() {
    const Constants& K = k.get();
    mclFolderScope inPoly(K.poly);
    mxArray fid = mlfFopen(K.file);
    if (mclEqBool(fid, K.minusOne)) {
        inPoly.leave(K.parent);
        showMessage(K.missingFile, K.messagePosition);
        return;
    }
    mxArray coefficients = mlfFscanf(fid, K.readFormat);
    bool onlyNumbers = mclOnlyBlanksLeft(fid);
    mlfFclose(fid);
    inPoly.leave(K.parent);
    // NaN or Inf could not be saved again: refused like a short file.
    std::size_t finite = 0;
    while (finite < std::min<std::size_t>(coefficients.numel(), kCoefficients) &&
           std::isfinite(coefficients.at(finite)))
        ++finite;
    if (finite < kCoefficients) {
        std::string fault = finite < coefficients.numel() ? "le nombre " + std::to_string(finite + 1) + " n'est pas fini."
                            : !onlyNumbers ? "du texte suit le nombre " + std::to_string(coefficients.numel()) + "."
                            : "il contient " + std::to_string(coefficients.numel()) + " nombres au lieu de 21.";
        showMessage(t("Le fichier " + K.file.toUtf8() + " est illisible : " + fault + " Les champs sont inchangés."),
                    K.longMessagePosition);
        return;
    }
    for (int index = 1; index <= kCoefficients; ++index)
        mlfNSet(field(index), K.string, mlfNum2str(mclIntArrayRef1(coefficients, index)));
}

void Mmorvane(const mxArray& varargin) {
    mclLocalFunctionScope scope(&_local_function_table_morvane);
    if (varargin.numel() == 0) {
        buildWindow();
        return;
    }
    const Constants& K = k.get();
    mxArray action = mlfIndexRef(varargin, "{?}", {K.one});
    if (mclSwitchCompare(action, K.Sauv)) save();
    else if (mclSwitchCompare(action, K.Init)) reset();
    else if (mclSwitchCompare(action, K.relire)) reread();
}

}  // namespace

const mclLocalFunctionTable _local_function_table_morvane = {0, nullptr};

void InitializeModule_morvane() { k.initialize(); }
void TerminateModule_morvane() { k.terminate(); }

void mlfMorvane(std::vector<mxArray> varargin) { Mmorvane(mclVarargin(std::move(varargin))); }

void mlxMorvane(int nlhs, mxArray plhs[], int nrhs, mxArray prhs[]) {
    mclCheckArgumentCounts(EDITOR_PROGRAM_NAME, nlhs, 0, nrhs, -1);
    (void)plhs;
    Mmorvane(mclVarargin(std::vector<mxArray>(prhs, prhs + nrhs)));
}
