#include "find_receiver_dialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cstring>

#include "baud_detect.h"

namespace {

enum Column { DeviceColumn, ReceiverColumn, AccessColumn, PortColumn, HeardColumn, ColumnCount };

QString PortList(const std::vector<int>& ports) {
    QStringList names;
    for (int n : ports)
        names << QStringLiteral("COM%1").arg(n);
    return names.join(QStringLiteral(", "));
}

} // namespace

FindReceiverDialog::FindReceiverDialog(DeviceRoots roots, std::string folder, QWidget* parent)
    : QDialog(parent), roots_(std::move(roots)), folder_(std::move(folder)) {
    setObjectName(QStringLiteral("FindReceiverDialog"));
    setWindowTitle(QStringLiteral("Find Receiver"));
    auto* layout = new QVBoxLayout(this);
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("FindReceiverMessage"));
    message_->setWordWrap(true);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(message_);

    table_ = new QTableWidget(0, ColumnCount, this);
    table_->setObjectName(QStringLiteral("DeviceTable"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Device"), QStringLiteral("Receiver"),
                                       QStringLiteral("May open"), QStringLiteral("COM"),
                                       QStringLiteral("Heard")});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->hide();
    layout->addWidget(table_, 1);

    auto* buttons = new QHBoxLayout;
    listen_ = new QPushButton(QStringLiteral("Listen"), this);
    listen_->setObjectName(QStringLiteral("ListenButton"));
    listenAll_ = new QPushButton(QStringLiteral("Listen to all"), this);
    listenAll_->setObjectName(QStringLiteral("ListenAllButton"));
    portChoice_ = new QComboBox(this);
    portChoice_->setObjectName(QStringLiteral("PortChoice"));
    for (int n = 1; n <= 9; ++n)
        portChoice_->addItem(QStringLiteral("COM_%1").arg(n));
    use_ = new QPushButton(QStringLiteral("Use"), this);
    use_->setObjectName(QStringLiteral("UseButton"));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    buttons->addWidget(listen_);
    buttons->addWidget(listenAll_);
    buttons->addStretch(1);
    buttons->addWidget(new QLabel(QStringLiteral("as"), this));
    buttons->addWidget(portChoice_);
    buttons->addWidget(use_);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(listen_, &QPushButton::clicked, this, &FindReceiverDialog::ListenSelected);
    connect(listenAll_, &QPushButton::clicked, this, &FindReceiverDialog::ListenAll);
    connect(use_, &QPushButton::clicked, this, &FindReceiverDialog::UseSelected);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(table_, &QTableWidget::itemSelectionChanged, this, &FindReceiverDialog::RowChosen);
    resize(760, 300);
    Refill();
}

FindReceiverDialog::~FindReceiverDialog() = default;

void FindReceiverDialog::Refill() {
    devices_ = ListSerialDevices(roots_);
    table_->setRowCount(static_cast<int>(devices_.size()));
    for (int row = 0; row < static_cast<int>(devices_.size()); ++row) {
        const SerialDevice& device = devices_[static_cast<std::size_t>(row)];
        const QString access =
            device.mayOpen
                ? QStringLiteral("yes")
                : QStringLiteral("no (group %1)").arg(QString::fromStdString(device.group));
        const QString cells[ColumnCount] = {QString::fromStdString(device.LinkTarget()),
                                            QString::fromStdString(device.Description()), access,
                                            PortList(PortsLeadingTo(device, folder_, roots_)),
                                            QString()};
        for (int column = 0; column < ColumnCount; ++column)
            table_->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    table_->resizeColumnsToContents();
    const bool any = !devices_.empty();
    table_->setVisible(any);
    listen_->setEnabled(any);
    listenAll_->setEnabled(any);
    use_->setEnabled(any);
    portChoice_->setEnabled(any);
    if (!any) {
        message_->setText(QStringLiteral(
            "No serial devices found on this PC. Plug the receiver in and open this again.\n"
            "To try the program without a receiver, run the simulated one in this folder:\n"
            "  gps-sim --link COM1\nthen choose COM_1."));
        return;
    }
    message_->setText(QStringLiteral(
        "Pick the receiver and the COM it should be, then Use. Listen tells which device "
        "sends NMEA sentences, and at which speed; it never writes to a device."));
    table_->selectRow(0);
}

int FindReceiverDialog::SelectedRow() const {
    const QList<QTableWidgetItem*> items = table_->selectedItems();
    return items.isEmpty() ? -1 : items.front()->row();
}

void FindReceiverDialog::RowChosen() {
    const int row = SelectedRow();
    if (row < 0)
        return;
    const int offered = OfferedPort(devices_[static_cast<std::size_t>(row)], folder_, roots_);
    if (offered > 0)
        portChoice_->setCurrentIndex(offered - 1);
}

void FindReceiverDialog::SetHeard(int row, const QString& text) {
    table_->item(row, HeardColumn)->setText(text);
}

void FindReceiverDialog::ListenSelected() {
    const int row = SelectedRow();
    if (row < 0)
        return;
    toListen_.push_back(row);
    ListenNext();
}

void FindReceiverDialog::ListenAll() {
    for (int row = 0; row < static_cast<int>(devices_.size()); ++row)
        toListen_.push_back(row);
    ListenNext();
}

void FindReceiverDialog::ListenNext() {
    if (detector_ != nullptr || toListen_.empty())
        return; // one device at a time; the next follows when this one ends
    listening_ = toListen_.front();
    toListen_.erase(toListen_.begin());
    const std::string path = devices_[static_cast<std::size_t>(listening_)].node;
    auto openError = std::make_shared<std::atomic<int>>(0);
    detector_ = new BaudDetector(
        [path, openError](int32_t code, const std::atomic<bool>& cancelled) {
            int error = 0;
            const Hearing heard = ListenOnDevice(path, BitsPerSecond(code), BaudDetector::kListenMs,
                                                 cancelled, &error);
            if (error != 0)
                *openError = error;
            return heard;
        },
        this);
    connect(detector_, &BaudDetector::Trying, this, [this](int, int bitsPerSecond) {
        SetHeard(listening_, QStringLiteral("listening at %1 bit/s...").arg(bitsPerSecond));
    });
    connect(detector_, &BaudDetector::Finished, this,
            [this, openError](int code, bool, bool heardBytes) {
                QString text;
                if (code >= 0)
                    text = QStringLiteral("NMEA at %1 bit/s").arg(BitsPerSecond(code));
                else if (*openError != 0)
                    text = QStringLiteral("cannot open: %1")
                               .arg(QString::fromLocal8Bit(std::strerror(*openError)));
                else if (heardBytes)
                    text = QStringLiteral("other bytes, no NMEA at any rate");
                else
                    text = QStringLiteral("nothing");
                SetHeard(listening_, text);
                detector_->deleteLater();
                detector_ = nullptr;
                listening_ = -1;
                ListenNext();
            });
    detector_->Start();
}

void FindReceiverDialog::UseSelected() {
    const int row = SelectedRow();
    if (row < 0)
        return;
    const int n = portChoice_->currentIndex() + 1;
    std::string why;
    if (!LinkPort(n, devices_[static_cast<std::size_t>(row)].LinkTarget(), folder_, why)) {
        message_->setText(QString::fromStdString(why));
        return;
    }
    // Listening would fight the connection for the line.
    if (detector_ != nullptr)
        detector_->Cancel();
    toListen_.clear();
    emit PortLinked(n);
    accept();
}
