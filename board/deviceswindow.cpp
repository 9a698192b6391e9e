// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/deviceswindow.h"

#include "board/devicelist.h"
#include "board/pollcycle.h"
#include "board/portselection.h"
#include "common/seriallink.h"
#include "common/view.h"
#include "serial/portpath.h"
#include "windowkit/placememory.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace {

// The window's questions and boxes belong to the main window, which comes to
// the front when they close: the window goes back on top afterwards.
[[nodiscard]] auto backOnTop(QWidget& window)
{
    return qScopeGuard([&window] {
        window.raise();
        window.activateWindow();
    });
}

enum Column
{
    DeviceColumn,
    StableNameColumn,
    UsbIdColumn,
    MakerColumn,
    SerialNumberColumn,
    DriverColumn,
    ComColumn,
    StateColumn,
    ColumnCount
};

QTableWidget* makeTable(QWidget* parent, const QString& name, const QStringList& headers)
{
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    table->setObjectName(name);
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

// The widest every column but State may be for all of them to fit in room:
// the narrow ones keep their width and the wide ones share what is left.
[[nodiscard]] int widthCap(std::vector<int> widths, int room)
{
    std::ranges::sort(widths);
    for (size_t i = 0; i < widths.size(); ++i) {
        const int share = room / static_cast<int>(widths.size() - i);
        if (widths[i] > share)
            return share;
        room -= widths[i];
    }
    return widths.empty() ? room : widths.back();
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    return button;
}

} // namespace

DevicesWindow::DevicesWindow(SerialDevices& devices, const QString& root,
                             board::PortSelection& port, const board::PollCycle& poll,
                             const SerialLink& serial, View& view, QWidget* parent)
    : QWidget(parent, Qt::Window), m_devices(devices), m_root(QDir::cleanPath(root)), m_port(port),
      m_poll(poll), m_serial(serial), m_view(view)
{
    setObjectName(QStringLiteral("DevicesFm"));
    setWindowTitle(tr("Serial devices"));
    auto* layout = new QVBoxLayout(this);

    m_source = new QLabel(this);
    m_source->setObjectName(QStringLiteral("SourceLabel"));
    layout->addWidget(m_source);

    m_deviceTable =
        makeTable(this, QStringLiteral("DeviceTable"),
                  {tr("Device"), tr("Stable name"), tr("USB id"), tr("Manufacturer / Product"),
                   tr("Serial number"), tr("Driver"), tr("COM"), tr("State")});
    layout->addWidget(m_deviceTable, 3);
    // Paths differ at their ends: a cut one keeps both.
    m_deviceTable->setTextElideMode(Qt::ElideMiddle);
    // State takes the room the others leave (fitColumns), which the
    // header's own stretching of the last column does not give exactly.
    m_deviceTable->horizontalHeader()->setStretchLastSection(false);
    // A few letters and the ellipsis; the style's default is wider.
    m_deviceTable->horizontalHeader()->setMinimumSectionSize(
        m_deviceTable->fontMetrics().averageCharWidth() * 4);
    m_deviceTable->viewport()->installEventFilter(this);

    auto* actions = new QHBoxLayout;
    layout->addLayout(actions);
    m_comNumber = new QSpinBox(this);
    m_comNumber->setObjectName(QStringLiteral("ComNumber"));
    m_comNumber->setRange(1, 9);
    m_comNumber->setPrefix(QStringLiteral("COM "));
    m_comNumber->setAccessibleName(tr("COM number to link"));
    m_link = makeButton(this, QStringLiteral("LinkButton"), QString());
    m_addPath = makeButton(this, QStringLiteral("AddPathButton"), tr("Add by path..."));
    m_identify = makeButton(this, QStringLiteral("IdentifyButton"), tr("Identify"));
    actions->addWidget(m_comNumber);
    actions->addWidget(m_link);
    actions->addStretch(1);
    actions->addWidget(m_addPath);
    actions->addWidget(m_identify);

    m_identifyResult = new QLabel(this);
    m_identifyResult->setObjectName(QStringLiteral("IdentifyResult"));
    m_identifyResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_identifyResult);

    auto* linksLabel = new QLabel(tr("Links of the port folder"), this);
    linksLabel->setObjectName(QStringLiteral("LinksLabel"));
    layout->addWidget(linksLabel);
    m_linkTable = makeTable(this, QStringLiteral("LinkTable"), {tr("Link")});
    layout->addWidget(m_linkTable, 1);
    resize(900, 480);

    const auto linkText = [this](int com) { m_link->setText(tr("Link as COM %1").arg(com)); };
    linkText(m_comNumber->value());
    connect(m_comNumber, &QSpinBox::valueChanged, this, linkText);
    connect(m_link, &QPushButton::clicked, this, &DevicesWindow::LinkButtonClick);
    connect(m_addPath, &QPushButton::clicked, this, &DevicesWindow::AddPathButtonClick);
    connect(m_identify, &QPushButton::clicked, this, &DevicesWindow::IdentifyButtonClick);
    connect(m_deviceTable, &QTableWidget::itemSelectionChanged, this,
            &DevicesWindow::updateButtons);
    connect(&m_probe, &board::BoardProbe::finished, this, &DevicesWindow::showProbeResult);
    connect(&m_devices, &SerialDevices::changed, this, &DevicesWindow::refresh);
    updateButtons();
}

