// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/loggerwindow.h"

#include "common/clock.h"
#include "common/keyfilter.h"
#include "common/regional.h"
#include "common/view.h"
#include "logger/loggerform.h"
#include "windowkit/filterededit.h"
#include "windowkit/pixelform.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include <vector>

namespace {

constexpr int kLabelTop = 8;
constexpr int kOffLabelTop = 64;
constexpr int kOnTop = 24;
constexpr int kOffTop = 80;
constexpr int kFieldWidth = 40;
constexpr int kFieldHeight = 21;
constexpr std::array<int, 6> kLabelLefts{48, 96, 160, 216, 268, 322};
constexpr std::array<int, 6> kFieldLefts{40, 96, 152, 208, 264, 320};
constexpr std::array<int, 6> kMaxLengths{2, 2, 4, 2, 2, 2};
// The frequency field's tag; the time fields are the tags below it.
constexpr int kFrequencyTag = 100;

struct FieldSpec
{
    const char* name;
    int tag;
};

// In tab order: the ON group, the OFF group, the frequency.
constexpr std::array<FieldSpec, 13> kFields{{
    {"OnDayEdit", 0},
    {"OnMonthEdit", 1},
    {"OnYearEdit", 2},
    {"OnHourEdit", 3},
    {"OnMinuteEdit", 4},
    {"OnSecondEdit", 5},
    {"OffDayEdit", 7},
    {"OffMonthEdit", 8},
    {"OffYearEdit", 9},
    {"OffHourEdit", 10},
    {"OffMinuteEdit", 11},
    {"OffSecondedit", 12},
    {"FrequencyEdit", kFrequencyTag},
}};

const std::array<QString, 6> kColumnTitles{QStringLiteral("Day"),    QStringLiteral("Month"),
                                           QStringLiteral("Year"),   QStringLiteral("Hour"),
                                           QStringLiteral("Minute"), QStringLiteral("Second")};

} // namespace

using pixelform::place;
using pixelform::placeLabel;

