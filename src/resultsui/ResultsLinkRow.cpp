#include "resultsui/ResultsLinkRow.h"

#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "results/ResultsForwarderThread.h"
#include "results/ResultsStation.h"
#include "ui/VerdictStyle.h"

ResultsLinkRow::ResultsLinkRow(ResultsStation& station, QWidget* parent)
    : QWidget(parent), station_(station) {
    setObjectName(QStringLiteral("ResultsLink"));
    Field_ = new QLineEdit(this);
    Field_->setObjectName(QStringLiteral("ResultsField"));
    Field_->setAccessibleName(QStringLiteral("Results store"));
    Field_->setPlaceholderText(
        QStringLiteral("results.sqlite in the report folder, or postgresql://ROLE@HOST/DB"));
    Field_->setToolTip(
        QStringLiteral("Where every unit is recorded: a results.sqlite file or its folder, or "
                       "a line's PostgreSQL server (the station keeps each record in the report "
                       "folder's results.sqlite until the server has it)"));
    auto* caption = new QLabel(QStringLiteral("Res&ults:"), this);
    caption->setBuddy(Field_);
    Status_ = new QLabel(this);
    Status_->setObjectName(QStringLiteral("ResultsStatus"));
    Status_->setAccessibleName(QStringLiteral("Results status"));
    Status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    PasswordButton_ = new QPushButton(QStringLiteral("Password..."), this);
    PasswordButton_->setObjectName(QStringLiteral("ResultsPassword"));
    PasswordButton_->setAccessibleName(QStringLiteral("Password for the results server"));
    PasswordButton_->setAutoDefault(false);
    PasswordButton_->setFocusPolicy(Qt::TabFocus);
    PasswordButton_->hide();
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(caption, 0, 0);
    layout->addWidget(Field_, 0, 1);
    layout->addWidget(Status_, 1, 1);
    layout->addWidget(PasswordButton_, 1, 2);
    layout->setColumnStretch(1, 1);
    Status_->hide();
    connect(PasswordButton_, &QPushButton::clicked, this, &ResultsLinkRow::PasswordButtonClick);
    askPassword = [this](const QString& server) {
        bool ok = false;
        const QString pw = QInputDialog::getText(
            this, QStringLiteral("Results server"),
            QStringLiteral("Password for %1 (kept in memory until the program ends):").arg(server),
            QLineEdit::Password, QString(), &ok);
        return ok ? pw : QString();
    };
}

QString ResultsLinkRow::named() const {
    return Field_->text().trimmed();
}

void ResultsLinkRow::setNamed(const QString& text) {
    Field_->setText(text);
}

void ResultsLinkRow::stationOpened() {
    ResultsForwarderThread* f = station_.forwarder();
    if (f)
        connect(f, &ResultsForwarderThread::statusChanged, this, &ResultsLinkRow::showStatus,
                Qt::UniqueConnection);
    showStatus();
}

void ResultsLinkRow::showStatus() {
    ResultsForwarderThread* f = station_.forwarder();
    Status_->setVisible(f != nullptr);
    if (!f) {
        PasswordButton_->hide();
        return;
    }
    const ForwarderStatus s = f->status();
    const bool trouble = s.trouble != ForwarderStatus::Trouble::None;
    Status_->setText(s.sentence());
    Status_->setToolTip(s.problem);
    Status_->setAccessibleDescription(trouble ? s.sentence() + QStringLiteral(": ") + s.problem
                                              : s.sentence());
    VerdictStyle::paintText(Status_,
                            trouble ? VerdictStyle::Fail : palette().color(QPalette::WindowText));
    // The server refused the role: a password the password file does not hold may help.
    PasswordButton_->setVisible(s.trouble == ForwarderStatus::Trouble::Refused);
}

void ResultsLinkRow::PasswordButtonClick() {
    const QString password = askPassword ? askPassword(named()) : QString();
    if (password.isEmpty())
        return;
    station_.setServerPassword(password);
    stationOpened();
}