void DevicesWindow::refresh()
{
    const SerialDeviceInfo* before = selectedDevice();
    const QString selected = before ? before->node : QString();
    m_survey = m_devices.survey();
    m_source->setText(board::SourceText(m_survey));

    m_deviceTable->clearContents();
    m_deviceTable->setRowCount(static_cast<int>(m_survey.devices.size()));
    for (int row = 0; row < m_deviceTable->rowCount(); ++row) {
        const SerialDeviceInfo& device = m_survey.devices.at(row);
        const QString cells[ColumnCount] = {device.node,
                                            device.stableName(),
                                            board::UsbIdText(device),
                                            board::MakerText(device),
                                            device.serialNumber,
                                            device.driver,
                                            board::ComText(device.comNumbers),
                                            board::AccessText(device)};
        for (int column = 0; column < ColumnCount; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setToolTip(cells[column]);
            m_deviceTable->setItem(row, column, item);
        }
        m_deviceTable->item(row, DeviceColumn)->setData(Qt::UserRole, device.node);
    }
    fitColumns();

    m_linkTable->clearContents();
    m_linkTable->setRowCount(static_cast<int>(m_survey.links.size()));
    for (int row = 0; row < m_linkTable->rowCount(); ++row)
        m_linkTable->setItem(row, 0, new QTableWidgetItem(board::LinkText(m_survey.links.at(row))));

    if (!m_surveyed) {
        m_surveyed = true;
        m_comNumber->setValue(board::FirstFreeCom(m_survey.links));
    }
    select(selected);
}

// A column that no device has anything for (a pseudo-terminal tells no USB
// id, maker, serial number or driver) is hidden, and when the rest are
// wider than the table the widest give up room until State, which says
// what to do about a device, is shown whole. A cut text is whole in its
// tooltip.
void DevicesWindow::fitColumns()
{
    QTableWidget& table = *m_deviceTable;
    for (int column = 0; column < ColumnCount; ++column) {
        bool empty = column != DeviceColumn && column != StateColumn;
        for (int row = 0; row < table.rowCount() && empty; ++row)
            empty = table.item(row, column)->text().isEmpty();
        table.setColumnHidden(column, empty);
    }
    table.resizeColumnsToContents();
    std::vector<int> widths;
    for (int column = 0; column < StateColumn; ++column)
        if (!table.isColumnHidden(column))
            widths.push_back(table.columnWidth(column));
    // QTableView keeps the hint protected; the item view's is public.
    const int stateWidth =
        std::max(static_cast<const QAbstractItemView&>(table).sizeHintForColumn(StateColumn),
                 table.horizontalHeader()->sectionSizeHint(StateColumn));
    const int room = table.viewport()->width() - stateWidth;
    const int cap =
        std::max(widthCap(widths, room), table.horizontalHeader()->minimumSectionSize());
    int used = 0;
    for (int column = 0; column < StateColumn; ++column) {
        if (table.columnWidth(column) > cap)
            table.setColumnWidth(column, cap);
        used += table.isColumnHidden(column) ? 0 : table.columnWidth(column);
    }
    table.setColumnWidth(StateColumn, std::max(stateWidth, table.viewport()->width() - used));
}

bool DevicesWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_deviceTable->viewport() && event->type() == QEvent::Resize)
        fitColumns();
    return QWidget::eventFilter(watched, event);
}

