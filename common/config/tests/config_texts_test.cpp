#include <gtest/gtest.h>

#include "common/config/ansi_text.h"
#include "common/config/code_tables.h"
#include "common/config/module_errors.h"
#include "platform/strings.h"

namespace qd40::cfg {
namespace {

using strings::Language;

TEST(CodeTables, FunctionAndRangeTextsWithUnknownCodes) {
    struct Case {
        int fct;
        int rge;
        std::string_view function;
        std::string_view range;
    };
    const Case cases[] = {
        {0, 0, "Not Prog.", "?"},   {1, 0, "Vdc", "50 mV"},
        {1, 4, "Vdc", "100 V"},     {1, 5, "Vdc", "?"},
        {2, 1, "Vac", "100 V"},     {3, 4, "Ohm", "200 KOhm"},
        {4, 0, "Current", "20 mA"}, {5, 12, "RT", "Special RT"},
        {5, 13, "RT", "?"},         {6, 13, "TC", "Special TC"},
        {7, 0, "Contact", "TOR"},   {7, -1, "Contact", "?"},
        {8, 0, "?", "?"},           {-1, 0, "?", "?"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(functionText(c.fct), c.function) << c.fct;
        EXPECT_EQ(rangeText(c.fct, c.rge), c.range) << c.fct << "/" << c.rge;
    }
    EXPECT_EQ(connectionText(2, kFctTc), "2 or 3 Wires");
    EXPECT_EQ(connectionText(2, kFctRt), "3 Wires");
    EXPECT_EQ(periodUnitMs(3), 1000u);
    EXPECT_EQ(periodUnitMs(5), 1u) << "other codes count as 1 ms";
    EXPECT_EQ(openingConditionText(6), "At least one channel WITHOUT alarm");
    EXPECT_EQ(closingEventText(1), "Storage Opening");
}

TEST(CodeTables, DefaultUnitsAndMnemonics) {
    struct Case {
        int fct;
        int rge;
        std::string_view unit;
    };
    const Case cases[] = {
        {0, 0, ""},
        {1, 1, "mV"},
        {1, 2, "V"},
        {2, 0, "V"},
        {3, 0, "Ohm"},
        {3, 1, "kOhm"},
        {4, 0, "mA"},
        {5, 3,
         "\xB0"
         "C"},
        {6, 0,
         "\xB0"
         "C"},
        {7, 0, ""},
        {1, 5, ""},
        {1, -1, ""},
        {3, 5, ""},
        {2, 7, "V"},
        {4, 3, "mA"},
        {8, 0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(defaultUnit(c.fct, c.rge), c.unit) << c.fct << "/" << c.rge;
    EXPECT_EQ(defaultMnemonic(1, Language::English), "Chan01");
    EXPECT_EQ(defaultMnemonic(12, Language::French), "Voie12");
    EXPECT_EQ(ansiToUtf8(defaultUnit(kFctTc, 0)), "°C");
    EXPECT_EQ(utf8ToAnsi("°C €"),
              "\xB0"
              "C \x80");
    EXPECT_EQ(utf8ToAnsi("\xE4\xB8\xAD"), "?");
}

TEST(ModuleErrors, CodeToTextIdAndDescription) {
    const std::pair<long, int> ids[] = {{0, 524},  {41, 565}, {57, 581}, {58, 590},
                                        {63, 595}, {64, 582}, {-1, 582}};
    for (auto [code, id] : ids)
        EXPECT_EQ(moduleErrorTextId(code), id) << code;
    EXPECT_EQ(moduleErrorText(58, Language::English), "TCP/IP Stack Initialization Error");
    EXPECT_EQ(moduleErrorText(64, Language::French), "Erreur inconnue");
    EXPECT_EQ(moduleErrorDescription(41, Language::English),
              "QD40: Reading an empty Memory Bloc (41)");
    EXPECT_EQ(moduleErrorDescription(18, Language::French),
              "QD40: L'appareil doit être sous contrôle de l'interface (18)");
}

TEST(StringTables, ServerTableHoldsEveryIdInBothLanguages) {
    const auto& t = strings::serverStrings();
    for (int id = 100; id <= 595; ++id) {
        const bool expected = id <= 111 || id >= 513;
        EXPECT_EQ(t.text(id, Language::English).has_value(), expected) << id;
        EXPECT_EQ(t.text(id, Language::French).has_value(), expected) << id;
    }
    EXPECT_EQ(t.text(513, Language::English),
              "Unable to access this Port.\nIt must be first configured");
    EXPECT_EQ(t.text(101, Language::French), "Port Série local COM");
    EXPECT_EQ(t.text(593, Language::English),
              "E-mail Send Error: \"Socket Error, Bad SMTP Code, Bad Parameter or Logic\"");
    EXPECT_EQ(t.text(581, Language::French),
              "On ne peut pas modifier un paramètre d'acquisition lorsque des blocs de mémoire de "
              "stockage contiennent des données");
}

TEST(StringTables, ControlMessagesFormat) {
    const auto& t = strings::controlStrings();
    EXPECT_EQ(strings::formatText(*t.text(515, Language::English), 30),
              "Channels Numbers must be in the range of 1 and 30");
    EXPECT_EQ(strings::formatText(*t.text(521, Language::English), 100000L, 100001L),
              "100000 records all in all as a maximum for all memory blocks (at present: 100001)");
    EXPECT_EQ(strings::formatText(*t.text(521, Language::French), 100000L, 100001L),
              "100000 enregistrements au maximum pour l'ensemble des blocs mémoire "
              "(actuellement: 100001)");
    EXPECT_EQ(strings::formatText(*t.text(167, Language::English), 11), "11 points as a maximum");
    EXPECT_EQ(t.text(174, Language::English), "Auto");
}

}  // namespace
}  // namespace qd40::cfg
