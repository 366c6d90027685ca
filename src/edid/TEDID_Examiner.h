#pragma once

#include <QByteArray>
#include <QColor>
#include <QDialog>
#include <QString>
#include <array>
#include <functional>

#include "edid/EdidInfo.h"

class EdidDecodeRun;
class LinkEngine;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class TEDID_Identity;

// What the EDID image declares, whether each block's checksum holds, which built-in timings
// its modes declare, and edid-decode's full report of it. Non-modal; created once, hidden, and
// only hidden when closed. It follows the image through refresh(), which the main window calls
// whenever the image has changed. Nothing here changes the image except "Fix checksums" and
// "Edit identity...".
class TEDID_Examiner : public QDialog {
    Q_OBJECT
public:
    static constexpr int FormWidth = 640;
    static constexpr int FormHeight = 760;
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
    QGroupBox* DeclaredGroup() const { return DeclaredGroup_; }
    QPlainTextEdit* DeclaredList() const { return DeclaredList_; }
    QPushButton* MarkInTimings() const { return MarkInTimings_; }
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
    // Marks the declared built-in timings in TimingSelection and has OnMarkTimings open the
    // timing selection dialog; nothing is sent.
    void MarkInTimingsClick();
    void EditIdentityClick();
    void CopyReportClick();
    // Summary, checksum lines, the built-in timings declared and edid-decode's report as one
    // text.
    QString reportText() const;

    // Opens Edit > Timing (set by the program's windows).
    std::function<void()> OnMarkTimings;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void startDecode();
    void showDecodeResult();
    void showBlocks(const EdidInfo& info);
    void showDeclared();

    LinkEngine& engine_;
    EdidDecodeRun* decoder_;
    QPlainTextEdit* Summary_;
    std::array<QLabel*, EdidInfo::ImageBlocks> BlockLabels_{};
    QPushButton* FixChecksums_;
    QLabel* FixNote_;
    QGroupBox* DeclaredGroup_;
    QPlainTextEdit* DeclaredList_;
    QPushButton* MarkInTimings_;
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
