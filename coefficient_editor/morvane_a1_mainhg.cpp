// The editor's description record and process entry point.
#include "graphics.h"
#include "host.h"
#include "morvane_a1.h"

namespace {

const mlfFunctionTableEntry function_table[] = {
    {EDITOR_PROGRAM_NAME, mlxMorvane, -1, 0, &_local_function_table_morvane},
};

const mclGlobalTableEntry global_table[] = {
    {"val", &val},
};

const mclInitTermEntry init_term_table[] = {
    {libfuncInitialize, libfuncTerminate},
    {libgraphInitialize, libgraphTerminate},
    {InitializeModule_morvane, TerminateModule_morvane},
};

#define EDITOR_MODEL_TEXT EDITOR_TEXT(EDITOR_MODEL)

const char* const kAbout =
    "Éditeur des 21 coefficients du modèle " EDITOR_MODEL_TEXT " du simulateur de pliage.\n"
    "« Sauvegarde " EDITOR_MODEL_TEXT " » écrit les coefficients dans poly/" EDITOR_MODEL_TEXT ".poly,\n"
    "« Relire anciennes valeurs » relit ce fichier et « Initialiser » remet les champs à 0.\n"
    "\n"
    "Le programme se lance dans le dossier de travail du simulateur, qui doit contenir\n"
    "poly/ ; le simulateur prend les nouveaux coefficients à son essai suivant, quand les\n"
    "trois fichiers A1.poly, H.poly et A2.poly sont là. Le lanceur\n"
    "« editeur-coefficients " EDITOR_MODEL_TEXT " » prépare ce dossier.";

}  // namespace

extern const mclMainInfo _main_info = {1, 1, function_table, 1, global_table, 0, nullptr, 3,
                                       init_term_table};

int main(int argc, char** argv) { return mclMainhg(argc, argv, mlxMorvane, 0, _main_info, kAbout); }
