// String table of the configuration control: the texts its rules and pages
// use and its error messages (513 to 528), in English and French.
#include "platform/strings_control.h"
#include "platform/strings.h"

namespace qd40::strings {

namespace {
constexpr Entry kControlEntries[] = {
    {ctl::kTxtVersion, "Version", "Version"},
    {ctl::kTxtChannelName, "Chan%02.2d", "Voie%02.2d"},
    {ctl::kTxtMinPoints, "%d points as a minimum", "%d points au minimum"},
    {ctl::kTxtOpeningAlarm, "Define the alarm opening condition for the block",
     "Définir la condition d'alarme d'ouverture du bloc"},
    {ctl::kTxtClosingAlarm, "Define the alarm closing condition for the block",
     "Définir la condition d'alarme de fermeture du bloc"},
    {ctl::kTxtLinPointsTitle, "Linearization Points for the channel",
     "Points de linéarisation de la voie"},
    {ctl::kTxtMaxPoints, "%d points as a maximum", "%d points au maximum"},
    {ctl::kTxtClipboardOpen, "Fail to open clipboard", "Impossible d'ouvrir le presse-papiers"},
    {ctl::kTxtClipboardEmpty, "Fail to empty clipboard", "Impossible de vider le presse-papiers"},
    {ctl::kTxtSameX, "Two points have the same X value. This one must be unique",
     "Deux points ont la même valeur X. Celle-ci doit être unique"},
    {ctl::kTxtAuto, "Auto", "Auto"},
    {ctl::kTxtOtherPort, "The module is already controlled via its other Port",
     "Le module est déjà piloté par son autre port"},
    {ctl::kTxtNotOpened, "Communication not opened", "Communication non ouverte"},
    {ctl::kTxtChannelRange, "Channels Numbers must be in the range of 1 and %d",
     "Les numéros de voie doivent être compris entre 1 et %d"},
    {ctl::kTxtStopFirst, "Stop the module before configuration",
     "Arrêtez le module avant de le configurer"},
    {ctl::kTxtInvalidArgument, "Invalid Argument", "Argument incorrect"},
    {ctl::kTxtInvalidPointer, "Invalid Pointer", "Pointeur incorrect"},
    {ctl::kTxtInvalidMemory, "Invalid Memory Nr", "Numéro de mémoire incorrect"},
    {ctl::kTxtNoServer, "Unable to communicate with OvixQd40Svr server on machine",
     "Impossible de communiquer avec le serveur OvixQd40Svr de la machine"},
    {ctl::kTxtTooManyRecords,
     "%ld records all in all as a maximum for all memory blocks (at present: %ld)",
     "%ld enregistrements au maximum pour l'ensemble des blocs mémoire (actuellement: %ld)"},
    {ctl::kTxtAccessRights,
     "Access Rights Configuration Problem.\nPlease, contact your Network Administrator.",
     "Problème de configuration des droits d'accès.\nVeuillez contacter votre administrateur "
     "réseau."},
    {ctl::kTxtNotQd40, "Device connected is not a QD40 Module",
     "L'appareil connecté n'est pas un module QD40"},
    {ctl::kTxtAuxPeriodLow, "Auxiliary Period too low (min. %ld ms)",
     "Période auxiliaire trop faible (min. %ld ms)"},
    {ctl::kTxtAcqPeriodLow, "Acquisition Period too low (min. %ld ms)",
     "Période d'acquisition trop faible (min. %ld ms)"},
    {ctl::kTxtModuleTooOld,
     "Too old QD40 Module Version.\nIt must be updated.\nMinimal Version required: ",
     "Version du module QD40 trop ancienne.\nElle doit être mise à jour.\nVersion minimale "
     "requise: "},
    {ctl::kTxtSoftwareTooOld, "Too old Exploitation Software Version.\nIt must be updated.",
     "Version du logiciel d'exploitation trop ancienne.\nElle doit être mise à jour."},
    {ctl::kTxtPeriodRange, "Period must be in the range of %ld and %ld",
     "La période doit être comprise entre %ld et %ld"},
};
}  // namespace

const StringTable& controlStrings() {
    static const StringTable table{kControlEntries};
    return table;
}

}  // namespace qd40::strings
