#pragma once

#include <QDialog>

#include "edid/EdidIdentity.h"
#include "edid/EdidImage.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// "Edit identity..." of the inspector: the identity fields of the image's block 0 (manufacturer,
// product code, serial number, week and year or model year, monitor name, serial text). OK
// writes them into the image through EdidIdentity and closes only when they could be written.
class TEDID_Identity : public QDialog {
    Q_OBJECT
public:
    static const QString Caption;

    explicit TEDID_Identity(QWidget* parent = nullptr);

    // Shows the fields of image; true, with image changed, when the operator pressed OK.
    bool edit(EdidImage& image);
    // Fills the fields from image (edit does this first).
    void load(const EdidImage& image);
    // The fields as the controls hold them; false, with a message, when one is not a number.
    bool fields(EdidIdentity::Fields& out, QString& error) const;
    // OK: writes the fields into the image loaded; stays open with the reason shown when they
    // cannot be written.
    void OKClick();
    const EdidImage& image() const { return image_; }

    QLineEdit* VendorEdit() const { return VendorEdit_; }
    QLineEdit* ProductEdit() const { return ProductEdit_; }
    QLineEdit* SerialNumberEdit() const { return SerialNumberEdit_; }
    QSpinBox* WeekSpin() const { return WeekSpin_; }
    QCheckBox* ModelYearCheck() const { return ModelYearCheck_; }
    QSpinBox* YearSpin() const { return YearSpin_; }
    QLineEdit* NameEdit() const { return NameEdit_; }
    QLineEdit* SerialTextEdit() const { return SerialTextEdit_; }
    QLabel* ProblemLabel() const { return ProblemLabel_; }

private:
    EdidImage image_{};
    QLineEdit* VendorEdit_;
    QLineEdit* ProductEdit_;
    QLineEdit* SerialNumberEdit_;
    QSpinBox* WeekSpin_;
    QCheckBox* ModelYearCheck_;
    QSpinBox* YearSpin_;
    QLineEdit* NameEdit_;
    QLineEdit* SerialTextEdit_;
    QLabel* ProblemLabel_;
};
