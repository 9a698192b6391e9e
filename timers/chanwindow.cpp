// SPDX-License-Identifier: GPL-3.0-or-later
#include "timers/chanwindow.h"

#include "common/view.h"
#include "timers/chanform.h"
#include "windowkit/filterededit.h"
#include "windowkit/pixelform.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

#include <algorithm>

namespace {

const char* const kTag = "Tag";

} // namespace

using pixelform::place;
using pixelform::placeLabel;

TChanFm::TChanFm(ChanForm& form, View& view, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_form(form), m_view(view)
{
    setObjectName(QStringLiteral("ChanFm"));
    setWindowTitle(QStringLiteral("V217 Relay Timer Details"));
    // The layout is in pixels, drawn for a small dialog font; a larger
    // desktop font would push captions over their neighbours.
    pixelform::setupFixedWindow(this,
                                QSize(kClientWidth, ChanForm::kBrowsingHeight - kFrameHeight));

    m_editsPanel =
        place<QFrame>(this, QStringLiteral("EditsPanel"), QRect(0, 0, kClientWidth, 173));
    m_editsPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    QWidget* panel = m_editsPanel;

    placeLabel(panel, QStringLiteral("RelayCaption"), {38, 7}, QStringLiteral("Relay"));
    m_channelEdit = addEdit(panel, QStringLiteral("ChannelEdit"), ChanForm::kChannelTag,
                            {77, 4, 25, 21}, 2, Filter::Channel);
    // The number keeps a space's width from its caption, however wide the
    // font on this machine draws the caption.
    const QLabel* recordCaption = placeLabel(panel, QStringLiteral("RecordNumberCaption"), {120, 7},
                                             QStringLiteral("Record Number"));
    const int numberLeft = std::max(204, recordCaption->geometry().right() + 1 +
                                             fontMetrics().horizontalAdvance(QLatin1Char(' ')));
    m_recNumLabel =
        placeLabel(panel, QStringLiteral("RecNumLabel"), {numberLeft, 7}, QStringLiteral("0"));
    m_recNumLabel->setMinimumWidth(60);
    m_timeLabel = placeLabel(panel, QStringLiteral("TimeLabel"), {277, 7}, QString());
    m_timeLabel->setMinimumWidth(100);
    placeLabel(panel, QStringLiteral("OnCaption"), {4, 48}, QStringLiteral("ON"));
    placeLabel(panel, QStringLiteral("OffCaption"), {4, 103}, QStringLiteral("OFF"));

    // The Clear button lies under the date panel: it shows only while the
    // date fields are out of sight (daily mode).
    m_editButtons[1] = addButton(panel, QStringLiteral("ClearButt"), QStringLiteral("Clear"),
                                 {42, 80, 75, 25}, &ChanForm::ClearButtClick);

    m_ymdPanel = place<QWidget>(panel, QStringLiteral("YMDpanel"),
                                QRect(ChanForm::kYMDpanelShown, 25, 129, 103));
    m_ymdPanel->setAutoFillBackground(true);
    for (const auto& [row, top] : {std::pair{"On", 3}, std::pair{"Off", 59}}) {
        const QString name = QString::fromLatin1(row) + QStringLiteral("%1Caption");
        placeLabel(m_ymdPanel, name.arg(QStringLiteral("Day")), {top == 3 ? 13 : 12, top},
                   QStringLiteral("Day"));
        placeLabel(m_ymdPanel, name.arg(QStringLiteral("Month")), {46, top},
                   QStringLiteral("Month"));
        placeLabel(m_ymdPanel, name.arg(QStringLiteral("Year")), {94, top}, QStringLiteral("Year"));
    }
    placeLabel(panel, QStringLiteral("OnHourCaption"), {160, 28}, QStringLiteral("Hour"));
    placeLabel(panel, QStringLiteral("OnMinuteCaption"), {203, 28}, QStringLiteral("Min"));
    placeLabel(panel, QStringLiteral("OnSecondCaption"), {241, 28}, QStringLiteral("Sec"));
    placeLabel(panel, QStringLiteral("OffHourCaption"), {160, 84}, QStringLiteral("Hour"));
    placeLabel(panel, QStringLiteral("OffMinuteCaption"), {203, 84}, QStringLiteral("Min"));
    placeLabel(panel, QStringLiteral("OffSecondCaption"), {242, 84}, QStringLiteral("Sec"));

    struct TimeField
    {
        const char* name;
        int tag;
        bool inYmd;
        QRect geometry;
        int maxLength;
    };
    const std::array<TimeField, 12> fields{{
        {"OnDayEdit", 0, true, {6, 19, 32, 21}, 2},
        {"OnMonthEdit", 1, true, {46, 19, 32, 21}, 2},
        {"OnYearEdit", 2, true, {85, 19, 40, 21}, 4},
        {"OnHourEdit", 3, false, {156, 44, 32, 21}, 2},
        {"OnMinuteEdit", 4, false, {196, 44, 32, 21}, 2},
        {"OnSecondEdit", 5, false, {236, 44, 32, 21}, 2},
        {"OffDayEdit", 7, true, {6, 75, 32, 21}, 2},
        {"OffMonthEdit", 8, true, {46, 75, 32, 21}, 2},
        {"OffYearEdit", 9, true, {85, 75, 40, 21}, 4},
        {"OffHourEdit", 10, false, {156, 100, 32, 21}, 2},
        {"OffMinuteEdit", 11, false, {196, 100, 32, 21}, 2},
        {"OffSecondedit", 12, false, {236, 100, 32, 21}, 2},
    }};
    for (const TimeField& field : fields) {
        m_timeEdits.at(static_cast<size_t>(field.tag)) =
            addEdit(field.inYmd ? m_ymdPanel : panel, QString::fromLatin1(field.name), field.tag,
                    field.geometry, field.maxLength, Filter::Digits);
    }

    placeLabel(panel, QStringLiteral("OnToggleCaption"), {299, 28}, QStringLiteral("Toggle"));
    placeLabel(panel, QStringLiteral("OffToggleCaption"), {299, 84}, QStringLiteral("Toggle"));
    m_togOnEdit = addEdit(panel, QStringLiteral("TogOnEdit"), ChanForm::kToggleTag,
                          {275, 44, 97, 21}, 0, Filter::Toggle);
    m_togOffEdit = addEdit(panel, QStringLiteral("TogOffEdit"), ChanForm::kToggleTag,
                           {275, 100, 97, 21}, 0, Filter::Toggle);

    const std::array<const char*, 7> dayNames{"SunCB", "MonCB", "TueCB", "WedCB",
                                              "ThuCB", "FriCB", "SatCB"};
    const std::array<const char*, 7> dayCaptions{"S", "M", "T", "W", "T", "F", "S"};
    const std::array<int, 7> dayTops{10, 27, 44, 61, 78, 95, 111};
    for (size_t d = 0; d < 7; ++d) {
        auto* box = place<QCheckBox>(panel, QString::fromLatin1(dayNames.at(d)),
                                     QRect(383, dayTops.at(d), 30, 17),
                                     QString::fromLatin1(dayCaptions.at(d)));
        box->setProperty(kTag, ChanForm::kDayBoxTag);
        connect(box, &QCheckBox::clicked, this, [this, d](bool checked) {
            call([this, d, checked] { m_form.SetDayBox(static_cast<int>(d), checked); });
        });
        m_dayBoxes.at(d) = box;
    }

    m_editButtons[0] = addButton(panel, QStringLiteral("NowButt"), QStringLiteral("Now"),
                                 {27, 136, 75, 25}, &ChanForm::NowButtClick);
    m_editButtons[2] = addButton(panel, QStringLiteral("EnterButt"), QStringLiteral("Enter"),
                                 {202, 136, 75, 25}, &ChanForm::EnterButtClick);
    m_editButtons[3] = addButton(panel, QStringLiteral("EditCancelButt"), QStringLiteral("Cancel"),
                                 {329, 136, 75, 25}, &ChanForm::EditCancelButtClick);

    addButton(this, QStringLiteral("NewButt"), QStringLiteral("New"), {28, 180, 75, 25},
              &ChanForm::NewButtClick);
    addButton(this, QStringLiteral("EditButt"), QStringLiteral("Edit"), {114, 180, 75, 25},
              &ChanForm::EditButtClick);
    addButton(this, QStringLiteral("DeleteButt"), QStringLiteral("Delete"), {201, 180, 75, 25},
              &ChanForm::DeleteButtClick);
    auto* okButt = place<QPushButton>(this, QStringLiteral("OKButt"), QRect(329, 180, 75, 25),
                                      QStringLiteral("OK"));
    okButt->setAutoDefault(false);
    connect(okButt, &QPushButton::clicked, this, &TChanFm::OKButtClick);

    m_duplicateCB = place<QCheckBox>(this, QStringLiteral("DuplicateCB"), QRect(53, 207, 155, 17),
                                     QStringLiteral("Duplicate data to new fields"));
    m_duplicateCB->setProperty(kTag, ChanForm::kToggleTag);
    // Wider fonts than the one the layout was drawn for would cut the caption.
    m_duplicateCB->resize(std::max(155, m_duplicateCB->sizeHint().width()), 17);
    connect(m_duplicateCB, &QCheckBox::toggled, this,
            [this](bool checked) { m_form.DuplicateCB = checked; });

    addButton(this, QStringLiteral("PrevButt"), QStringLiteral("Previous"), {28, 226, 75, 25},
              &ChanForm::PrevButtClick);
    addButton(this, QStringLiteral("NextButt"), QStringLiteral("Next"), {114, 226, 75, 25},
              &ChanForm::NextButtClick);
    addButton(this, QStringLiteral("ClearAllButt"), QStringLiteral("Delete All"),
              {200, 226, 75, 25}, &ChanForm::ClearAllButtClick);
    auto* cancelButt = place<QPushButton>(this, QStringLiteral("CancelButt"),
                                          QRect(328, 226, 75, 25), QStringLiteral("Cancel"));
    cancelButt->setAutoDefault(false);
    connect(cancelButt, &QPushButton::clicked, this, [this] {
        call([this] { m_form.CancelButtClick(); });
        reject();
    });

    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer1.setInterval(ChanForm::kClockPeriod);
    connect(&m_timer1, &QTimer::timeout, this, [this] { call([this] { m_form.Timer1Timer(); }); });

    showState();
}

FilteredEdit* TChanFm::addEdit(QWidget* parent, const QString& name, int tag, QRect geometry,
                               int maxLength, Filter filter)
{
    auto* edit = place<FilteredEdit>(
        parent, name, geometry,
        [this, filter](const QString& text, QChar key) { return keyAccepted(filter, text, key); },
        [this, filter](const QString& text, QStringView typed, qsizetype room) {
            return textAccepted(filter, text, typed, room);
        });
    edit->setProperty(kTag, tag);
    if (maxLength > 0)
        edit->setMaxLength(maxLength);
    edit->installEventFilter(this);
    connect(edit, &FilteredEdit::changed, this, [this, edit, tag](const QString& text) {
        if (edit == m_channelEdit)
            m_form.ChannelEdit = text;
        else if (edit == m_togOnEdit)
            m_form.TogOnEdit = text;
        else if (edit == m_togOffEdit)
            m_form.TogOffEdit = text;
        else
            m_form.TimeEdits.at(static_cast<size_t>(tag)) = text;
    });
    return edit;
}

QPushButton* TChanFm::addButton(QWidget* parent, const QString& name, const QString& caption,
                                QRect geometry, void (ChanForm::*handler)())
{
    auto* button = place<QPushButton>(parent, name, geometry, caption);
    // Enter in a field must not press a button: it would close the window.
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this,
            [this, handler] { call([this, handler] { (m_form.*handler)(); }); });
    return button;
}

