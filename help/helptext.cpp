// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/helptext.h"

namespace {

// Builds the text: headings get their underline, paragraphs a blank line
// after them.
class Writer
{
public:
    void title(const QString& text) { m_lines << text << QString(); }
    void section(const QString& heading) { underline(heading, QLatin1Char('=')); }
    void subsection(const QString& heading) { underline(heading, QLatin1Char('-')); }
    // A named item inside a subsection: its name on a line of its own, then
    // its paragraph.
    void item(const QString& name, const QString& text) { m_lines << name << text << QString(); }
    void para(const QString& text) { m_lines << text << QString(); }
    // Commands to type, indented, one per line.
    void code(const QStringList& lines)
    {
        for (const QString& line : lines)
            m_lines << QStringLiteral("    ") + line;
        m_lines << QString();
    }
    [[nodiscard]] QStringList lines() const { return m_lines; }

private:
    void underline(const QString& heading, QChar mark)
    {
        m_lines << heading << QString(heading.size(), mark) << QString();
    }

    QStringList m_lines;
};

} // namespace

QStringList HelpText()
{
    Writer w;
    w.title(QStringLiteral("QMX V217 Serial Port Relay Driver Kit"));

    w.section(QStringLiteral("Main Screen"));
    w.para(QStringLiteral(
        "The main screen shows the 16 relays and the 6 inputs of the V217 board and holds the "
        "controls that drive them. Nothing is sent to the board until you click ACTIVATE; while "
        "the system is active the program writes the relays and reads the inputs every 0.2 "
        "seconds. The status bar at the bottom shows the serial port on the left, the last "
        "message in the middle and the time of day on the right."));

    w.subsection(QStringLiteral("Menu Items"));
    w.item(QStringLiteral("FILE -> Save"),
           QStringLiteral("Saves the relay timer records, the input rules and the logger times "
                          "to a project file (extension .iom). You can save at any time, also "
                          "while the system is active. The window caption shows the name of the "
                          "project file."));
    w.item(QStringLiteral("FILE -> Open"),
           QStringLiteral("The menu item Load opens a project file and replaces the timer "
                          "records, the input rules and the logger times with those in the file. "
                          "If you have changed any of them since the last save you are asked "
                          "whether to save first. Timer records loaded while the system is "
                          "active run only after the next ACTIVATE. The program remembers the "
                          "port and the last project and opens both again when it starts."));
    w.item(QStringLiteral("FILE -> Exit"),
           QStringLiteral("Closes the program. You are asked whether to save changed timer, "
                          "rule or logger settings and log data that is still in memory. "
                          "Closing sends nothing to the board: the relays stay as they are. To "
                          "switch all relays off first, click ACTIVATE to deactivate the "
                          "system."));
    w.item(QStringLiteral("PORT -> Set"),
           QStringLiteral("Chooses the serial port the board is connected to: type the port "
                          "number, one digit from 1 to 9, and click OK. A double click on the "
                          "status bar does the same. The left panel of the status bar shows "
                          "\"COM\" and the number when the port is open, or \"COM x\" when it "
                          "could not be opened."));
    w.item(QStringLiteral("HELP -> Contents"), QStringLiteral("Shows these notes."));

    w.subsection(QStringLiteral("CHOOSING THE PORT ON LINUX"));
    w.para(QStringLiteral(
        "The ports COM1 to COM9 are found in this order. First, if the folder "
        "~/.config/qmx-v217/ports/ (or $XDG_CONFIG_HOME/qmx-v217/ports/ when XDG_CONFIG_HOME is "
        "set) holds a link named com1 to com9, that link is used. Otherwise COM1 to COM4 are "
        "/dev/ttyS0 to /dev/ttyS3, COM5 to COM7 are /dev/ttyUSB0 to /dev/ttyUSB2, and COM8 and "
        "COM9 are /dev/ttyACM0 and /dev/ttyACM1."));
    w.para(QStringLiteral(
        "A USB serial adapter can get a different ttyUSB number each time it is plugged in. To "
        "give it a fixed COM number, link its stable name in /dev/serial/by-id to that number, "
        "for example for COM3:"));
    w.code({QStringLiteral("mkdir -p ~/.config/qmx-v217/ports"),
            QStringLiteral("ln -s /dev/serial/by-id/usb-FTDI_...-port0 \\"),
            QStringLiteral("      ~/.config/qmx-v217/ports/com3")});
    w.para(QStringLiteral(
        "If the port reports \"permission denied\", your user may not use serial ports yet: "
        "join the dialout group with sudo adduser $USER dialout, then log out and in again."));

    w.subsection(QStringLiteral("RELAY STATUS INDICATORS"));
    w.para(QStringLiteral(
        "One indicator for each relay, 01 to 16. Red = off, green = on. The indicators show what "
        "the board has confirmed, so they follow a change within 0.2 seconds. While the system "
        "is not active all indicators are dark red, although the board keeps the relays as they "
        "were last set."));

    w.subsection(QStringLiteral("INPUT STATUS INDICATORS"));
    w.para(QStringLiteral(
        "One indicator for each input, 1 to 6, with two lamps. Red (the left lamp, arrow down) "
        "lit = the input is low. Green (the right lamp, arrow up) lit = the input is high. The "
        "inputs are read every 0.2 seconds while the system is active."));

    w.subsection(QStringLiteral("BUTTONS"));
    w.item(QStringLiteral("SET"),
           QStringLiteral("The button beside each relay indicator prepares that relay for "
                          "WRITE: each click changes its lamp between green (the relay will be "
                          "switched on) and red (the relay will be switched off). SET does not "
                          "switch the relay itself. The SET buttons work only in active mode."));
    w.item(QStringLiteral("WRITE"),
           QStringLiteral("Switches the relays to the pattern prepared with the SET buttons: "
                          "relays with a green SET lamp on, all others off. Needs the system to "
                          "be in active mode."));
    w.item(QStringLiteral("CLEAR ALL"),
           QStringLiteral("Switches all 16 relays off at once. Needs the system to be in active "
                          "mode. The SET buttons keep their lamps."));
    w.item(QStringLiteral("SET ALL"),
           QStringLiteral("Switches all 16 relays on at once. Needs the system to be in active "
                          "mode. The SET buttons keep their lamps, so a following WRITE puts the "
                          "prepared pattern back."));
    w.item(QStringLiteral("ACTIVATE"),
           QStringLiteral("Starts the system: the lamp lights and the program begins writing the "
                          "relays and reading the inputs every 0.2 seconds. A second click stops "
                          "it: after the next input reading all relays are switched off and the "
                          "status shows \"System closed\". If the board does not answer for 1.5 "
                          "seconds, or answers something it should not, the program reports it "
                          "and stops."));
    w.item(QStringLiteral("INPUT RULES EDIT"),
           QStringLiteral("Opens the input rules window. The rules can be edited only while the "
                          "system is not active."));
    w.item(QStringLiteral("INPUT RULES ACTIVATE"),
           QStringLiteral("The lamp button under INPUT RULES switches the rules on (lamp lit) "
                          "and off. While they are on and the system is active, the rules are "
                          "applied after every reading of the inputs. With no rules entered the "
                          "program answers \"Rules list empty\"."));
    w.item(QStringLiteral("TIMERS EDIT"),
           QStringLiteral("Opens the timer edit window. Changes made there take effect only when "
                          "ACTIVATE is cycled off and on again, because the running system keeps "
                          "the records it was activated with."));
    w.item(QStringLiteral("TIMERS ACTIVATE"),
           QStringLiteral("The lamp button under TIMERS switches the relay timers on (lamp lit) "
                          "and off. Relays that a timer has switched stay as they are when the "
                          "timers are turned off. With no timer records the program answers "
                          "\"Timer list empty\"."));
    w.item(QStringLiteral("INPUT LOGGER EDIT"),
           QStringLiteral("Opens the logger edit window, where the logging times and the "
                          "frequency are set. Only while the system is not active."));
    w.item(QStringLiteral("INPUT LOGGER START"),
           QStringLiteral("The Log Timer switch starts a logging run on the schedule of the "
                          "logger edit window: lines are recorded between the ON and the OFF "
                          "time, and the run ends by itself when the OFF time is reached. The run "
                          "does not wait for its ON time: switched on before the ON time, or with "
                          "an OFF time that is not after the ON time, it ends at the first input "
                          "read with no line recorded. So switch it on once the ON time has come. "
                          "The system must be active. Click it again to stop. The small red lamp "
                          "blinks with every line recorded and Count shows the number of the last "
                          "line."));
    w.item(QStringLiteral("INPUT LOGGER NOW"),
           QStringLiteral("The Log Now switch starts logging at once, one line at the frequency "
                          "set in the logger edit window, until you click it again or the system "
                          "stops. The system must be active and the logger times must be set. "
                          "If log lines from an earlier run are still in memory you are asked "
                          "whether to save them first."));
    w.item(QStringLiteral("INPUT LOGGER SAVE"),
           QStringLiteral("Saves the log lines in memory to a text file and empties the memory. "
                          "Only while the system is not active."));

    w.section(QStringLiteral("TIMER EDIT WINDOW"));
    w.para(QStringLiteral(
        "Each timer record switches one relay on at its ON time and off at its OFF time: once, "
        "between two dates and times, or every day on the weekdays you select. There may be any "
        "number of records, and several may name the same relay; the record that acts last "
        "decides. Records are numbered from 0 in the order they were entered. All times are in "
        "24-hour form (hour 0 to 23). OK keeps your changes, Cancel discards them. Changes take "
        "effect only when ACTIVATE is cycled off and on again."));

    w.subsection(QStringLiteral("ENTERING A RECORD"));
    w.para(QStringLiteral(
        "Click New. Type the relay number as two digits, 01 to 16, then the ON day, month, year "
        "(2002 to 2100), hour, minute and second, and the same for OFF. Now fills the date and "
        "time fields of the group you clicked last with the current date and time. Enter checks "
        "the record and stores it; a mistake is reported and you can correct it. Cancel leaves "
        "the record unchanged. With \"Duplicate data to new fields\" ticked, New starts from the "
        "values shown."));

    w.subsection(QStringLiteral("TOGGLE"));
    w.para(QStringLiteral(
        "To make the relay switch on and off repeatedly while its record is on, enter a Toggle "
        "ON and a Toggle OFF time in seconds and tenths, for example 1.2 and 1. The resolution is "
        "0.2 seconds, so the tenth can only be 0, 2, 4, 6 or 8. Leave both fields empty for no "
        "toggling."));

    w.subsection(QStringLiteral("DAILY"));
    w.para(QStringLiteral(
        "Tick one or more weekday boxes (S M T W T F S, Sunday first) to repeat the record on "
        "those days. The date fields disappear: only the ON and OFF times of day count, and the "
        "OFF time must be later on the same day."));

    w.subsection(QStringLiteral("EDIT"));
    w.para(QStringLiteral(
        "Changes the record shown. Enter stores it back in its place with the same number."));

    w.subsection(QStringLiteral("DELETE"));
    w.para(QStringLiteral(
        "Deletes the record shown, after asking. The records after it move up one number."));

    w.subsection(QStringLiteral("PREVIOUS - NEXT"));
    w.para(QStringLiteral(
        "Step through the records. Next on the last record goes to the first, Previous on the "
        "first goes to the last."));

    w.subsection(QStringLiteral("DELETE ALL"));
    w.para(QStringLiteral("Deletes every timer record, after asking."));

    w.section(QStringLiteral("LOGGER EDIT WINDOW"));
    w.para(QStringLiteral(
        "Sets when the Log Timer switch records, and how often. Enter the ON date and time and "
        "the OFF date and time (years 2002 to 2100, 24-hour times) and the Frequency, the time "
        "between two log lines in seconds with at most one decimal. Now fills the group you "
        "clicked last with the current date and time; Clear empties all fields. OK checks the "
        "entries and reports the first mistake; leaving all fields empty removes the schedule."));
    w.para(QStringLiteral(
        "Each log line holds its count, the time, the six inputs (6 first) and the sixteen "
        "relays (16 first), 1 for high or on and 0 for low or off. A log starts with a short "
        "header and ends with the finish time."));

    w.section(QStringLiteral("INPUT RULES WINDOW"));
    w.para(QStringLiteral(
        "Up to 10 rules, one per line, switch relays from the state of the inputs. A rule is a "
        "condition, then =, then one or more relays. A condition is an input number 1 to 6 "
        "followed by H (high) or L (low); several are joined by \"and\" or \"or\". Each relay is a "
        "two-digit number, 01 to 16, followed by H or L. Spaces are not allowed; the letters are "
        "put in the right case as you type."));
    w.para(QStringLiteral(
        "The condition is evaluated strictly from left to right, with no parentheses and no "
        "precedence: 1Hor2Hand3H means (1H or 2H) and 3H. A relay with H is switched on while the "
        "condition is true and off while it is false; a relay with L the other way round. The "
        "rules are applied after every reading of the inputs (every 0.2 seconds) while the "
        "system is active and the INPUT RULES switch is on; when two lines name the same relay "
        "the later line decides, and a relay named in a rule overrides SET, WRITE, SET ALL and "
        "CLEAR ALL at the next reading."));
    w.para(QStringLiteral(
        "OK checks the rules. A mistake is reported with its line and character and what was "
        "expected there; you can go back and correct it, or leave the window, in which case all "
        "rules are removed and the INPUT RULES switch is turned off. Cancel leaves the rules as "
        "they were."));

    w.subsection(QStringLiteral("EXAMPLES"));
    w.item(QStringLiteral("1H=01H"),
           QStringLiteral("Relay 1 is on while input 1 is high, off while it is low."));
    w.item(QStringLiteral("1Hor2H=01H"),
           QStringLiteral("Relay 1 is on while input 1 or input 2 is high."));
    w.item(QStringLiteral("1Hand3L=01H02H03H04L"),
           QStringLiteral("While input 1 is high and input 3 is low, relays 1, 2 and 3 are on "
                          "and relay 4 is off; otherwise relays 1, 2 and 3 are off and relay 4 "
                          "is on."));
    QStringList lines = w.lines();
    while (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}
