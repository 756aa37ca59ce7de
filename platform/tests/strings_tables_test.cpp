// The string tables text by text, in both languages: the server's interface
// texts (100 to 111) and messages (513 to 595), and the control's texts.
#include <gtest/gtest.h>

#include "platform/strings.h"

namespace qd40::strings {
namespace {

struct Row {
    int id;
    const char* english;
    const char* french;
};

TEST(StringTables, ServerTextsInEnglishAndFrench) {
    const Row rows[] = {
        {100, "OvixQd40Svr", "OvixQd40Svr"},
        {101, "Local Serial Port COM", "Port Série local COM"},
        {102, "Communication Channel is OK", "Canal de communication OK"},
        {103, "Communication Channel Test failed", "Canal de communication en échec"},
        {104, "Channel Test Report", "Rapport de test du canal"},
        {105, "Invalid Params", "Paramètres incorrects"},
        {106, "Unable to access registry", "Impossible d'accéder à la base de registres"},
        {107, "The device read is not a QD40 module",
         "L'appareil connecté n'est pas un module QD40"},
        {108, "Version", "Version"},
        {109, "4 Wires", "4 fils"},
        {110, "2 Wires", "2 fils"},
        {111, "AutoCheck", "AutoCheck"},
        {513, "Unable to access this Port.\nIt must be first configured",
         "Impossible d'accéder à ce port.\nIl doit être tout d'abord configuré"},
        {514, "Invalid BaudRate", "Vitesse incorrecte"},
        {515, "Unable to access OvixModbusServer", "Impossible d'accéder à OvixModbusServer"},
        {516, "Unable to open Local Serial Port", "Impossible d'ouvrir le port série local"},
        {517, "Unable to open IP Port", "Impossible d'ouvrir le port IP"},
        {518, "Unable to close the Communication Port",
         "Impossible de fermer le port de communication"},
        {519, "Unable to read QD40 module", "Impossible de lire le module QD40"},
        {520, "Port Not Opened", "Port non ouvert"},
        {521, "The module is already controlled via its other Port",
         "Le module est déjà sous contrôle de son autre port"},
        {522, "The module is already controlled by another Client on this Port",
         "Le module est déjà sous contrôle d'un autre client sur ce port"},
        {523, "Unable to read running Memory",
         "Impossible de lire une mémoire en cours d'exécution"},
        {524, "No Error", "Pas d'erreur"},
        {525, "Lim. Config.: Hysteresis < 0 or Counter too high",
         "Config Lim.: Hystéresis négatif ou compteur trop élevé"},
        {526, "Wrong Measurement Function", "Fonction de mesure incorrecte"},
        {527, "Wrong Range for the Measurement Function",
         "Calibre incorrect pour la fonction de mesure"},
        {528, "Config.: Ohm or Rt functions not available for 1 wire",
         "Config.: Fonction Ohm ou Rt impossible en 1 Fil"},
        {529, "Config.: 2, 3 or 4 wires available on 1 to 10 channels only",
         "Config.: 2, 3 ou 4 fils uniquement sur voies 1 à 10"},
        {530, "Settling Delay: Value too high", "Temps de stabilisation: Valeur trop élevée"},
        {531, "Lin. Num.: Value too high", "Lin. Num.: Valeur trop élevée"},
        {532, "Too much (or not enough) Lin. Points",
         "Trop (ou pas assez) de points de linéarisation"},
        {533, "Dead Band: Value too high", "Bande Morte: Valeur trop élevée"},
        {534, "Linearization Table not programmed", "Table de linéarisation non programmée"},
        {535, "Measurement < 1rst Lin. Point", "Mesure < 1er point de linéarisation"},
        {536, "Measurement > Last Lin. Point", "Mesure > dernier point de linéarisation"},
        {537, "Aux. Period too low", "Période des mesures complémentaires trop faible"},
        {538, "Acq. Period too low", "Période d'acquisition trop faible"},
        {539, "No channel to acquire", "Aucune voie à acquérir"},
        {540, "Somme channels to be acquired are not programmed",
         "Des voies à acquérir ne sont pas programmées"},
        {541, "Acquisition must be stopped before executing Command",
         "L'acquisition doit être stoppée pour exécuter la commande"},
        {542, "The unit must be under Interface Control",
         "L'appareil doit être sous contrôle de l'interface"},
        {543, "The unit is under control of another Modbus Object",
         "L'appareil est sous le contrôle d'un autre objet modbus"},
        {544, "Unknown Command", "Commande inconnue"},
        {545, "The main config. is not set to control the relay via Modbus",
         "La config générale ne permet pas de piloter le relais par modbus"},
        {546, "ADC Overshoot", "Dépassement du CAN"},
        {547, "ADC Time Out", "Time Out du CAN"},
        {548, "RTD open V+ I+", "Sonde coupée V+ I+"},
        {549, "RTD open V- I-", "Sonde coupée V- I-"},
        {550, "Thermocouple open", "Thermocouple coupé"},
        {551, "Linearization: Alarm Overshoot Low", "Alarme dépassement bas en linéarisation"},
        {552, "Linearization: Alarm Overshoot High", "Alarme dépassement haut en linéarisation"},
        {553, "Wrong Couple Number", "Erreur de numéro de couple"},
        {554, "Loading Error", "Erreur de chargement"},
        {555, "Checksum Error", "Erreur de checksum coefficients de correction"},
        {556, "Permanent Memory corrupted", "Mémoire permanente polluée"},
        {557, "Permanent Memory corrupted: Memory Bloc Size",
         "Mémoire permanente polluée: Taille d'un bloc mémoire incorrecte"},
        {558, "Permanent Memory corrupted: 2 Memory Blocs overlap",
         "Mémoire permanente polluée: Recouvrement de 2 blocs mémoire"},
        {559, "Memory Not Empty", "On ne peut pas configurer une mémoire contenant des données"},
        {560, "Memory Config. Error", "Erreur dans un paramètre de configuration mémoire"},
        {561, "Can't allocate the Memory Bloc required", "Ne peut pas allouer le bloc demandé"},
        {562, "Wrong Memory Bloc Number", "Numéro de bloc mémoire incorrect"},
        {563, "Memory Bloc not programmed", "Bloc mémoire non programmé"},
        {564, "Memory Bloc not running",
         "Demande d'enregistrement dans bloc mémoire non encore en exécution"},
        {565, "Reading an empty Memory Bloc", "Lecture d'une memoire vide"},
        {566, "Reading a running Memory Bloc", "Lecture d'une memoire en cours d'exécution"},
        {567, "Error on the 1rst record", "Erreur sur le premier enregistrement"},
        {568, "Wrong Channel Number for calibration",
         "Numéro de voie non valable pour un étalonnage"},
        {569, "RUN command must have been sent", "La commande RUN doit avoir été émise"},
        {570, "Wrong Password", "Mot de passe incorrect"},
        {571, "Command not implemented", "Commande non implémentée"},
        {572, "Lin. Points must be sorted according to X",
         "Les points de linéarisation doivent être triés dans l'ordre croissant des X"},
        {573, "Required Quantity too high for the Data Buffer",
         "La quantité demandée est trop importante pour la taille du buffer"},
        {574, "Saved RAM Data corrupted", "Corruption des données en RAM sauvegardée"},
        {575, "I2C Eeprom Read Error", "Problème de lecture dans l'Eeprom I2C"},
        {576, "I2C Eeprom Write Error", "Problème d'écriture dans l'Eeprom I2C"},
        {577, "Setup Data CheckSum Error", "Erreur de CheckSum des données de Setup"},
        {578, "Wrong Parameters Quantity for Command",
         "Nombre de paramètres incorrect pour la commande"},
        {579, "Unknown Setup Item Identifier", "Identifiant d'élément de Setup inconnu"},
        {580, "The module is not in SETUP mode", "Le module n'est pas en mode SETUP"},
        {581,
         "An Acquisition Parameter is not able to be modified when Storage Memory Blocs contain "
         "Data",
         "On ne peut pas modifier un paramètre d'acquisition lorsque des blocs de mémoire de "
         "stockage contiennent des données"},
        {582, "Unknown Error", "Erreur inconnue"},
        {583, "Invalid Port", "Port incorrect"},
        {584, "Invalid Relay Nr", "N° de relais incorrect"},
        {585, "Invalid Argument", "Argument incorrect"},
        {586, "Invalid Channel Nr", "N° de voie incorrect"},
        {587, "Invalid Memory Nr", "N° de mémoire incorrect"},
        {588, "Invalid Pointer", "Pointeur incorrect"},
        {589, "Unable to read the Memory Bloc Header",
         "Impossible de relire l'en-tête du bloc mémoire"},
        {590, "TCP/IP Stack Initialization Error", "Echec d'initialisation de la pile TCP/IP"},
        {591, "Can't get Address from DHCP", "Aucune adresse obtenue par DHCP"},
        {592, "Can't get SMTP Server IP Address", "N'obtient pas l'adresse IP du serveur SMTP"},
        {593, "E-mail Send Error: \"Socket Error, Bad SMTP Code, Bad Parameter or Logic\"",
         "Erreur dans l'émission de l'E-mail : \"Socket Error, Bad SMTP Code, Bad Parameter or "
         "Logic\""},
        {594, "Memory Bloc contains data and is not re-openable",
         "Le bloc contient des données et n'est pas redémarrable"},
        {595, "Error when connecting to the Access Povider via Modem",
         "Erreur à la connexion par modem au fournisseur d'accès"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(serverStrings().text(r.id, Language::English), r.english) << r.id;
        EXPECT_EQ(serverStrings().text(r.id, Language::French), r.french) << r.id;
    }
    for (int id : {99, 112, 512, 596})
        EXPECT_FALSE(serverStrings().text(id, Language::English)) << id;
}

TEST(StringTables, ControlTextsInEnglishAndFrench) {
    const Row rows[] = {
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
        {523, "Device connected is not a QD40 Module",
         "L'appareil connecté n'est pas un module QD40"},
        {524, "Auxiliary Period too low (min. %ld ms)",
         "Période auxiliaire trop faible (min. %ld ms)"},
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
    for (const Row& r : rows) {
        EXPECT_EQ(controlStrings().text(r.id, Language::English), r.english) << r.id;
        EXPECT_EQ(controlStrings().text(r.id, Language::French), r.french) << r.id;
    }
}

TEST(StringTables, TheEnvironmentChoosesTheTable) {
    ::setenv("LC_ALL", "fr_FR.UTF-8", 1);
    EXPECT_EQ(serverStrings().textOrEmpty(588), "Pointeur incorrect");
    EXPECT_EQ(controlStrings().textOrEmpty(106), "Voie%02.2d");
    ::setenv("LC_ALL", "C", 1);
    EXPECT_EQ(serverStrings().textOrEmpty(588), "Invalid Pointer");
    EXPECT_EQ(serverStrings().textOrEmpty(596), "");
}

}  // namespace
}  // namespace qd40::strings