template <typename Handler> void TChanFm::call(Handler&& handler)
{
    runHandler(m_view, std::forward<Handler>(handler));
    showState();
}

void TChanFm::showState()
{
    setFixedSize(kClientWidth, m_form.OuterHeight - kFrameHeight);
    m_editsPanel->setEnabled(m_form.EditsPanelEnabled);
    for (QPushButton* button : m_editButtons)
        button->setEnabled(m_form.EditButtonsEnabled);
    m_ymdPanel->move(m_form.YMDpanelLeft, m_ymdPanel->y());
    for (int tag = 0; tag <= ChanForm::kLastTimeTag; ++tag) {
        FilteredEdit* edit = m_timeEdits.at(static_cast<size_t>(tag));
        if (!edit)
            continue;
        edit->showText(m_form.TimeEdits.at(static_cast<size_t>(tag)));
        if (ChanForm::isDateTag(tag))
            edit->setEnabled(m_form.DateEditsEnabled);
    }
    m_channelEdit->showText(m_form.ChannelEdit);
    m_togOnEdit->showText(m_form.TogOnEdit);
    m_togOffEdit->showText(m_form.TogOffEdit);
    for (size_t d = 0; d < m_dayBoxes.size(); ++d)
        m_dayBoxes.at(d)->setChecked(m_form.DayBoxes.at(d));
    {
        const QSignalBlocker blocker(m_duplicateCB);
        m_duplicateCB->setChecked(m_form.DuplicateCB);
    }
    m_recNumLabel->setText(m_form.RecNumLabel);
    m_timeLabel->setText(m_form.TimeLabel);
    if (m_form.Timer1Enabled && !m_timer1.isActive())
        m_timer1.start();
    else if (!m_form.Timer1Enabled)
        m_timer1.stop();
    if (m_form.takeChannelFocusRequest())
        m_channelEdit->setFocus();
}

