// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/boardwindow.h"

#include "common/view.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QString twoDigits(int relay)
{
    return QStringLiteral("%1").arg(relay + 1, 2, 10, QLatin1Char('0'));
}

QString relayKey(int relay, const char* what)
{
    return QStringLiteral("relay-%1-%2").arg(twoDigits(relay), QLatin1String(what));
}

QString inputKey(int input, const char* what)
{
    return QStringLiteral("input-%1-%2").arg(input + 1).arg(QLatin1String(what));
}

QLabel* header(const QString& name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

// A field wide enough for about chars characters.
QLineEdit* edit(const QString& name, const QString& accessible, int chars, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setAccessibleName(accessible);
    field->setMinimumWidth(field->fontMetrics().averageCharWidth() * chars);
    return field;
}

// Names fit as a rule; the longest allowed scrolls.
constexpr int kNameChars = 24;
constexpr int kDurationChars = 10;

QString problemOf(const QList<BoardWindow::Problem>& problems, const QWidget* field)
{
    for (const BoardWindow::Problem& p : problems)
        if (p.first == field)
            return p.second;
    return {};
}

} // namespace

BoardWindow::BoardWindow(DesktopBoard& board, View& view, QWidget* parent)
    : QDialog(parent), m_board(board), m_view(view)
{
    setObjectName(QStringLiteral("BoardFm"));
    setWindowTitle(tr("Board"));
    auto* layout = new QVBoxLayout(this);
    m_fileState = new QLabel(this);
    m_fileState->setObjectName(QStringLiteral("FileState"));
    m_fileState->setWordWrap(true);
    m_fileState->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_fileState);

    // Made in tab order: the relays row by row, then the inputs, the dead
    // time and the buttons.
    auto* lists = new QHBoxLayout;
    layout->addLayout(lists, 1);
    lists->addWidget(relaysBox(), 3);
    auto* right = new QVBoxLayout;
    lists->addLayout(right, 2);
    right->addWidget(inputsBox());
    right->addWidget(interlockBox());
    right->addStretch(1);

    m_problems = new QLabel(this);
    m_problems->setObjectName(QStringLiteral("ProblemLabel"));
    m_problems->setWordWrap(true);
    m_problems->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette red = m_problems->palette();
    red.setColor(QPalette::WindowText, QColor(180, 0, 0));
    m_problems->setPalette(red);
    layout->addWidget(m_problems);

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole);
    m_ok->setObjectName(QStringLiteral("OKButt"));
    m_ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("CancelButt"));
    layout->addWidget(buttons);

    connect(m_ok, &QPushButton::clicked, this, &BoardWindow::okClick);
    connect(cancel, &QPushButton::clicked, this, &BoardWindow::reject);
    for (const RelayRow& row : m_relays) {
        connect(row.name, &QLineEdit::textChanged, this, &BoardWindow::check);
        connect(row.group, &QComboBox::currentIndexChanged, this, &BoardWindow::check);
        connect(row.maxOn, &QLineEdit::textChanged, this, &BoardWindow::check);
    }
    for (const InputRow& row : m_inputs)
        connect(row.name, &QLineEdit::textChanged, this, &BoardWindow::check);
    connect(m_deadTime, &QLineEdit::textChanged, this, &BoardWindow::check);
    loadFields();
}

QWidget* BoardWindow::relaysBox()
{
    auto* box = new QGroupBox(tr("Relays"), this);
    box->setObjectName(QStringLiteral("RelaysBox"));
    auto* grid = new QGridLayout(box);
    // The column's mnemonic takes the focus to the first relay's name,
    // wherever the focus was in the box before.
    QLabel* first = header(QStringLiteral("RelayHeader"), tr("&Relay"), box);
    grid->addWidget(first, 0, 0);
    grid->addWidget(header(QStringLiteral("RelayNameHeader"), tr("Name"), box), 0, 1);
    grid->addWidget(header(QStringLiteral("RelayGroupHeader"), tr("Interlock group"), box), 0, 2);
    grid->addWidget(header(QStringLiteral("RelayMaxOnHeader"), tr("Maximum on-time"), box), 0, 3);
    for (int relay = 0; relay < safety::kRelays; ++relay) {
        RelayRow& row = m_relays.at(static_cast<std::size_t>(relay));
        const QString number = twoDigits(relay);
        auto* label = new QLabel(number, box);
        label->setObjectName(QStringLiteral("RelayLabel%1").arg(number));
        row.name = edit(QStringLiteral("RelayName%1").arg(number), tr("Relay %1 name").arg(number),
                        kNameChars, box);
        row.group = new QComboBox(box);
        row.group->setObjectName(QStringLiteral("RelayGroup%1").arg(number));
        row.group->setAccessibleName(tr("Relay %1 interlock group").arg(number));
        row.group->addItem(tr("none"));
        for (int group = 1; group <= kGroups; ++group)
            row.group->addItem(QString::number(group));
        row.maxOn = edit(QStringLiteral("RelayMaxOn%1").arg(number),
                         tr("Relay %1 maximum on-time").arg(number), kDurationChars, box);
        row.maxOn->setPlaceholderText(tr("no limit"));
        if (relay == 0)
            first->setBuddy(row.name);
        grid->addWidget(label, relay + 1, 0);
        grid->addWidget(row.name, relay + 1, 1);
        grid->addWidget(row.group, relay + 1, 2);
        grid->addWidget(row.maxOn, relay + 1, 3);
    }
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(3, 1);
    return box;
}

