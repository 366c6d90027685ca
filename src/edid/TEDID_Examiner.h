#pragma once

#include <QByteArray>
#include <QColor>
#include <QDialog>
#include <QString>
#include <array>

#include "edid/EdidInfo.h"

class EdidDecodeRun;
class LinkEngine;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class TEDID_Identity;

// What the EDID image declares, whether each block's checksum holds, and edid-decode's full
// report of it. Non-modal; created once, hidden, and only hidden when closed. It follows the
// image through refresh(), which the main window calls whenever the image has changed.
// Nothing here changes the image except "Fix checksums" and "Edit identity...".
class TEDID_Examiner : public QDialog {
    Q_OBJECT
public:
    static constexpr int FormWidth = 640;
    static constexpr int FormHeight = 660;
    static const QString Caption;
    static const QColor SoundColor;
    static const QColor FailColor;
    static const QColor UnusedColor;

    explicit TEDID_Examiner(LinkEngine& engine, QWidget* parent = nullptr);
    ~TEDID_Examiner() override;

    QPlainTextEdit* Summary() const { return Summary_; }
    QLabel* BlockLabel(int index) const { return BlockLabels_[index]; }
    QPushButton* FixChecksums() const { return FixChecksums_; }
    QLabel* FixNote() const { return FixNote_; }
    QPushButton* EditIdentity() const { return EditIdentity_; }
    // What the last identity edit changed, as orve1ctl edid-diff prints it.
    QPlainTextEdit* IdentityChanges() const { return IdentityChanges_; }
    // Null until "Edit identity..." is first used.
    TEDID_Identity* IdentityDialog() const { return IdentityDialog_; }
    QLabel* ConformityLabel() const { return ConformityLabel_; }
    QLabel* DecodeStatus() const { return DecodeStatus_; }
    QPlainTextEdit* Report() const { return Report_; }
    QPushButton* CopyReport() const { return CopyReport_; }
    EdidDecodeRun* decoder() const { return decoder_; }
    // The bytes last handed to edid-decode: the blocks in use.
    QByteArray decodedBytes() const { return decodedBytes_; }

    // Reads the image again; edid-decode runs again when the window is shown.
    void refresh();
    void FixChecksumsClick();
    void EditIdentityClick();
    void CopyReportClick();
    // Summary, checksum lines and edid-decode's report as one text.
    QString reportText() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void startDecode();
    void showDecodeResult();
    void showBlocks(const EdidInfo& info);

    LinkEngine& engine_;
    EdidDecodeRun* decoder_;
    QPlainTextEdit* Summary_;
    std::array<QLabel*, EdidInfo::ImageBlocks> BlockLabels_{};
    QPushButton* FixChecksums_;
    QLabel* FixNote_;
    QPushButton* EditIdentity_;
    QPlainTextEdit* IdentityChanges_;
    TEDID_Identity* IdentityDialog_ = nullptr;
    QLabel* ConformityLabel_;
    QLabel* DecodeStatus_;
    QPlainTextEdit* Report_;
    QPushButton* CopyReport_;
    QPushButton* CloseButton_;
    QByteArray decodedBytes_;
    // The image changed while the window was hidden: decode it when it shows.
    bool decodeStale_ = true;
};
