// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QDateTime>
#include <QString>

#include <array>

struct Regional;

// The logger window's own state: its thirteen field texts, the stored values
// found by the last check and the flags the main window reads. The window
// only mirrors these texts; the fields stay here while it is hidden, so the
// Log on Timer switch and project loading can check them then too. The
// frequency field takes and shows the decimal separator of the regional
// formats it is given.
class LoggerForm
{
public:
    explicit LoggerForm(const Regional& regional) : m_regional(regional) {}

    // Field indexes: the ON group, the OFF group, then the frequency.
    // clang-format off
    enum Field {
        OnDay, OnMonth, OnYear, OnHour, OnMinute, OnSecond,
        OffDay, OffMonth, OffYear, OffHour, OffMinute, OffSecond,
        Frequency,
        FieldCount
    };
    // clang-format on
    // The two time groups of CreateEditText.
    static constexpr int kOnGroup = 1;
    static constexpr int kOffGroup = 0;
    static constexpr int kGroupSize = 6;

    std::array<QString, FieldCount> fields;
    double LoggerOnTime = 0;
    double LoggerOffTime = 0;
    double LoggerFrequency = 0;
    bool LogDataValid = false;
    bool LogDataChanged = false;
    bool NowFillsOn = false;

    // Fills every field from the stored values.
    void SetLoggerEdits();
    // Writes one date-time into the ON group (group 1) or the OFF group
    // (group 0) as "dd", "mm", "yyyy", "hh", "mm", "ss"; a date-time of 0
    // empties the group.
    void CreateEditText(int group, double dateTime);
    // Checks the fields, rewrites the stored values and returns the error
    // text, empty when there is nothing to report.
    [[nodiscard]] QString CheckTheLogData();
    // Empties every field; the stored values stay.
    void ClearButtClick();
    // Fills the group whose field last had the focus with now.
    void NowButtClick(const QDateTime& now);
    void CancelButtClick() { LogDataChanged = false; }
    // A field of the ON group (OnDayEditEnter) or the OFF group
    // (OffDayEditEnter) received the focus.
    void OnDayEditEnter() { NowFillsOn = true; }
    void OffDayEditEnter() { NowFillsOn = false; }

    // Key filters: true when the typed character is accepted. The frequency
    // filter judges the whole current text of the frequency field.
    [[nodiscard]] bool OnDayEditKeyPress(QChar key);
    [[nodiscard]] bool FrequencyEditKeyPress(QChar key);

    [[nodiscard]] static bool isTimeField(int field) { return field < Frequency; }
    // The regional formats the fields follow.
    [[nodiscard]] const Regional& regional() const { return m_regional; }

private:
    [[nodiscard]] QString checkGroup(int first, const QString& name, double& dateTime) const;

    const Regional& m_regional;
};

// The frequency shown in the window and in a log header: rounded to one
// decimal with at least one digit before the point (5 gives "5.0"), with
// decimalPoint as the separator.
[[nodiscard]] QString FrequencyText(double frequency, QChar decimalPoint);
