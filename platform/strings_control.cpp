// String table of the configuration control: the texts its rules and pages
// use and its error messages (513 to 528), in English and French.
#include "platform/strings.h"

namespace qd40::strings {

namespace {
constexpr Entry kControlEntries[] = {
    {101, "Version", "Version"},
    {106, "Chan%02.2d", "Voie%02.2d"},
    {112, "%d points as a minimum", "%d points au minimum"},
    {164, "Define the alarm opening condition for the block",
     "Définir la condition d'alarme d'ouverture du bloc"},
    {165, "Define the alarm closing condition for the block",
     "Définir la condition d'alarme de fermeture du bloc"},
    {166, "Linearization Points for the channel", "Points de linéarisation de la voie"},
    {167, "%d points as a maximum", "%d points au maximum"},
    {168, "Fail to open clipboard", "Impossible d'ouvrir le presse-papiers"},
    {169, "Fail to empty clipboard", "Impossible de vider le presse-papiers"},
    {170, "Two points have the same X value. This one must be unique",
     "Deux points ont la même valeur X. Celle-ci doit être unique"},
    {174, "Auto", "Auto"},
    {513, "The module is already controlled via its other Port",
     "Le module est déjà piloté par son autre port"},
    {514, "Communication not opened", "Communication non ouverte"},
    {515, "Channels Numbers must be in the range of 1 and %d",
     "Les numéros de voie doivent être compris entre 1 et %d"},
    {516, "Stop the module before configuration", "Arrêtez le module avant de le configurer"},
    {517, "Invalid Argument", "Argument incorrect"},
    {518, "Invalid Pointer", "Pointeur incorrect"},
    {519, "Invalid Memory Nr", "Numéro de mémoire incorrect"},
    {520, "Unable to communicate with OvixQd40Svr server on machine",
     "Impossible de communiquer avec le serveur OvixQd40Svr de la machine"},
    {521, "%ld records all in all as a maximum for all memory blocks (at present: %ld)",
     "%ld enregistrements au maximum pour l'ensemble des blocs mémoire (actuellement: %ld)"},
    {522, "Access Rights Configuration Problem.\nPlease, contact your Network Administrator.",
     "Problème de configuration des droits d'accès.\nVeuillez contacter votre administrateur "
     "réseau."},
    {523, "Device connected is not a QD40 Module", "L'appareil connecté n'est pas un module QD40"},
    {524, "Auxiliary Period too low (min. %ld ms)", "Période auxiliaire trop faible (min. %ld ms)"},
    {525, "Acquisition Period too low (min. %ld ms)",
     "Période d'acquisition trop faible (min. %ld ms)"},
    {526, "Too old QD40 Module Version.\nIt must be updated.\nMinimal Version required: ",
     "Version du module QD40 trop ancienne.\nElle doit être mise à jour.\nVersion minimale "
     "requise: "},
    {527, "Too old Exploitation Software Version.\nIt must be updated.",
     "Version du logiciel d'exploitation trop ancienne.\nElle doit être mise à jour."},
    {528, "Period must be in the range of %ld and %ld",
     "La période doit être comprise entre %ld et %ld"},
};
}  // namespace

const StringTable& controlStrings() {
    static const StringTable table{kControlEntries};
    return table;
}

}  // namespace qd40::strings
