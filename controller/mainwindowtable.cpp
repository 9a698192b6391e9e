// SPDX-License-Identifier: GPL-3.0-or-later
#include "controller/mainwindowtable.h"

namespace mainwindowtable {

namespace {

constexpr std::array<int, 8> kRelayTops{28, 52, 76, 99, 124, 148, 172, 196};
constexpr std::array<int, 8> kSetButtonTops{24, 48, 72, 96, 120, 144, 168, 192};
constexpr std::array<int, 3> kInputTops{262, 282, 302};
constexpr QSize kIndicator{38, 14};
constexpr QSize kLampSwitch{23, 22};

// Names of the relay and input labels and indicators, relay/input 1 first.
const std::array<const char*, 16> kRelayLabelNames{
    "Label11", "Label12", "Label13", "Label14", "Label15", "Label16", "Label17", "Label18",
    "Label5",  "Label6",  "Label7",  "Label9",  "Label25", "Label26", "Label27", "Label28"};
const std::array<const char*, 6> kInputLabelNames{"Label21", "Label22", "Label23",
                                                  "Label24", "Label29", "Label30"};

// SpeedButton1, 3, ... 15 for relays 1 to 8; SpeedButton2, 4, ... 16 for 9 to 16.
QString setButtonName(int relay)
{
    return QStringLiteral("SpeedButton%1").arg(relay <= 8 ? 2 * relay - 1 : 2 * (relay - 8));
}

// Shorthands that keep the table below one line per control.
Control panel(const char* name, QRect geometry)
{
    return {Kind::Panel, QString::fromLatin1(name), {}, geometry, {}, {}};
}

Control label(const char* name, const char* parent, QPoint at, const QString& text)
{
    return {
        Kind::Label, QString::fromLatin1(name), QString::fromLatin1(parent), {at, QSize()}, text,
        {}};
}

Control button(const char* name, const char* parent, QRect geometry, const QString& text,
               const char* image)
{
    return {Kind::Button, QString::fromLatin1(name), QString::fromLatin1(parent), geometry,
            text,         QString::fromLatin1(image)};
}

Control lampSwitch(const char* name, const char* parent, QPoint at)
{
    return {Kind::LampSwitch,
            QString::fromLatin1(name),
            QString::fromLatin1(parent),
            {at, kLampSwitch},
            {},
            QStringLiteral("ledtoff")};
}

Control picture(Kind kind, const QString& name, const char* parent, QRect geometry,
                const char* image, int tag)
{
    return {kind, name, QString::fromLatin1(parent), geometry, {}, QString::fromLatin1(image), tag};
}

} // namespace

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

QString relayIndicatorName(int relay)
{
    return relay <= 8 ? QStringLiteral("Out%1image").arg(relay)
                      : QStringLiteral("OutImage%1").arg(relay);
}

std::vector<Control> controls()
{
    // Relay and input indicators with the SET buttons.
    std::vector<Control> table{
        panel("Panel10", {3, 1, 182, 330}),
        label("Label20", "Panel10", {73, 7}, QStringLiteral("RELAY")),
        label("Label19", "Panel10", {74, 237}, QStringLiteral("INPUT")),
    };
    for (int relay = 1; relay <= 16; ++relay) {
        const int top = kRelayTops.at(static_cast<size_t>((relay - 1) % 8));
        const int setTop = kSetButtonTops.at(static_cast<size_t>((relay - 1) % 8));
        const bool right = relay > 8;
        table.push_back(label(kRelayLabelNames.at(static_cast<size_t>(relay - 1)), "Panel10",
                              {right ? 91 : 6, top}, twoDigits(relay)));
        table.push_back(picture(Kind::RelayIndicator, relayIndicatorName(relay), "Panel10",
                                {QPoint(right ? 108 : 20, top), kIndicator}, "", relay - 1));
        table.push_back({Kind::SetButton,
                         setButtonName(relay),
                         QStringLiteral("Panel10"),
                         {QPoint(right ? 148 : 60, setTop), kLampSwitch},
                         {},
                         QStringLiteral("ledron"),
                         relay - 1});
    }
    for (int input = 1; input <= 6; ++input) {
        const int top = kInputTops.at(static_cast<size_t>((input - 1) % 3));
        const bool right = input > 3;
        table.push_back(label(kInputLabelNames.at(static_cast<size_t>(input - 1)), "Panel10",
                              {right ? 94 : 6, top}, QString::number(input)));
        table.push_back(picture(Kind::InputIndicator,
                                QString::fromLatin1(kInputNames.at(static_cast<size_t>(input - 1))),
                                "Panel10", {QPoint(right ? 108 : 20, top), kIndicator},
                                "inputimage", 20 + input - 1));
    }

    const std::initializer_list<Control> rest{
        // Manual relay control.
        panel("Panel5", {185, 1, 117, 223}),
        label("Label8", "Panel5", {23, 6}, QStringLiteral("OUTPUT SET")),
        button("WriteButt", "Panel5", {20, 39, 76, 25}, QStringLiteral("Write"), "write"),
        button("ClearAllButt", "Panel5", {20, 103, 76, 25}, QStringLiteral("Clear All"), "ledroff"),
        button("SetAllButt", "Panel5", {20, 167, 76, 25}, QStringLiteral("Set All   "), "ledgoff"),
        // Activation.
        panel("Panel9", {302, 1, 92, 43}),
        button("ActiveButt", "Panel9", {8, 10, 75, 25}, QStringLiteral("Activate"), "ledtoff"),
        // Input rules.
        panel("Panel4", {302, 44, 92, 90}),
        label("Label4", "Panel4", {8, 6}, QStringLiteral("INPUT RULES")),
        lampSwitch("InputRulesSB", "Panel4", {34, 25}),
        button("RulesEditButt", "Panel4", {8, 55, 75, 25}, QStringLiteral("Edit"), "edit"),
        // Relay timers.
        panel("Panel1", {302, 134, 92, 90}),
        label("Label2", "Panel1", {25, 8}, QStringLiteral("TIMERS")),
        lampSwitch("TimerSB", "Panel1", {34, 25}),
        button("OutEditButt", "Panel1", {8, 54, 75, 25}, QStringLiteral("Edit"), "edit"),
        // Input logger.
        panel("Panel3", {185, 224, 209, 107}),
        label("Label1", "Panel3", {10, 6}, QStringLiteral("INPUT LOGGER")),
        picture(Kind::ActivityLamp, QStringLiteral("LedImage"), "Panel3", {103, 9, 7, 7},
                "ledimage", 100),
        lampSwitch("InputLogSB", "Panel3", {10, 25}),
        label("Label3", "Panel3", {48, 30}, QStringLiteral("Log Timer")),
        lampSwitch("InputNowSB", "Panel3", {10, 49}),
        label("Label10", "Panel3", {48, 55}, QStringLiteral("Log Now")),
        {Kind::Label,
         QStringLiteral("CountLabel"),
         QStringLiteral("Panel3"),
         {10, 87, 91, 13},
         QStringLiteral("Count:        0"),
         {}},
        button("LogEditButt", "Panel3", {116, 25, 75, 25}, QStringLiteral("Edit"), "edit"),
        button("LogSaveButt", "Panel3", {116, 65, 75, 25}, QStringLiteral("Save"), "save"),
        // The faces the relay indicators copy, outside the client area.
        picture(Kind::Template, QStringLiteral("AllOffImage"), "", {QPoint(448, 56), kIndicator},
                "alloffimage", 100),
        picture(Kind::Template, QStringLiteral("OffImage"), "", {QPoint(448, 72), kIndicator},
                "offimage", 100),
        picture(Kind::Template, QStringLiteral("OnImage"), "", {QPoint(448, 88), kIndicator},
                "onimage", 100),
    };
    table.insert(table.end(), rest.begin(), rest.end());
    return table;
}

} // namespace mainwindowtable
