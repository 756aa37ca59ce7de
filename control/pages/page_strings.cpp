#include "control/pages/page_strings.h"

#include <utility>

namespace qd40::pages {

namespace {
using namespace ptext;

constexpr strings::Entry kEntries[] = {
    {kTabChannels, "&Channels", "&Voies"},
    {kTabAcquisition, "&Acquisition", "&Acquisition"},
    {kTabMemBlocks, "&Memory Blocks", "Blocs &mémoire"},
    {kTabGlobal, "&Global", "&Global"},
    {kTabEmail, "&E-mail", "&E-mail"},
    {kTabAbout, "&About OvixQd40Ctl", "À &propos d'OvixQd40Ctl"},
    {kFrameTitle, "OvixQd40Ctl Properties", "Propriétés d'OvixQd40Ctl"},
    {kOk, "OK", "OK"},
    {kCancel, "Cancel", "Annuler"},
    {kApply, "&Apply", "A&ppliquer"},
    {kCheckAll, "Check All", "Tout cocher"},
    {kCheckNone, "Check None", "Tout décocher"},
    {kChannel, "&Channel:", "&Voie :"},
    {kMnemonic, "&Mnemonic:", "&Mnémonique :"},
    {kFunction, "&Function:", "&Fonction :"},
    {kRange, "&Range:", "&Gamme :"},
    {kConnection, "C&onnection:", "C&onnexion :"},
    {kLinearisation, "&Linearization / Scaling", "&Linéarisation / Mise à l'échelle"},
    {kAccuracySpeed, "Accuracy / Speed:", "Précision / Vitesse :"},
    {kTests, "&Tests", "&Tests"},
    {kRjc, "&RJC", "&CSF"},
    {kUnit, "&Unit:", "&Unité :"},
    {kDelay, "&Measurement Delay (ms):", "&Délai de mesure (ms) :"},
    {kDefaultValue, "&Default Value:", "Valeur par &défaut :"},
    {kDeadBand, "Dead &Band:", "&Bande morte :"},
    {kDeadBandPlus, "%  +", "%  +"},
    {kChannelAlarms, "Channel &Alarms", "&Alarmes de la voie"},
    {kLimitN, "Limit &%d:", "Seuil &%d :"},
    {kLevel, "Level", "Niveau"},
    {kDirection, "Direction", "Sens"},
    {kHigh, "High", "Haut"},
    {kLow, "Low", "Bas"},
    {kHysteresis, "Hysteresis", "Hystérésis"},
    {kCounter, "Counter", "Compteur"},
    {kRelayAlarm1, "Relay /\nGlobal Alarm 1", "Relais /\nAlarme globale 1"},
    {kRelayAlarm2, "Relay /\nGlobal Alarm 2", "Relais /\nAlarme globale 2"},
    {kLinTitle, "Linearization Points", "Points de linéarisation"},
    {kAdd, "&Add", "&Ajouter"},
    {kModify, "&Modify", "&Modifier"},
    {kNr, "&Nr", "&N°"},
    {kCopyAll, "&Copy All", "&Copier tout"},
    {kPasteAll, "&Paste All", "C&oller tout"},
    {kDelete, "&Delete", "&Supprimer"},
    {kClearAll, "C&lear All", "&Effacer tout"},
    {kResolution, "&Resolution:", "&Résolution :"},
    {kChansToScan, "&Channels to scan", "&Voies à scruter"},
    {kOpening, "&Opening", "&Ouverture"},
    {kExecution, "E&xecution", "E&xécution"},
    {kCutOffTests, "&Cut-off Tests", "Tests de &coupure"},
    {kRjTemperature, "R&J Temperature", "Température de la &SF"},
    {kLineResistance, "Line &Resistance", "&Résistance de ligne"},
    {kPeriods, "Periods", "Périodes"},
    {kAcqPeriod, "Acquisition:", "Acquisition :"},
    {kAuxPeriod, "Auxiliary:", "Auxiliaire :"},
    {kBlockNumber, "Block Number:", "Numéro de bloc :"},
    {kSize, "Size:", "Taille :"},
    {kRecords, "records", "enregistrements"},
    {kChansToRecord, "Channels to record", "Voies à enregistrer"},
    {kMemOpening, "Opening", "Ouverture"},
    {kReopening, "Re-opening", "Réouverture"},
    {kEventsToSignal, "Events to signal", "Événements à signaler"},
    {kIntoStatusRegister, "into Status Register", "dans le registre d'état"},
    {kRecording, "Recording", "Enregistrement"},
    {kAcqCycles, "acquisition cycles", "cycles d'acquisition"},
    {kClosing, "Closing", "Fermeture"},
    {kCyclesAfterEvent,
     "acquisition cycles after\nevent:", "cycles d'acquisition après\nl'événement :"},
    {kOnClosingOpen, "On closing, open block:", "À la fermeture, ouvrir le bloc :"},
    {kFillingTime, "Expected\nFilling Time:", "Durée de\nremplissage prévue :"},
    {kDefine, "Define...", "Définir..."},
    {kChansToConsider, "&Channels to consider", "&Voies à considérer"},
    {kAlarmsToConsider, "&Alarms to consider", "&Alarmes à considérer"},
    {kConditionToTest, "C&ondition to test", "C&ondition à tester"},
    {kLimitAlarmN, "Limit %d Alarm", "Alarme du seuil %d"},
    {kRefJunction, "Reference &Junction", "Soudure &froide de référence"},
    {kTrigInput, "External &TRIG Input", "Entrée &TRIG externe"},
    {kRelay1, "&Relay 1", "&Relais 1"},
    {kRelay2, "R&elay 2", "R&elais 2"},
    {kRelayControl, "Relay Control:", "Commande du relais :"},
    {kAddressees, "&Addressees", "&Destinataires"},
    {kSendingConditions, "E-mail Sending &Conditions", "&Conditions d'envoi des e-mails"},
    {kMessageText, "&Text of the generic message sent", "&Texte du message générique envoyé"},
    {kAboutControl, "OvixQd40: QD40 Modules Configuration ActiveX",
     "OvixQd40 : ActiveX de configuration des modules QD40"},
    {kSubComponents, "Sub-Components", "Sous-composants"},
    {kServerUnavailable, "OvixQd40Svr: not available", "OvixQd40Svr : non disponible"},
    {kNotANumber, "\"%s\" is not a number", "\"%s\" n'est pas un nombre"},
    {kOutOfRange, "\"%s\" must be in the range of %s and %s",
     "\"%s\" doit être compris entre %s et %s"},
};

// French forms of the English code texts the pages show.
constexpr std::pair<std::string_view, std::string_view> kCodeTexts[] = {
    {"Not Prog.", "Non prog."},
    {"Current", "Courant"},
    {"Contact", "Contact"},
    {"Special RT", "Sonde spéciale"},
    {"Special TC", "TC spécial"},
    {"1 Wire", "1 fil"},
    {"2 Wires", "2 fils"},
    {"3 Wires", "3 fils"},
    {"4 Wires", "4 fils"},
    {"2 or 3 Wires", "2 ou 3 fils"},
    {"High / Slow", "Haute / Lente"},
    {"Intermediate", "Intermédiaire"},
    {"Low / Fast", "Basse / Rapide"},
    {"Only at Opening", "Seulement à l'ouverture"},
    {"Acquisition Period", "Période d'acquisition"},
    {"Auxiliary Period", "Période auxiliaire"},
    {"Periodical Continuous", "Périodique continue"},
    {"Periodical, validated by TRIG Input", "Périodique, validée par l'entrée TRIG"},
    {"Periodical, resynchronized by TRIG Input", "Périodique, resynchronisée par l'entrée TRIG"},
    {"Non Periodical, on ACQTRIG Command", "Non périodique, sur commande ACQTRIG"},
    {"Non Periodical, triggered by TRIG Input", "Non périodique, déclenchée par l'entrée TRIG"},
    {"RUN Command", "Commande RUN"},
    {"ACQTRIG Command", "Commande ACQTRIG"},
    {"ACQTRIG Command or TRIG Input", "Commande ACQTRIG ou entrée TRIG"},
    {"At least one channel in alarm", "Au moins une voie en alarme"},
    {"All channels in alarm", "Toutes les voies en alarme"},
    {"At least one channel WITHOUT alarm", "Au moins une voie SANS alarme"},
    {"No channel in alarm", "Aucune voie en alarme"},
    {"No condition", "Sans condition"},
    {"Opening Acquisition", "Ouverture de l'acquisition"},
    {"TRIG Input (0->1)", "Entrée TRIG (0->1)"},
    {"TRIG Input (1->0)", "Entrée TRIG (1->0)"},
    {"Storage Opening", "Ouverture du stockage"},
    {"Limit 1 Alarm Appears/Disappears", "Apparition/disparition de l'alarme du seuil 1"},
    {"Limit 2 Alarm Appears/Disappears", "Apparition/disparition de l'alarme du seuil 2"},
    {"Limit 3 Alarm Appears/Disappears", "Apparition/disparition de l'alarme du seuil 3"},
    {"Limit 4 Alarm Appears/Disappears", "Apparition/disparition de l'alarme du seuil 4"},
    {"On Global Alarm 1", "Sur alarme globale 1"},
    {"On Global Alarm 2", "Sur alarme globale 2"},
    {"On Memory Event signaled into Status Register",
     "Sur événement mémoire signalé dans le registre d'état"},
    {"1st Recipient:", "1er destinataire :"},
    {"2nd Recipient:", "2e destinataire :"},
    {"3rd Recipient:", "3e destinataire :"},
    {"Block Opening", "Ouverture du bloc"},
    {"End Condition detected", "Condition de fin détectée"},
    {"Records available", "Enregistrements disponibles"},
    {"Full Block", "Bloc plein"},
    {"Re-Openable", "Réouvrable"},
    {"Do empty when Opening", "Vider à l'ouverture"},
    {"Compacting", "Compactage"},
    {"Every", "Tous les"},
    {"Direct", "Directe"},
    {"Reverse", "Inverse"},
    {"Internal", "Interne"},
    {"External", "Externe"},
    {"Controlled by Global Alarm 1", "Commandé par l'alarme globale 1"},
    {"Controlled by Global Alarm 2", "Commandé par l'alarme globale 2"},
    {"Modbus Controlled (bit 18)", "Commandé par Modbus (bit 18)"},
    {"Modbus Controlled (bit 19)", "Commandé par Modbus (bit 19)"},
};
}  // namespace

const strings::StringTable& pageStrings() {
    static const strings::StringTable table{kEntries};
    return table;
}

std::string pageText(int id) {
    return pageStrings().textOrEmpty(id);
}

std::string translated(std::string_view english, strings::Language language) {
    if (language == strings::Language::French)
        for (const auto& [en, fr] : kCodeTexts)
            if (en == english)
                return std::string(fr);
    return std::string(english);
}

std::string translated(std::string_view english) {
    return translated(english, strings::languageFromEnvironment());
}

}  // namespace qd40::pages
