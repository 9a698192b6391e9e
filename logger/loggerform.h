#pragma once

#include <QString>

#include <array>

// The logger window's own state: its thirteen field texts, the stored values
// found by the last check and the flags the main window reads.
class LoggerForm
{
public:
    // Field indexes: the ON group, the OFF group, then the frequency.
    enum Field {
        OnDay, OnMonth, OnYear, OnHour, OnMinute, OnSecond,
        OffDay, OffMonth, OffYear, OffHour, OffMinute, OffSecond,
        Frequency,
        FieldCount
    };

    std::array<QString, FieldCount> fields;
    double LoggerOnTime = 0;
    double LoggerOffTime = 0;
    double LoggerFrequency = 0;
    bool LogDataValid = false;
    bool LogDataChanged = false;
    bool NowFillsOn = false;

    // Fills every field from the stored values.
    void SetLoggerEdits();
    // Checks the fields, rewrites the stored values and returns the error
    // text, empty when there is nothing to report.
    [[nodiscard]] QString CheckTheLogData();
    // Empties every field; the stored values stay.
    void ClearButtClick();
};
