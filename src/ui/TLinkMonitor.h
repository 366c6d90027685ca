#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "link/LinkTrace.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class TappedLine;

// "Link Monitor": what went over the line, one line per command frame, framed data byte and
// chunk received, as the tap recorded it. The tap only copies bytes into memory; this window
// takes them from there on a timer of its own and appends them in one go, so that showing them
// never holds up the pacing of a send.
//
// A window of its own beside the frame (not a child of it), created once, hidden when closed. While
// hidden nothing is taken from the tap; on showing, it takes what the tap still holds, so that what
// happened before it was opened is there too.
class TLinkMonitor : public QDialog {
    Q_OBJECT
public:
    static constexpr int FormLeft = 150;
    static constexpr int FormTop = 190;
    static constexpr int FormWidth = 960;
    static constexpr int FormHeight = 460;
    // How often the window takes what the tap recorded, in milliseconds.
    static constexpr int PullMs = 250;
    // Lines the view keeps; older ones leave it from the top.
    static constexpr int MaxLines = 20000;
    static const QString Caption;
    static const QString FileFilter;

    // The path to save to, or empty when the operator cancelled.
    using FileDialogHook = std::function<QString()>;

    explicit TLinkMonitor(TappedLine& tap, QWidget* parent = nullptr);

    // Config > "Link Monitor": shown (or brought back) in front, up to date.
    void showMonitor();
    // Takes what the tap recorded since the last time into the view; while paused only the
    // count of what waits is updated.
    void pull();
    bool paused() const;
    // Writes the lines shown, one text line each, as a plain text file; false with a reason.
    bool saveRecord(const QString& path, QString& error) const;
    // Tests replace the file dialog; an empty hook restores it.
    void setFileDialogHook(FileDialogHook hook) { fileDialogHook_ = std::move(hook); }

    QPushButton* PauseButton() const { return PauseButton_; }
    QPushButton* ClearButton() const { return ClearButton_; }
    QPushButton* SaveButton() const { return SaveButton_; }
    QPlainTextEdit* LinkRecord() const { return LinkRecord_; }
    QLabel* StatusLabel() const { return StatusLabel_; }
    QTimer* PullTimer() const { return PullTimer_; }

public slots:
    void PauseButtonClick();
    void ClearButtonClick();
    void SaveButtonClick();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void append(const QStringList& texts);
    void refreshStatus();
    QString chooseFile();
    void showMessage(const QString& text);

    TappedLine& tap_;
    LinkTrace trace_;
    quint64 next_ = 0;    // number of the first event not yet taken from the tap
    quint64 missed_ = 0;  // events the tap dropped before they were taken (since the last clear)
    FileDialogHook fileDialogHook_;
    QString lastDir_;

    QPushButton* PauseButton_;
    QPushButton* ClearButton_;
    QPushButton* SaveButton_;
    QPlainTextEdit* LinkRecord_;
    QLabel* StatusLabel_;
    QTimer* PullTimer_;
};
