#include "edid/TEDID_Identity.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/VerdictStyle.h"

const QString TEDID_Identity::Caption = QStringLiteral("Edit Identity");

namespace {

QLineEdit* field(QWidget* parent, const char* name, const QString& accessible, int maxLength,
                 const QString& hint) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setAccessibleName(accessible);
    edit->setMaxLength(maxLength);
    edit->setToolTip(hint);
    return edit;
}

QSpinBox* spin(QWidget* parent, const char* name, const QString& accessible, int low, int high) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(accessible);
    box->setRange(low, high);
    return box;
}

// A whole number from low to high typed in decimal; false when it is not one.
bool number(const QLineEdit* edit, qulonglong high, qulonglong& value) {
    bool ok = false;
    value = edit->text().toULongLong(&ok, 10);
    return ok && value <= high;
}

}  // namespace

TEDID_Identity::TEDID_Identity(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("EDID_Identity"));
    setWindowTitle(Caption);
    setAccessibleName(Caption);
    setModal(true);

    const QString textHint =
        QStringLiteral("Up to %1 printable ASCII characters; empty to take the descriptor out")
            .arg(EdidIdentity::TextLength);
    VendorEdit_ = field(this, "VendorEdit", QStringLiteral("Manufacturer"), 3,
                        QStringLiteral("Three capital letters A to Z"));
    ProductEdit_ =
        field(this, "ProductEdit", QStringLiteral("Product code"), 5, QStringLiteral("0 to 65535"));
    SerialNumberEdit_ = field(this, "SerialNumberEdit", QStringLiteral("Serial number"), 10,
                              QStringLiteral("0 to 4294967295"));
    const auto* digits =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    ProductEdit_->setValidator(digits);
    SerialNumberEdit_->setValidator(digits);
    WeekSpin_ = spin(this, "WeekSpin", QStringLiteral("Week"), 0, EdidIdentity::MaxWeek);
    WeekSpin_->setSpecialValueText(QStringLiteral("not given"));
    ModelYearCheck_ = new QCheckBox(QStringLiteral("Model year (no week)"), this);
    ModelYearCheck_->setObjectName(QStringLiteral("ModelYearCheck"));
    ModelYearCheck_->setAccessibleName(ModelYearCheck_->text());
    YearSpin_ = spin(this, "YearSpin", QStringLiteral("Year"), EdidIdentity::FirstYear,
                     EdidIdentity::LastYear);
    NameEdit_ =
        field(this, "NameEdit", QStringLiteral("Monitor name"), EdidIdentity::TextLength, textHint);
    SerialTextEdit_ = field(this, "SerialTextEdit", QStringLiteral("Serial text"),
                            EdidIdentity::TextLength, textHint);
    ProblemLabel_ = new QLabel(this);
    ProblemLabel_->setObjectName(QStringLiteral("ProblemLabel"));
    ProblemLabel_->setAccessibleName(QStringLiteral("ProblemLabel"));
    ProblemLabel_->setWordWrap(true);
    VerdictStyle::paintText(ProblemLabel_, VerdictStyle::Fail);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Manufacturer:"), VendorEdit_);
    form->addRow(QStringLiteral("&Product code:"), ProductEdit_);
    form->addRow(QStringLiteral("&Serial number:"), SerialNumberEdit_);
    form->addRow(QStringLiteral("&Week:"), WeekSpin_);
    form->addRow(QString(), ModelYearCheck_);
    form->addRow(QStringLiteral("&Year:"), YearSpin_);
    form->addRow(QStringLiteral("Monitor &name:"), NameEdit_);
    form->addRow(QStringLiteral("Serial &text:"), SerialTextEdit_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("Buttons"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(ProblemLabel_);
    layout->addWidget(buttons);

    connect(ModelYearCheck_, &QCheckBox::toggled, WeekSpin_, &QWidget::setDisabled);
    connect(buttons, &QDialogButtonBox::accepted, this, &TEDID_Identity::OKClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void TEDID_Identity::load(const EdidImage& image) {
    image_ = image;
    const EdidIdentity::Fields f = EdidIdentity::read(image);
    VendorEdit_->setText(f.vendor);
    ProductEdit_->setText(QString::number(f.product));
    SerialNumberEdit_->setText(QString::number(f.serialNumber));
    ModelYearCheck_->setChecked(f.modelYear());
    WeekSpin_->setValue(f.modelYear() ? 0 : f.week);
    YearSpin_->setValue(f.year);
    NameEdit_->setText(f.name);
    SerialTextEdit_->setText(f.serialText);
    ProblemLabel_->clear();
}

bool TEDID_Identity::fields(EdidIdentity::Fields& out, QString& error) const {
    const EdidIdentity::Fields now = EdidIdentity::read(image_);
    qulonglong product = 0;
    qulonglong serial = 0;
    if (!number(ProductEdit_, 0xFFFF, product)) {
        error = QStringLiteral("The product code is not 0 to 65535.");
        return false;
    }
    if (!number(SerialNumberEdit_, 0xFFFFFFFFull, serial)) {
        error = QStringLiteral("The serial number is not 0 to 4294967295.");
        return false;
    }
    out.vendor = VendorEdit_->text();
    out.product = quint16(product);
    out.serialNumber = quint32(serial);
    // A week the spinner cannot show (55 to 254) stays as it is unless the operator changed it.
    const bool weekKept =
        ModelYearCheck_->isChecked() == now.modelYear() &&
        (now.modelYear() || WeekSpin_->value() == qMin(now.week, WeekSpin_->maximum()));
    out.week = weekKept                       ? now.week
               : ModelYearCheck_->isChecked() ? EdidIdentity::ModelYearWeek
                                              : WeekSpin_->value();
    out.year = YearSpin_->value();
    out.name = NameEdit_->text();
    out.serialText = SerialTextEdit_->text();
    return true;
}

void TEDID_Identity::OKClick() {
    EdidIdentity::Fields f;
    QString error;
    EdidImage image = image_;
    if (!fields(f, error) || !EdidIdentity::write(image, f, error)) {
        ProblemLabel_->setText(error);
        ProblemLabel_->setAccessibleName(error);
        return;
    }
    image_ = image;
    accept();
}

bool TEDID_Identity::edit(EdidImage& image) {
    load(image);
    if (exec() != QDialog::Accepted)
        return false;
    image = image_;
    return true;
}
