#include "edid/TEDID_Import.h"

#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "edid/EdidText.h"
#include "files/SafeFile.h"
#include "ui/FormControls.h"

const QString TEDID_Import::Caption = QStringLiteral("Import EDID Text");
const QString TEDID_Import::TextFileFilter =
    QStringLiteral("Text files (*.txt *.log *.c *.h);;All files (*)");

namespace {

constexpr int TextPixels = 13;

}  // namespace

TEDID_Import::TEDID_Import(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("EDID_Import"));
    setWindowTitle(Caption);
    setAccessibleName(Caption);
    setSizeGripEnabled(true);
    FormControls::setOuterSize(this, QSize(FormWidth, FormHeight), false);

    auto* layout = new QVBoxLayout(this);
    QLabel* hint = FormControls::label(
        this, "HintLabel",
        QStringLiteral("Paste an EDID as text: hexadecimal bytes (blank- or colon-separated, "
                       "with or without 0x), edid-decode's hex dump, the lines under \"EDID:\" "
                       "of xrandr --verbose, or a C array. Up to 256 bytes go into the image "
                       "from byte 0; the rest of the image is kept."),
        QRect());
    hint->setWordWrap(true);
    layout->addWidget(hint);

    TextMemo_ = new QPlainTextEdit(this);
    TextMemo_->setObjectName(QStringLiteral("TextMemo"));
    TextMemo_->setAccessibleName(QStringLiteral("TextMemo"));
    TextMemo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(TextPixels);
    TextMemo_->setFont(mono);
    // Tab moves on to the buttons; a pasted text keeps its own tabs.
    TextMemo_->setTabChangesFocus(true);
    layout->addWidget(TextMemo_, 1);

    auto* buttons = new QHBoxLayout;
    OpenTextButton_ =
        FormControls::button(this, "OpenTextButton", QStringLiteral("Open Text File..."), QRect());
    ImportButton_ = FormControls::button(this, "ImportButton", QStringLiteral("Import"), QRect());
    CancelButton_ = FormControls::button(this, "CancelButton", QStringLiteral("Cancel"), QRect());
    buttons->addWidget(OpenTextButton_);
    buttons->addStretch(1);
    buttons->addWidget(ImportButton_);
    buttons->addWidget(CancelButton_);
    layout->addLayout(buttons);

    connect(OpenTextButton_, &QPushButton::clicked, this, &TEDID_Import::OpenTextButtonClick);
    connect(ImportButton_, &QPushButton::clicked, this, &TEDID_Import::ImportButtonClick);
    connect(CancelButton_, &QPushButton::clicked, this, &QDialog::reject);
}

QString TEDID_Import::chooseTextFile() {
    if (ChooseTextFile)
        return ChooseTextFile();
    QFileDialog dialog(this, QStringLiteral("Open Text File"));
    dialog.setObjectName(QStringLiteral("OpenTextDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(TextFileFilter.split(QStringLiteral(";;")));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

bool TEDID_Import::loadTextFile(const QString& path) {
    QByteArray bytes;
    QString error;
    bool ok = SafeFile::readRegular(path, EdidText::MaxTextBytes + 1, bytes, error);
    if (ok && (bytes.size() > EdidText::MaxTextBytes || !EdidText::looksLikeText(bytes))) {
        ok = false;
        error = bytes.size() > EdidText::MaxTextBytes
                    ? QStringLiteral("%1: longer than %2 bytes, too long for an EDID's text")
                          .arg(path)
                          .arg(EdidText::MaxTextBytes)
                    : QStringLiteral(
                          "%1: not a text file (a raw EDID file opens with File > "
                          "Open)")
                          .arg(path);
    }
    if (!ok) {
        if (OnMessage)
            OnMessage(QStringLiteral("The text file cannot be read."), error);
        return false;
    }
    TextMemo_->setPlainText(QString::fromUtf8(bytes));
    return true;
}

void TEDID_Import::OpenTextButtonClick() {
    const QString path = chooseTextFile();
    if (!path.isEmpty())
        loadTextFile(path);
}

void TEDID_Import::ImportButtonClick() {
    if (OnImport && OnImport(TextMemo_->toPlainText()))
        accept();
}
