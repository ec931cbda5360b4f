// Measurement sheets as people have them, and sheets that must be refused
// with the line and the column named.
#include "measurements.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>

using namespace etalonnage;

namespace {

std::string refusal(const QByteArray& sheet) {
    try {
        parseSheet(sheet);
    } catch (const SheetError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(Sheet, FrenchSpreadsheetSaveIsRead) {
    // Windows-1252 ("°" is 0xB0, "é" 0xE9), ';' and decimal commas, columns in
    // another order with units and an extra one, a blank line, a row without
    // its H, a setting outside its range, Windows line ends.
    const QByteArray sheet =
        "Opérateur;H (mm);essai;F (bars);C (mm);L (mm);R (mm);A (\xB0);A1 (\xB0);A2 (\xB0)\r\n"
        "Zo\xE9;32,5;7;40;30;57;6;0;133,25;128,5\r\n"
        ";;;;;;;;;\r\n"
        "X;31;8;80;38;65;10;16;-1,5e1;1.25\r\n"
        "X;;9;80;38;65;10;16;130;131\r\n"
        "X;30;10;90;38;65;10;8;130;131\r\n";
    const MeasurementSheet s = parseSheet(QByteArray(sheet).replace("Opérateur", "Op\xE9rateur"));
    ASSERT_EQ(s.runs.size(), 3u);
    const Measurement& a = s.runs[0];
    EXPECT_EQ(a.line, 2);
    EXPECT_EQ(a.run, 7);
    EXPECT_EQ(a.real, (std::array<double, 5>{0, 6, 57, 30, 40}));
    EXPECT_EQ(a.coded, (Coded{-1, -1, -1, -1, -1}));
    EXPECT_EQ(a.results, (std::array<double, 3>{133.25, 128.5, 32.5}));
    EXPECT_EQ(s.runs[1].coded, (Coded{1, 1, 1, 1, 1}));
    EXPECT_EQ(s.runs[1].results, (std::array<double, 3>{-15, 1.25, 31}));
    EXPECT_EQ(s.runs[2].coded[4], 1.5);
    EXPECT_EQ(s.warnings,
              (QStringList{"Lignes vides ignorées : 3.", "Essais sans résultat A1, A2 ou H, ignorés : lignes 5.",
                           "Réglages hors des plages des curseurs (le modèle y extrapole) : lignes 6."}));

    // The same as plain CSV: UTF-8 with its mark, commas, points, quotes, no essai column.
    const MeasurementSheet c = parseSheet("\xEF\xBB\xBF"
                                          "a,r,l,c,f,a1,a2,h,note\n"
                                          "8,8,61,34,60,134.5,\"135\",30.25,\"un, deux\"\n");
    ASSERT_EQ(c.runs.size(), 1u);
    EXPECT_EQ(c.runs[0].coded, (Coded{0, 0, 0, 0, 0}));
    EXPECT_EQ(c.runs[0].results, (std::array<double, 3>{134.5, 135, 30.25}));
    EXPECT_EQ(c.runs[0].run, 1);
}

TEST(Sheet, BadSheetsAreRefusedNamingLineAndColumn) {
    const QByteArray header = "A;R;L;C;F;A1;A2;H\n";
    const struct {
        QByteArray sheet;
        std::string message;
    } cases[] = {
        {QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "Ce fichier n'est pas une feuille CSV"},
        {"", "La feuille de mesures est vide."},
        {"A;R;L;C;F;A1;A2\n1;2;3;4;5;6;7\n", "Ligne 1 : l'en-tête ne nomme pas la colonne H."},
        {"bonjour\nle monde\n", "Ligne 1 : l'en-tête ne nomme pas les colonnes A, R, L, C, F, A1, A2, H."},
        {header + "8;8;61;34;60;12,5,3;1;1\n", "Ligne 2, colonne 6 (A1) : « 12,5,3 » n'est pas un nombre."},
        {header + "\n8;abc;61;34;60;1;1;1\n", "Ligne 3, colonne 2 (R) : « abc » n'est pas un nombre."},
        {header + "8;8;61;34;60;NaN;1;1\n", "Ligne 2, colonne 6 (A1) : « NaN » n'est pas un nombre."},
        {header + "8;8;61;34;60;1e999;1;1\n", "« 1e999 » n'est pas un nombre."},
        {header + "8;8;61;34;60;1-2;1;1\n", "« 1-2 » n'est pas un nombre."},
        {header + "8;8;;34;60;1;1;1\n", "Ligne 2, colonne 3 (L) : la valeur manque."},
        {"A,R,L,C,F,A1,A2,H\n8,8,61,34,60,1.5,1;5,1\n", "Ligne 2, colonne 7 (A2) : « 1;5 » n'est pas un nombre"},
        {"A;R;L;C;F;A1;A2;H;a\n", "Ligne 1 : la colonne « a » figure deux fois dans l'en-tête (colonnes 1 et 9)."},
    };
    for (const auto& c : cases) {
        const std::string message = refusal(c.sheet);
        EXPECT_NE(message.find(c.message), std::string::npos) << "got: " << message << "\nwanted: " << c.message;
    }

    // A file far too big is refused before it is read.
    QTemporaryDir dir;
    const QString big = dir.filePath("grand.csv");
    std::ofstream(big.toStdString()).close();
    std::filesystem::resize_file(big.toStdString(), 100 << 20);
    try {
        readSheet(big);
        ADD_FAILURE() << "a 100 MB sheet was read";
    } catch (const SheetError& e) {
        EXPECT_NE(std::string(e.what()).find("grand.csv » dépasse 10 Mo"), std::string::npos) << e.what();
    }
    EXPECT_THROW(readSheet(dir.path()), SheetError);
    EXPECT_THROW(readSheet(dir.filePath("absent.csv")), SheetError);
}
