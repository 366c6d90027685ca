#pragma once

#include <QString>
#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class ResultsStation;

// Where a station window's results go, and how they are getting there: a "Results:" field
// (empty: results.sqlite in the report folder; a file or folder; or a line's server as
// postgresql://ROLE@HOST[:PORT]/DB), and a line that says what the forwarder to that server
// says ("Results: 12 waiting for the server (no connection since 14:02)"), with Password...
// when the server wants one that libpq's password file does not hold. Nothing here ever blocks
// a unit: the line only tells.
class ResultsLinkRow : public QWidget {
    Q_OBJECT
public:
    ResultsLinkRow(ResultsStation& station, QWidget* parent = nullptr);

    // What the field names, trimmed (empty: the report folder's store).
    QString named() const;
    void setNamed(const QString& text);
    // The station (re)opened its store: follow its forwarder.
    void stationOpened();
    // Asks for the server's password; tests replace it. Empty: cancelled.
    std::function<QString(const QString& server)> askPassword;

    QLineEdit* Field() const { return Field_; }
    QLabel* Status() const { return Status_; }
    QPushButton* PasswordButton() const { return PasswordButton_; }

public slots:
    void PasswordButtonClick();

private:
    void showStatus();

    ResultsStation& station_;
    QLineEdit* Field_;
    QLabel* Status_;
    QPushButton* PasswordButton_;
};
