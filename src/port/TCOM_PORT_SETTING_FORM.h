#pragma once

#include <QDialog>

class LinkEngine;
class PortDescription;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The port dialog: the operator picks COM 1..8 and OK opens it. The line settings are fixed
// and only shown. Created once and only hidden, so the chosen port stays selected.
class TCOM_PORT_SETTING_FORM : public QDialog {
    Q_OBJECT
public:
    explicit TCOM_PORT_SETTING_FORM(LinkEngine& engine, QWidget* parent = nullptr);

    QComboBox* ComboBox1() const { return ComboBox1_; }
    QComboBox* ComboBox2() const { return ComboBox2_; }
    QComboBox* ComboBox3() const { return ComboBox3_; }
    QComboBox* ComboBox4() const { return ComboBox4_; }
    QPushButton* Button1() const { return Button1_; }
    QPushButton* Button2() const { return Button2_; }
    QLineEdit* DeviceEdit() const { return DeviceEdit_; }

public slots:
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    // Shows which device the chosen COM n opens here, named as the system knows it, and
    // the same for every entry of the list as its tool tip. Read again at each showing and
    // each choice: adapters come and go, virtual generators start and stop.
    void updatePortList();
    void updateDevice();
    void showDevice(const PortDescription& port);

    LinkEngine& engine_;
    QLabel* Label1_;
    QComboBox* ComboBox1_;
    QLineEdit* DeviceEdit_;
    QLabel* Label2_;
    QComboBox* ComboBox2_;
    QLabel* Label3_;
    QComboBox* ComboBox3_;
    QLabel* Label4_;
    QComboBox* ComboBox4_;
    QPushButton* Button1_;
    QPushButton* Button2_;
};
