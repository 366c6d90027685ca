#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// File > Import EDID Text: a box to paste an EDID's text into (or to fill from a text file),
// and "Import". Created once, hidden; shown modally. The dialog stays open when the text is
// refused, so that it can be corrected.
class TEDID_Import : public QDialog {
    Q_OBJECT
public:
    static constexpr int FormWidth = 600;
    static constexpr int FormHeight = 480;
    static const QString Caption;
    static const QString TextFileFilter;

    // Takes the text into the image; false (after saying why) when it was refused.
    std::function<bool(const QString& text)> OnImport;
    // Shows a message box, as the main window does.
    std::function<void(const QString& text, const QString& detail)> OnMessage;
    // Chooses a text file to read; the path, or empty on cancel. Tests replace it.
    std::function<QString()> ChooseTextFile;

    explicit TEDID_Import(QWidget* parent = nullptr);

    QPlainTextEdit* TextMemo() const { return TextMemo_; }
    QPushButton* OpenTextButton() const { return OpenTextButton_; }
    QPushButton* ImportButton() const { return ImportButton_; }
    QPushButton* CancelButton() const { return CancelButton_; }

    void OpenTextButtonClick();
    void ImportButtonClick();
    // Reads a text file into the box; false, after a message, when it cannot be read.
    bool loadTextFile(const QString& path);

private:
    QString chooseTextFile();

    QPlainTextEdit* TextMemo_;
    QPushButton* OpenTextButton_;
    QPushButton* ImportButton_;
    QPushButton* CancelButton_;
};