const SerialDeviceInfo* DevicesWindow::selectedDevice() const
{
    const QList<QTableWidgetItem*> items = m_deviceTable->selectedItems();
    if (items.isEmpty())
        return nullptr;
    const QTableWidgetItem* key = m_deviceTable->item(items.first()->row(), DeviceColumn);
    const QString node = key ? key->data(Qt::UserRole).toString() : QString();
    for (const SerialDeviceInfo& device : m_survey.devices)
        if (device.node == node)
            return &device;
    return nullptr;
}

void DevicesWindow::select(const QString& node)
{
    m_deviceTable->clearSelection();
    for (int row = 0; row < m_deviceTable->rowCount() && !node.isEmpty(); ++row)
        if (m_deviceTable->item(row, DeviceColumn)->data(Qt::UserRole).toString() == node) {
            m_deviceTable->selectRow(row);
            break;
        }
    updateButtons();
}

void DevicesWindow::updateButtons()
{
    const bool chosen = selectedDevice() != nullptr;
    m_link->setEnabled(chosen);
    m_identify->setEnabled(chosen && !m_probe.running());
}

// Like Port -> Set, this is not refused while the board is active: the port
// is closed and opened again here on the user-interface thread, between two
// ticks, and the poll cycle goes on on the port now open.
void DevicesWindow::LinkButtonClick()
{
    const auto onTop = backOnTop(*this);
    runHandler(m_view, [this] {
        const SerialDeviceInfo* device = selectedDevice();
        if (!device)
            return;
        const int com = m_comNumber->value();
        const QString error = m_devices.link(com, device->stableName());
        if (!error.isEmpty()) {
            m_view.showError(error);
            refresh();
            return;
        }
        (void)m_port.open(QString::number(com));
        refresh();
        m_comNumber->setValue(board::FirstFreeCom(m_survey.links));
    });
}

void DevicesWindow::AddPathButtonClick()
{
    const auto onTop = backOnTop(*this);
    runHandler(m_view, [this] {
        const QString path = m_view.askText(
            tr("Add a device by path"),
            tr("Path of the serial device (a pseudo-terminal, a serial server's port):"));
        if (path.isEmpty())
            return;
        if (!QFileInfo::exists(underRoot(path))) {
            m_view.showError(tr("%1 does not exist: nothing was added.").arg(path));
            return;
        }
        m_devices.addPath(path);
        refresh();
        const qsizetype found = board::FindDevice(m_survey.devices, path);
        if (found < 0) {
            m_view.showError(tr("%1 is not a serial device: nothing was added.").arg(path));
            return;
        }
        select(m_survey.devices.at(found).node);
    });
}

QString DevicesWindow::underRoot(const QString& path) const
{
    return m_root == QStringLiteral("/") ? path : m_root + path;
}

bool DevicesWindow::isActiveBoardPort(const QString& node) const
{
    return m_poll.SystemActive() && m_serial.Active() &&
           board::SameDevice(PortDevicePath(m_serial.Port()), underRoot(node));
}

void DevicesWindow::IdentifyButtonClick()
{
    const SerialDeviceInfo* device = selectedDevice();
    if (!device || m_probe.running())
        return;
    // The running poll cycle owns its port: a second open would fail, and
    // the query would mix with the cycle's own.
    if (isActiveBoardPort(device->node)) {
        m_identifyResult->setText(
            tr("%1 is COM %2, the port of the active board: deactivate it to identify the device")
                .arg(device->node)
                .arg(m_serial.Port()));
        return;
    }
    m_identifyResult->setText(tr("Asking %1...").arg(device->node));
    m_probe.start(underRoot(device->node));
    updateButtons();
}

void DevicesWindow::showProbeResult()
{
    m_identifyResult->setText(m_probe.resultText());
    updateButtons();
}

void DevicesWindow::showEvent(QShowEvent* event)
{
    if (!m_placed) {
        m_placed = true;
        placememory::RestorePlace(*this, kPlaceName);
    }
    if (!m_watching) {
        m_watching = true;
        m_devices.watch();
    }
    refresh();
    QWidget::showEvent(event);
}

void DevicesWindow::hideEvent(QHideEvent* event)
{
    placememory::SavePlace(*this, kPlaceName);
    QWidget::hideEvent(event);
}