void TChanFm::OKButtClick()
{
    if (m_form.OKButtClick())
        accept();
}

void TChanFm::setBoardSettings(const safety::BoardSettings& settings)
{
    m_form.setBoardSettings(settings);
}

void TChanFm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    call([this] { m_form.FormActivate(); });
    if (!m_placed) {
        m_placed = true;
        pixelform::centreOnScreen(this);
    }
}

void TChanFm::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        call([this] { m_form.FormClose(); });
}

bool TChanFm::keyAccepted(Filter filter, const QString& text, QChar key)
{
    bool accepted = false;
    runHandler(m_view, [&] {
        if (filter == Filter::Toggle)
            accepted = m_form.TogOffEditKeyPress(text, key);
        else if (filter == Filter::Channel)
            accepted = m_form.ChannelEditKeyPress(key);
        else
            accepted = m_form.OnDayEditKeyPress(key);
    });
    return accepted;
}

QString TChanFm::textAccepted(Filter filter, const QString& text, QStringView typed, qsizetype room)
{
    QString accepted;
    runHandler(m_view, [&] {
        accepted = filter == Filter::Toggle ? m_form.TogOffEditText(text, typed, room)
                                            : m_form.OnDayEditText(typed, room);
    });
    return accepted;
}

bool TChanFm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        const int tag = watched->property(kTag).toInt();
        if (qobject_cast<FilteredEdit*>(watched) && ChanForm::isTimeTag(tag))
            call([this, tag] { m_form.OnDayEditEnter(tag); });
    }
    return QDialog::eventFilter(watched, event);
}
