#include "logger/loggerwindow.h"

#include "common/clock.h"
#include "common/keyfilter.h"
#include "common/regional.h"
#include "common/view.h"
#include "logger/loggerform.h"
#include "windowkit/filterededit.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
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

QLabel* addLabel(QWidget* parent, const QString& name, const QString& text, int left, int top)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QPushButton* addButton(QWidget* parent, const QString& name, const QString& text,
                       QStyle::StandardPixmap picture, int left, int top)
{
    auto* button = new QPushButton(parent->style()->standardIcon(picture), text, parent);
    button->setObjectName(name);
    button->setGeometry(left, top, 75, 25);
    button->setAutoDefault(false);
    return button;
}

} // namespace

TLoggerFm::TLoggerFm(LoggerForm& form, View& view, const Clock& clock, QWidget* parent)
    : QDialog(parent), m_form(form), m_view(view), m_clock(clock)
{
    setObjectName(QStringLiteral("LoggerFm"));
    setWindowTitle(QStringLiteral("V217 Logger Time Details"));
    setFixedSize(382, 217);
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    for (size_t column = 0; column < kColumnTitles.size(); ++column) {
        addLabel(this, QStringLiteral("Label%1").arg(column + 1), kColumnTitles.at(column),
                 kLabelLefts.at(column), kLabelTop);
        addLabel(this, QStringLiteral("Label%1").arg(column + 8), kColumnTitles.at(column),
                 kLabelLefts.at(column), kOffLabelTop);
    }
    addLabel(this, QStringLiteral("Label15"), QStringLiteral("ON"), 16, 27);
    addLabel(this, QStringLiteral("Label16"), QStringLiteral("OFF"), 16, 83);
    addLabel(this, QStringLiteral("Label17"), QStringLiteral("Frequency"), 16, 131);

    for (size_t i = 0; i < kFields.size(); ++i) {
        auto* edit =
            new FilteredEdit([this, i](const QString&, QChar key) { return keyAccepted(i, key); },
                             [this, i](const QString& text, QStringView typed, qsizetype room) {
                                 return textAccepted(i, text, typed, room);
                             },
                             this);
        edit->setObjectName(QString::fromLatin1(kFields.at(i).name));
        edit->setProperty("tag", kFields.at(i).tag);
        if (LoggerForm::isTimeField(static_cast<int>(i))) {
            const size_t column = i % kColumnTitles.size();
            edit->setGeometry(kFieldLefts.at(column), i < 6 ? kOnTop : kOffTop, kFieldWidth,
                              kFieldHeight);
            edit->setMaxLength(kMaxLengths.at(column));
        } else {
            edit->setGeometry(72, 128, 89, kFieldHeight);
        }
        edit->installEventFilter(this);
        connect(edit, &FilteredEdit::changed, this, [this, i](const QString& text) {
            m_form.fields.at(i) = text;
            m_form.LogDataChanged = true;
        });
        m_edits.at(i) = edit;
    }

    m_nowButt = addButton(this, QStringLiteral("NowButt"), QStringLiteral("Now"),
                          QStyle::SP_BrowserReload, 196, 124);
    m_clearButt = addButton(this, QStringLiteral("ClearButt"), QStringLiteral("Clear"),
                            QStyle::SP_LineEditClearButton, 288, 124);

    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameShape(QFrame::Box);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(16, 168, 353, 41);
    bevel->lower();

    m_okButt = addButton(this, QStringLiteral("OKButt"), QStringLiteral("OK"),
                         QStyle::SP_DialogOkButton, 60, 176);
    m_okButt->setDefault(true);
    m_cancelButt = addButton(this, QStringLiteral("CancelButt"), QStringLiteral("Cancel"),
                             QStyle::SP_DialogCancelButton, 235, 176);

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
    if (const QScreen* shown = screen())
        move(shown->availableGeometry().center() - rect().center());
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
    keyfilter::DecimalText frequency(text, regional().decimalPoint, false);
    const bool timeField = LoggerForm::isTimeField(static_cast<int>(field));
    const keyfilter::Accepted accepted = keyfilter::accept(typed, room, [&](QChar c) {
        return timeField ? c >= QLatin1Char('0') && c <= QLatin1Char('9') : frequency.take(c);
    });
    if (accepted.refused)
        m_view.beep();
    return accepted.text;
}
