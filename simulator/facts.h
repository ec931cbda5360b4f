// The simulator's facts: the five process variables, the target part, the
// cost account and the files of the working folder. The simulator's modules
// build their constant arrays from these values; the other programs of the
// working folder (the trainer's console, the calibration) read them here
// instead of typing them again. Plain C++, no runtime, no Qt.
#pragma once

#include <array>

namespace facts {

// A process variable as its slider row shows it. A slider works in coded
// units, -1 at min and 1 at max; labels, files and logs show real units.
struct Variable {
    const char* symbol;  // "A"
    const char* label;   // the name beside the slider
    double min, max;     // real units
    const char* unit;    // as written after a value: "16°", "10mm", "80bars"
    bool tooling;        // moving it changes the tooling, not only the adjustment
};

// Always in this order: A, R, L, C, F.
inline constexpr std::array<Variable, 5> kVariables{{
    {"A", "Angle matrice", 0, 16, "°", true},
    {"R", "Rayon matrice", 6, 10, "mm", true},
    {"L", "Largeur matrice", 57, 65, "mm", false},
    {"C", "Course poinçon", 30, 38, "mm", false},
    {"F", "Force SF", 40, 80, "bars", false},
}};

// The part the operator aims at: both flange angles in degrees, height in mm.
struct Part {
    double A1, A2, H;
};
inline constexpr Part kTarget{135, 135, 30.44};

// The cost rule: a trial adds the tooling charge when A or R moved since the
// previous trial and the adjustment charge when anything moved.
inline constexpr double kToolingCharge = 2500;
inline constexpr double kAdjustmentCharge = 350;

// What every start of the simulator writes to the account: one tooling and
// one adjustment charge, which stand for the first trial, and no trial yet.
struct Account {
    double tooling, adjustment, count;
};
inline constexpr Account kStartAccount{kToolingCharge, kAdjustmentCharge, 0};

// The working folder.
inline constexpr const char* kDataFolder = "data";
inline constexpr const char* kCoefficientFolder = "poly";
inline constexpr const char* kToolingFile = "CoutO.dat";
inline constexpr const char* kAdjustmentFile = "CoutR.dat";
inline constexpr const char* kCountFile = "Nb_essai.dat";
inline constexpr const char* kSettingsLogFile = "config_outillage.dat";
// The station's journal of trials and its settings, in the data folder.
inline constexpr const char* kJournalFile = "journal.sqlite";
inline constexpr const char* kStationSettingsFile = "classe.ini";
// This installation's identifier, made at the first start: two PCs cloned
// from one image, under one station name, stay apart in the class.
inline constexpr const char* kInstallationFile = "installation";

// The three models in the order of their outputs, with their coefficient
// files in the coefficient folder.
struct Model {
    const char* name;  // "A1"
    const char* file;  // "A1.poly"
    const char* path;  // "poly/A1.poly", from the working folder
};
inline constexpr std::array<Model, 3> kModels{{
    {"A1", "A1.poly", "poly/A1.poly"},
    {"A2", "A2.poly", "poly/A2.poly"},
    {"H", "H.poly", "poly/H.poly"},
}};

}  // namespace facts
