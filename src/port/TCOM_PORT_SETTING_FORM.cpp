#include "port/TCOM_PORT_SETTING_FORM.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "link/LinkEngine.h"
#include "link/PortDescription.h"
#include "ui/FormControls.h"

namespace {

constexpr int PortCount = 8;

QComboBox* makeList(QWidget* parent, const char* name, const QString& accessibleName,
                    const QStringList& items, const QRect& geometry) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(accessibleName);
    box->addItems(items);
    box->setGeometry(geometry);
    return box;
}

}  // namespace

TCOM_PORT_SETTING_FORM::TCOM_PORT_SETTING_FORM(LinkEngine& engine, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      engine_(engine) {
    setObjectName(QStringLiteral("COM_PORT_SETTING_FORM"));
    setWindowTitle(QStringLiteral("COM Port Setting "));
    setAccessibleName(QStringLiteral("COM Port Setting "));
    setModal(true);
    setFont(FormControls::arial(16));
    setFixedSize(420, 282);

    Label1_ =
        FormControls::label(this, "Label1", QStringLiteral("COM Port"), QRect(24, 24, 96, 24));
    QStringList ports;
    for (int n = 1; n <= PortCount; ++n) ports << QStringLiteral("COM %1").arg(n);
    ComboBox1_ =
        makeList(this, "ComboBox1", QStringLiteral("COM Port"), ports, QRect(128, 22, 105, 28));
    DeviceEdit_ = new QLineEdit(this);
    DeviceEdit_->setObjectName(QStringLiteral("DeviceEdit"));
    DeviceEdit_->setAccessibleName(QStringLiteral("Device"));
    DeviceEdit_->setReadOnly(true);
    DeviceEdit_->setFocusPolicy(Qt::ClickFocus);
    // A row of its own: adapters' names and stable names are long.
    DeviceEdit_->setGeometry(24, 182, 376, 28);

    Label2_ =
        FormControls::label(this, "Label2", QStringLiteral("Baud Rate"), QRect(24, 64, 96, 24));
    ComboBox2_ = makeList(this, "ComboBox2", QStringLiteral("Baud Rate"), {QStringLiteral("19200")},
                          QRect(128, 62, 105, 28));
    Label3_ =
        FormControls::label(this, "Label3", QStringLiteral("Data Bits"), QRect(24, 104, 96, 24));
    ComboBox3_ = makeList(this, "ComboBox3", QStringLiteral("Data Bits"), {QStringLiteral("8")},
                          QRect(128, 102, 105, 28));
    Label4_ = FormControls::label(this, "Label4", QStringLiteral("Parity"), QRect(24, 144, 96, 24));
    ComboBox4_ = makeList(this, "ComboBox4", QStringLiteral("Parity"), {QStringLiteral("None")},
                          QRect(128, 142, 105, 28));
    // Screen readers announce each list with its label.
    Label1_->setBuddy(ComboBox1_);
    Label2_->setBuddy(ComboBox2_);
    Label3_->setBuddy(ComboBox3_);
    Label4_->setBuddy(ComboBox4_);
    // The line settings are fixed; they are shown, not chosen.
    ComboBox2_->setEnabled(false);
    ComboBox3_->setEnabled(false);
    ComboBox4_->setEnabled(false);

    Button1_ = FormControls::button(this, "Button1", QStringLiteral("OK"), QRect(96, 230, 97, 31));
    Button2_ =
        FormControls::button(this, "Button2", QStringLiteral("Cancel"), QRect(228, 230, 97, 31));
    Button1_->setDefault(true);

    connect(Button1_, &QPushButton::clicked, this, &TCOM_PORT_SETTING_FORM::Button1Click);
    connect(Button2_, &QPushButton::clicked, this, &TCOM_PORT_SETTING_FORM::Button2Click);
    connect(ComboBox1_, &QComboBox::currentIndexChanged, this,
            &TCOM_PORT_SETTING_FORM::updateDevice);

    FormCreate();
}

void TCOM_PORT_SETTING_FORM::FormCreate() {
    // The devices behind the ports are looked up when the dialog is shown, not at start-up.
    ComboBox1_->setCurrentIndex(0);
}

void TCOM_PORT_SETTING_FORM::Button1Click() {
    const int n = ComboBox1_->currentIndex() + 1;
    // On failure the engine has told the operator why; the dialog stays for another choice.
    if (engine_.connectPort(static_cast<quint8>(n)))
        accept();
}

void TCOM_PORT_SETTING_FORM::Button2Click() {
    reject();
}

void TCOM_PORT_SETTING_FORM::showEvent(QShowEvent* event) {
    updatePortList();
    QDialog::showEvent(event);
}

void TCOM_PORT_SETTING_FORM::updatePortList() {
    const QList<PortDescription> ports = PortDescription::describeAll(PortCount);
    for (int i = 0; i < ports.size() && i < ComboBox1_->count(); ++i)
        ComboBox1_->setItemData(i, ports[i].oneLine(), Qt::ToolTipRole);
    showDevice(ports.value(ComboBox1_->currentIndex()));
}

void TCOM_PORT_SETTING_FORM::updateDevice() {
    showDevice(PortDescription::describe(ComboBox1_->currentIndex() + 1));
}

void TCOM_PORT_SETTING_FORM::showDevice(const PortDescription& port) {
    const QString line = port.oneLine();
    DeviceEdit_->setText(line);
    // The start of a long line is what matters: the device's path.
    DeviceEdit_->setCursorPosition(0);
    DeviceEdit_->setToolTip(port.multiLine());
    DeviceEdit_->setAccessibleDescription(port.multiLine());
    ComboBox1_->setItemData(ComboBox1_->currentIndex(), line, Qt::ToolTipRole);
}
