#include "host_options.h"

#include "errors.h"
#include "host.h"

#include <cstdlib>
#include <filesystem>

namespace graphics {

namespace {

const char* const kUsage = "[--script FICHIER|-] [--show] [--snapshot FICHIER.png] [--help]";

}  // namespace

HostOptions parseHostOptions(const std::vector<std::string>& args) {
    HostOptions options;
    for (std::size_t k = 0; k < args.size(); ++k) {
        if (args[k] == "--script" && k + 1 < args.size() && !options.script) {
            ++k;
            options.script = args[k] == "-" ? args[k] : mclCommandLinePath(args[k]);
        } else if (args[k] == "--snapshot" && k + 1 < args.size() && !options.snapshot) {
            options.snapshot = mclCommandLinePath(args[++k]);
        } else if (args[k] == "--show") {
            options.show = true;
        } else if (args[k] == "--help" || args[k] == "-h") {
            options.help = true;
        } else {
            throw mclError("Argument « " + args[k] + " » non reconnu. Utilisation : " + kUsage);
        }
    }
    if (options.script && options.snapshot)
        throw mclError("--snapshot ne va pas avec --script : le script a sa commande snapshot.");
    if (options.show && !options.script && !options.snapshot)
        throw mclError("--show ne va qu'avec --script ou --snapshot.");
    return options;
}

std::string hostHelp(const std::string& program, const std::string& about) {
    return "Utilisation : " + program + " " + kUsage + "\n\n" + about +
           "\n\n"
           "Options :\n"
           "  --script FICHIER    joue un script d'actions de l'utilisateur au lieu d'attendre\n"
           "                      les clics, sans montrer la fenêtre ; « - » lit l'entrée standard\n"
           "  --snapshot FICHIER.png\n"
           "                      ouvre la fenêtre, la dessine une fois, en enregistre l'image\n"
           "                      et quitte, sans la montrer\n"
           "  --show              avec --script ou --snapshot : montre la fenêtre à l'écran\n"
           "  -h, --help          affiche cette aide et quitte\n"
           "\n"
           "Un script donne une commande par ligne ; « # » commence un commentaire, les textes\n"
           "qui contiennent des blancs vont entre guillemets droits :\n"
           "  slider N VALEUR     déplace le N-ième curseur de la fenêtre à VALEUR\n"
           "  press \"TEXTE\"       clique le bouton intitulé TEXTE\n"
           "  edit N \"TEXTE\"      tape TEXTE dans le N-ième champ de saisie et le quitte\n"
           "  callback \"TEXTE\"    transmet un texte de rappel au programme, tel « main Trial »\n"
           "  call NOM N ARG...   appelle une fonction du programme, affiche ses N sorties en JSON\n"
           "  dump                affiche les objets de la fenêtre, un objet JSON par ligne,\n"
           "                      puis les textes des autres fenêtres du programme\n"
           "  snapshot FICHIER.png  enregistre une image de la fenêtre\n"
           "  screenshot FICHIER.png\n"
           "                      enregistre une image des fenêtres du programme, chacune où\n"
           "                      elle est à l'écran\n"
           "  wait SECONDES       laisse la fenêtre vivre un moment\n"
           "Une action impossible écrit « error: MESSAGE » sur la sortie d'erreur et le script\n"
           "continue ; une ligne incomprise l'arrête.\n"
           "\n"
           "Statut de sortie : 0 en fin normale ; 1 quand le programme n'a pas pu ouvrir sa\n"
           "fenêtre, que l'image n'a pas pu être enregistrée ou que le programme a refusé une\n"
           "action du script (une sauvegarde pendant un examen) ; 2 pour un argument ou une\n"
           "ligne de script incompris ; 255 après une erreur fatale d'accès mémoire.\n";
}

}  // namespace graphics

namespace {

std::string fromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

std::string mclCommandName(const std::string& program) {
    std::string typed = fromEnvironment("SIMULATEUR_PLIAGE_COMMANDE");
    return typed.empty() ? program : typed;
}

std::string mclCommandLinePath(const std::string& path) {
    std::string caller = fromEnvironment("SIMULATEUR_PLIAGE_APPEL");
    if (path.empty() || caller.empty()) return path;
    return (std::filesystem::path(caller) / path).string();  // an absolute path stays as it is
}