TLoggerFm::TLoggerFm(LoggerForm& form, View& view, const Clock& clock, QWidget* parent)
    : QDialog(parent), m_form(form), m_view(view), m_clock(clock)
{
    setObjectName(QStringLiteral("LoggerFm"));
    setWindowTitle(QStringLiteral("V217 Logger Time Details"));
    pixelform::setupFixedWindow(this, QSize(382, 217));

    for (size_t column = 0; column < kColumnTitles.size(); ++column) {
        const int left = kLabelLefts.at(column);
        placeLabel(this, QStringLiteral("Label%1").arg(column + 1), {left, kLabelTop},
                   kColumnTitles.at(column));
        placeLabel(this, QStringLiteral("Label%1").arg(column + 8), {left, kOffLabelTop},
                   kColumnTitles.at(column));
    }
    placeLabel(this, QStringLiteral("Label15"), {16, 27}, QStringLiteral("ON"));
    placeLabel(this, QStringLiteral("Label16"), {16, 83}, QStringLiteral("OFF"));
    placeLabel(this, QStringLiteral("Label17"), {16, 131}, QStringLiteral("Frequency"));

    for (size_t i = 0; i < kFields.size(); ++i) {
        const bool timeField = LoggerForm::isTimeField(static_cast<int>(i));
        const size_t column = i % kColumnTitles.size();
        const QRect geometry = timeField ? QRect(kFieldLefts.at(column), i < 6 ? kOnTop : kOffTop,
                                                 kFieldWidth, kFieldHeight)
                                         : QRect(72, 128, 89, kFieldHeight);
        auto* edit = place<FilteredEdit>(
            this, QString::fromLatin1(kFields.at(i).name), geometry,
            [this, i](const QString&, QChar key) { return keyAccepted(i, key); },
            [this, i](const QString& text, QStringView typed, qsizetype room) {
                return textAccepted(i, text, typed, room);
            });
        edit->setProperty("tag", kFields.at(i).tag);
        if (timeField)
            edit->setMaxLength(kMaxLengths.at(column));
        edit->installEventFilter(this);
        connect(edit, &FilteredEdit::changed, this, [this, i](const QString& text) {
            m_form.fields.at(i) = text;
            m_form.LogDataChanged = true;
        });
        m_edits.at(i) = edit;
    }

    const QStyle* look = style();
    m_nowButt =
        place<QPushButton>(this, QStringLiteral("NowButt"), QRect(196, 124, 75, 25),
                           look->standardIcon(QStyle::SP_BrowserReload), QStringLiteral("Now"));
    m_clearButt = place<QPushButton>(this, QStringLiteral("ClearButt"), QRect(288, 124, 75, 25),
                                     look->standardIcon(QStyle::SP_LineEditClearButton),
                                     QStringLiteral("Clear"));

    pixelform::placeBevel(this, QStringLiteral("Bevel1"), QRect(16, 168, 353, 41))->lower();

    m_okButt =
        place<QPushButton>(this, QStringLiteral("OKButt"), QRect(60, 176, 75, 25),
                           look->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"));
    m_cancelButt = place<QPushButton>(this, QStringLiteral("CancelButt"), QRect(235, 176, 75, 25),
                                      look->standardIcon(QStyle::SP_DialogCancelButton),
                                      QStringLiteral("Cancel"));
    for (QPushButton* button : {m_nowButt, m_clearButt, m_okButt, m_cancelButt})
        button->setAutoDefault(false);
    m_okButt->setDefault(true);

    std::vector<QWidget*> tabOrder(m_edits.begin(), m_edits.end());
    tabOrder.insert(tabOrder.end(), {m_nowButt, m_clearButt, m_okButt, m_cancelButt});
    for (size_t i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder.at(i - 1), tabOrder.at(i));

    connect(m_nowButt, &QPushButton::clicked, this, &TLoggerFm::NowButtClick);
    connect(m_clearButt, &QPushButton::clicked, this, &TLoggerFm::ClearButtClick);
    connect(m_okButt, &QPushButton::clicked, this, &TLoggerFm::OKButtClick);
    connect(m_cancelButt, &QPushButton::clicked, this, &TLoggerFm::CancelButtClick);
}

void TLoggerFm::NowButtClick()
{
    m_form.NowButtClick(m_clock.now());
    showFields();
}

void TLoggerFm::ClearButtClick()
{
    m_form.ClearButtClick();
    showFields();
}

void TLoggerFm::OKButtClick()
{
    const QString error = m_form.CheckTheLogData();
    if (error.isEmpty()) {
        accept();
        return;
    }
    m_view.showError(error);
    // Closing the box makes this window active again, which shows what the
    // failed check left in the stored values.
    FormActivate();
}

void TLoggerFm::CancelButtClick()
{
    m_form.CancelButtClick();
    QDialog::reject();
}

void TLoggerFm::reject()
{
    CancelButtClick();
}

void TLoggerFm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    pixelform::centreOnScreen(this);
    FormActivate();
    m_edits.front()->setFocus();
}

void TLoggerFm::FormActivate()
{
    m_form.SetLoggerEdits();
    showFields();
}

void TLoggerFm::showFields()
{
    for (size_t i = 0; i < m_edits.size(); ++i) {
        m_edits.at(i)->showText(m_form.fields.at(i));
    }
}

int TLoggerFm::fieldOf(const QObject* object) const
{
    for (size_t i = 0; i < m_edits.size(); ++i) {
        if (m_edits.at(i) == object)
            return static_cast<int>(i);
    }
    return -1;
}

bool TLoggerFm::eventFilter(QObject* watched, QEvent* event)
{
    const int field = fieldOf(watched);
    if (field >= 0 && event->type() == QEvent::FocusIn && LoggerForm::isTimeField(field)) {
        if (field < LoggerForm::OffDay)
            m_form.OnDayEditEnter();
        else
            m_form.OffDayEditEnter();
    }
    return QDialog::eventFilter(watched, event);
}

bool TLoggerFm::keyAccepted(size_t field, QChar key)
{
    const bool accepted = LoggerForm::isTimeField(static_cast<int>(field))
                              ? m_form.OnDayEditKeyPress(key)
                              : m_form.FrequencyEditKeyPress(key);
    if (!accepted)
        m_view.beep();
    return accepted;
}

// The filters of OnDayEditKeyPress and FrequencyEditKeyPress over a whole text.
QString TLoggerFm::textAccepted(size_t field, const QString& text, QStringView typed,
                                qsizetype room)
{
    keyfilter::DecimalText frequency(text, m_form.regional().decimalPoint, false);
    const bool timeField = LoggerForm::isTimeField(static_cast<int>(field));
    const keyfilter::Accepted accepted = keyfilter::accept(typed, room, [&](QChar c) {
        return timeField ? c >= QLatin1Char('0') && c <= QLatin1Char('9') : frequency.take(c);
    });
    if (accepted.refused)
        m_view.beep();
    return accepted.text;
}