QWidget* BoardWindow::inputsBox()
{
    auto* box = new QGroupBox(tr("Inputs"), this);
    box->setObjectName(QStringLiteral("InputsBox"));
    auto* grid = new QGridLayout(box);
    QLabel* first = header(QStringLiteral("InputHeader"), tr("&Input"), box);
    grid->addWidget(first, 0, 0);
    grid->addWidget(header(QStringLiteral("InputNameHeader"), tr("Name"), box), 0, 1);
    grid->addWidget(header(QStringLiteral("InputDebounceHeader"), tr("Debounce"), box), 0, 2);
    for (int input = 0; input < safety::kInputs; ++input) {
        InputRow& row = m_inputs.at(static_cast<std::size_t>(input));
        const QString number = QString::number(input + 1);
        auto* label = new QLabel(number, box);
        label->setObjectName(QStringLiteral("InputLabel%1").arg(number));
        row.name = edit(QStringLiteral("InputName%1").arg(number), tr("Input %1 name").arg(number),
                        kNameChars, box);
        row.debounce = new QSpinBox(box);
        row.debounce->setObjectName(QStringLiteral("InputDebounce%1").arg(number));
        row.debounce->setAccessibleName(tr("Input %1 debounce, equal reads").arg(number));
        row.debounce->setRange(1, safety::kLongestDebounce);
        // One read takes every change at once.
        row.debounce->setSpecialValueText(tr("none"));
        row.debounce->setSuffix(tr(" reads"));
        if (input == 0)
            first->setBuddy(row.name);
        grid->addWidget(label, input + 1, 0);
        grid->addWidget(row.name, input + 1, 1);
        grid->addWidget(row.debounce, input + 1, 2);
    }
    grid->setColumnStretch(1, 1);
    return box;
}

QWidget* BoardWindow::interlockBox()
{
    auto* box = new QGroupBox(tr("Interlock groups"), this);
    box->setObjectName(QStringLiteral("InterlockBox"));
    auto* column = new QVBoxLayout(box);
    auto* hint = new QLabel(tr("Relays of one group number are never on together. After one "
                               "goes off, another of its group waits the dead time."),
                            box);
    hint->setObjectName(QStringLiteral("InterlockHint"));
    hint->setWordWrap(true);
    column->addWidget(hint);
    auto* row = new QHBoxLayout;
    column->addLayout(row);
    m_deadTime = edit(QStringLiteral("DeadTimeEdit"), tr("Dead time"), kDurationChars, box);
    m_deadTime->setPlaceholderText(safety::DurationText(safety::kDefaultDeadTime));
    auto* label = new QLabel(tr("Dead &time:"), box);
    label->setObjectName(QStringLiteral("DeadTimeLabel"));
    label->setBuddy(m_deadTime);
    row->addWidget(label);
    row->addWidget(m_deadTime, 1);
    m_interlockLine = new QLabel(box);
    m_interlockLine->setObjectName(QStringLiteral("InterlockLine"));
    m_interlockLine->setWordWrap(true);
    m_interlockLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(m_interlockLine);
    return box;
}

void BoardWindow::showEvent(QShowEvent* event)
{
    // What the window shows is what runs, not what an earlier Cancel left.
    if (!event->spontaneous())
        loadFields();
    QDialog::showEvent(event);
}

void BoardWindow::loadFields()
{
    // Half-loaded fields are no groups to judge: one relay of a group in,
    // the other not yet.
    m_loading = true;
    const safety::BoardSettings& s = m_board.settings();
    for (int relay = 0; relay < safety::kRelays; ++relay) {
        const auto r = static_cast<std::size_t>(relay);
        RelayRow& row = m_relays.at(r);
        row.name->setText(s.relayNames.at(r));
        const safety::Duration limit = s.maxOn.at(r);
        row.maxOn->setText(limit == safety::Duration::zero() ? QString()
                                                             : safety::DurationText(limit));
        const quint16 group = s.groupOf(relay);
        row.group->setCurrentIndex(group == 0 ? 0
                                              : static_cast<int>(s.interlocks.indexOf(group)) + 1);
    }
    for (int input = 0; input < safety::kInputs; ++input) {
        const auto i = static_cast<std::size_t>(input);
        m_inputs.at(i).name->setText(s.inputNames.at(i));
        m_inputs.at(i).debounce->setValue(s.debounce.at(i));
    }
    m_deadTime->setText(safety::DurationText(s.deadTime));
    m_fileState->setText(
        m_board.fileProblem().isEmpty()
            ? tr("Saved in %1.").arg(m_board.file())
            : tr("The file cannot be used, so none of it is applied:\n%1\nOK replaces it with "
                 "the settings below.")
                  .arg(m_board.fileProblem()));
    m_loading = false;
    check();
}

