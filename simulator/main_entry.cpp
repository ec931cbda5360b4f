#include "host.h"
#include "main.h"
#include "main_mainhg.h"

namespace {

const char* const kAbout =
    "Simulateur de pliage en V sur presse plieuse. Cinq curseurs règlent l'angle A et le\n"
    "rayon R de la matrice, l'ouverture L du V, la course C du poinçon et l'effort F du\n"
    "serre-flan ; le bouton « Réalisation essai » prédit les angles A1 et A2 et la hauteur H\n"
    "de la pièce, dessine son profil sur celui de la pièce visée et compte le coût de l'essai.\n"
    "\n"
    "Le programme se lance dans le dossier de travail, qui doit contenir data/ (le compte\n"
    "des coûts et le réglage du dernier essai) et poly/ (les coefficients des modèles,\n"
    "A1.poly, H.poly et A2.poly ; sans les trois, le simulateur prend ses coefficients\n"
    "intégrés). Le lanceur simulateur-pliage prépare ce dossier.";

}  // namespace

int main(int argc, char** argv) { return mclMainhg(argc, argv, mlxMain, 0, _main_info, kAbout); }
