#include "server/panel/panel_strings.h"

namespace qd40::panel {

namespace {
constexpr strings::Entry kPanelEntries[] = {
    {kTxtPortsGroup, "Local Serial Ports &PreConfiguration",
     "&Préconfiguration des ports série locaux"},
    {kTxtBaudRate, "Baud Rate", "Vitesse"},
    {kTxtCabling, "Cabling", "Câblage"},
    {kTxtTestButton, "&Test Communication Channel", "&Tester le canal de communication"},
    {kTxtAboutButton, "&About", "À &propos"},
    {kTxtValidate, "&Validate", "&Valider"},
    {kTxtExit, "E&xit", "&Quitter"},
    {kTxtTestCaption, "Testing Qd40 Communication", "Test de la communication Qd40"},
    {kTxtChannel, "Communication &Channel:", "&Canal de communication :"},
    {kTxtTarget, "Qd40 Target Location", "Emplacement du Qd40"},
    {kTxtModbusAddress, "&MODBUS Address:", "Adresse &MODBUS :"},
    {kTxtIpAddress, "&IP Address:", "Adresse &IP :"},
    {kTxtIpPort, "IP P&ort:", "P&ort IP :"},
    {kTxtTest, "&TEST", "&TESTER"},
    {kTxtClose, "&Close", "&Fermer"},
    {kTxtAboutCaption, "About OvixQd40Svr", "À propos d'OvixQd40Svr"},
    {kTxtComponent, "Qd40 Communication Software Component",
     "Composant logiciel de communication Qd40"},
    {kTxtSubComponents, "Sub-Components", "Sous-composants"},
    {kTxtOk, "OK", "OK"},
    {kTxtModbusTcp, "MODBUS/TCP", "MODBUS/TCP"},
    {kTxtPushFailed,
     "The settings are saved, but the running communication server did not take them (%s). "
     "They apply when the server starts again.",
     "Les réglages sont enregistrés, mais le serveur de communication en marche ne les a pas "
     "pris (%s). Ils s'appliqueront à son prochain démarrage."},
    {kTxtQuitFailed, "The communication server did not end: %s",
     "Le serveur de communication ne s'est pas arrêté : %s"},
    {kTxtServerUnreachable, "the communication server cannot be reached: %s",
     "le serveur de communication est injoignable : %s"},
    {kTxtTransportMissing, "not available", "non disponible"},
};
}  // namespace

const strings::StringTable& panelStrings() {
    static const strings::StringTable table{kPanelEntries};
    return table;
}

std::string panelText(int id) {
    return panelStrings().textOrEmpty(id);
}

std::string serverText(int id) {
    return strings::serverStrings().textOrEmpty(id);
}

}  // namespace qd40::panel
