#include "ui/TAboutBox.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "Version.h"
#include "ui/FormControls.h"
#include "ui/Icons.h"
#include "ui/ManualPlace.h"

namespace {

// A long install path may not fit its line: the type shrinks until it does (down to 8 points),
// the whole text is the tool tip, and it can be selected and copied.
void fitLine(QLabel* label) {
    QFont font = label->font();
    while (font.pointSize() > 8 &&
           QFontMetrics(font).horizontalAdvance(label->text()) > label->width())
        font.setPointSize(font.pointSize() - 1);
    label->setFont(font);
    label->setToolTip(label->text());
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

}  // namespace

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setAccessibleName(QStringLiteral("About"));
    setModal(true);
    // A dialog border: the operator cannot resize it.
    setFixedSize(ClientWidth, ClientHeight);

    QFont font(QStringLiteral("Times New Roman"));
    font.setPointSize(12);
    setFont(font);

    Panel1_ = new QFrame(this);
    Panel1_->setObjectName(QStringLiteral("Panel1"));
    Panel1_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1_->setGeometry(8, 8, 281, 161);

    ProgramIcon_ = new QLabel(Panel1_);
    ProgramIcon_->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon_->setAccessibleName(QStringLiteral("Program icon"));
    ProgramIcon_->setPixmap(Icons::program().pixmap(32, 32));
    ProgramIcon_->setGeometry(8, 8, 32, 32);

    ProductName_ = FormControls::label(
        Panel1_, "ProductName", QStringLiteral("Product Name: ORVE-1"), QRect(64, 12, 210, 20));
    Version_ = FormControls::label(Panel1_, "Version", QStringLiteral("Version:V0.3"),
                                   QRect(64, 44, 210, 20));
    // The program's and Qt's versions, and where this installation's manual is.
    Comments_ =
        FormControls::label(Panel1_, "Comments",
                            QStringLiteral("orve1 %1, Qt %2")
                                .arg(QStringLiteral(ORVE1_VERSION), QLatin1String(qVersion())),
                            QRect(8, 96, 266, 20));
    Copyright_ = FormControls::label(
        Panel1_, "Copyright",
        QStringLiteral("Manual: ") + ManualPlace::describe(QCoreApplication::applicationDirPath()),
        QRect(8, 124, 266, 20));
    fitLine(Comments_);
    fitLine(Copyright_);

    OKButton_ = new QPushButton(QStringLiteral("OK"), this);
    OKButton_->setObjectName(QStringLiteral("OKButton"));
    OKButton_->setAccessibleName(QStringLiteral("OK"));
    OKButton_->setGeometry(111, 180, 75, 27);
    OKButton_->setDefault(true);
    connect(OKButton_, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutBox::showEvent(QShowEvent* event) {
    // Centred on the screen, not on the main window.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}