safety::BoardSettings BoardWindow::fields(QList<Problem>& problems) const
{
    problems.clear();
    safety::BoardSettings s = m_board.settings();
    const auto set = [&](QWidget* field, const QString& key, const QString& value) {
        if (QString problem = safety::SetBoardSetting(s, key, value); !problem.isEmpty())
            problems.append({field, problem});
    };
    // Relays of each group number, and the fields that chose them.
    std::array<quint16, kGroups + 1> groups{};
    for (int relay = 0; relay < safety::kRelays; ++relay) {
        const RelayRow& row = m_relays.at(static_cast<std::size_t>(relay));
        // The file trims its values: outer spaces would not come back.
        set(row.name, relayKey(relay, "name"), row.name->text().trimmed());
        const QString limit = row.maxOn->text().trimmed();
        if (limit.isEmpty())
            s.maxOn.at(static_cast<std::size_t>(relay)) = safety::Duration::zero();
        else
            set(row.maxOn, relayKey(relay, "max-on"), limit);
        groups.at(static_cast<std::size_t>(row.group->currentIndex())) |=
            static_cast<quint16>(1u << relay);
    }
    for (int input = 0; input < safety::kInputs; ++input) {
        const InputRow& row = m_inputs.at(static_cast<std::size_t>(input));
        set(row.name, inputKey(input, "name"), row.name->text().trimmed());
        s.debounce.at(static_cast<std::size_t>(input)) = row.debounce->value();
    }
    // Each group is checked on its own, so that the problem points at the
    // fields of that group.
    s.interlocks.clear();
    for (int group = 1; group <= kGroups; ++group) {
        const quint16 relays = groups.at(static_cast<std::size_t>(group));
        if (relays == 0)
            continue;
        safety::BoardSettings one;
        if (QString problem = safety::SetBoardSetting(one, QStringLiteral("interlock"),
                                                      safety::GroupText(relays));
            !problem.isEmpty()) {
            for (int relay = 0; relay < safety::kRelays; ++relay)
                if (relays & (1u << relay))
                    problems.append({m_relays.at(static_cast<std::size_t>(relay)).group,
                                     tr("Interlock group %1: %2").arg(group).arg(problem)});
            continue;
        }
        s.interlocks.append(relays);
    }
    const QString pause = m_deadTime->text().trimmed();
    if (pause.isEmpty())
        s.deadTime = safety::kDefaultDeadTime;
    else
        set(m_deadTime, QStringLiteral("interlock-dead-time"), pause);
    return s;
}

QList<QWidget*> BoardWindow::checkedFields() const
{
    QList<QWidget*> all;
    for (const RelayRow& row : m_relays)
        all << row.name << row.group << row.maxOn;
    for (const InputRow& row : m_inputs)
        all << row.name;
    all << m_deadTime;
    return all;
}

void BoardWindow::check()
{
    if (m_loading)
        return;
    QList<Problem> problems;
    const safety::BoardSettings s = fields(problems);
    for (QWidget* field : checkedFields()) {
        const QString problem = problemOf(problems, field);
        // The field itself says what is wrong with it.
        field->setProperty("problem", problem);
        field->setToolTip(problem);
        field->setStyleSheet(problem.isEmpty() ? QString()
                                               : QStringLiteral("background-color: #ffd0d0;"));
    }
    QStringList texts;
    for (const Problem& p : problems)
        if (!texts.contains(p.second))
            texts.append(p.second);
    m_problems->setText(texts.join(QLatin1Char('\n')));
    m_problems->setVisible(!texts.isEmpty());

    QStringList groups;
    for (const quint16 group : s.interlocks)
        groups.append(safety::GroupText(group));
    m_interlockLine->setText(groups.isEmpty()
                                 ? tr("No relays are interlocked.")
                                 : tr("Interlocked: %1").arg(groups.join(QStringLiteral("  "))));
}

void BoardWindow::okClick()
{
    QList<Problem> problems;
    const safety::BoardSettings settings = fields(problems);
    if (!problems.isEmpty()) {
        // Refused: the first wrong field takes the focus, its problem shown.
        m_view.beep();
        for (QWidget* field : checkedFields())
            if (!problemOf(problems, field).isEmpty()) {
                field->setFocus(Qt::OtherFocusReason);
                break;
            }
        return;
    }
    QString problem;
    if (!m_board.save(settings, problem)) {
        m_view.showError(problem);
        return;
    }
    accept();
}
