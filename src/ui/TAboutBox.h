#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The About box: program icon, product name, version, the program's and Qt's versions and where
// the manual is.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 298;
    static constexpr int ClientHeight = 218;

    explicit TAboutBox(QWidget* parent = nullptr);

    QPushButton* OKButton() const { return OKButton_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QFrame* Panel1_;
    QLabel* ProgramIcon_;
    QLabel* ProductName_;
    QLabel* Version_;
    QLabel* Comments_;
    QLabel* Copyright_;
    QPushButton* OKButton_;
};
