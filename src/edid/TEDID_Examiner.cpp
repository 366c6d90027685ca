#include "edid/TEDID_Examiner.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

#include "edid/DeclaredTimings.h"
#include "edid/EdidDecodeRun.h"
#include "edid/EdidDiff.h"
#include "edid/TEDID_Identity.h"
#include "link/LinkEngine.h"
#include "ui/FormControls.h"
#include "ui/VerdictStyle.h"

const QString TEDID_Examiner::Caption = QStringLiteral("EDID Inspector");
const QColor TEDID_Examiner::SoundColor(VerdictStyle::Pass);
const QColor TEDID_Examiner::FailColor(VerdictStyle::Fail);
const QColor TEDID_Examiner::UnusedColor(110, 110, 110);

namespace {

constexpr int TextPixels = 13;
constexpr int ConformityPixels = 16;
constexpr int SummaryLines = 9;
constexpr int DeclaredLines = 8;  // at least, shown without scrolling

QPlainTextEdit* readOnlyText(QWidget* parent, const char* name, const QString& accessible) {
    auto* text = new QPlainTextEdit(parent);
    text->setObjectName(QLatin1String(name));
    text->setAccessibleName(accessible);
    text->setReadOnly(true);
    // Selectable and copyable with the keyboard too.
    text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(TextPixels);
    text->setFont(mono);
    return text;
}

QLabel* statusLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    // Until it has something to say, the designer name.
    label->setAccessibleName(QLatin1String(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    return label;
}

void setLabel(QLabel* label, const QString& text, const QColor& colour, bool bold) {
    label->setText(text);
    label->setAccessibleName(text);
    VerdictStyle::paintText(label, colour);
    QFont f = label->font();
    f.setBold(bold);
    label->setFont(f);
}

}  // namespace

TEDID_Examiner::TEDID_Examiner(LinkEngine& engine, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      engine_(engine),
      decoder_(new EdidDecodeRun(this)) {
    setObjectName(QStringLiteral("EDID_Examiner"));
    setWindowTitle(Caption);
    setAccessibleName(Caption);
    setModal(false);
    setSizeGripEnabled(true);
    FormControls::setOuterSize(this, QSize(FormWidth, FormHeight), false);

    auto* layout = new QVBoxLayout(this);

    QGroupBox* summaryGroup =
        FormControls::group(this, "SummaryGroup", QStringLiteral("Summary"), QRect());
    auto* summaryLayout = new QVBoxLayout(summaryGroup);
    Summary_ = readOnlyText(summaryGroup, "Summary", QStringLiteral("Summary"));
    // Tall enough for every summary line, so that none hides behind a scroll bar.
    Summary_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Summary_->setFixedHeight(Summary_->fontMetrics().lineSpacing() * SummaryLines +
                             2 * int(Summary_->document()->documentMargin()) +
                             2 * Summary_->frameWidth() + 4);
    summaryLayout->addWidget(Summary_);
    layout->addWidget(summaryGroup);

    QGroupBox* checksumGroup =
        FormControls::group(this, "ChecksumGroup", QStringLiteral("Checksums"), QRect());
    auto* checksumLayout = new QGridLayout(checksumGroup);
    for (int i = 0; i < EdidInfo::ImageBlocks; ++i) {
        BlockLabels_[i] = statusLabel(checksumGroup, i == 0 ? "Block0Label" : "Block1Label");
        checksumLayout->addWidget(BlockLabels_[i], i, 0);
    }
    FixChecksums_ = FormControls::button(checksumGroup, "FixChecksums",
                                         QStringLiteral("Fix checksums"), QRect());
    FixChecksums_->setToolTip(
        QStringLiteral("Write the correct checksum byte into each block in use that fails"));
    checksumLayout->addWidget(FixChecksums_, 0, 1, 2, 1, Qt::AlignRight | Qt::AlignVCenter);
    EditIdentity_ = FormControls::button(checksumGroup, "EditIdentity",
                                         QStringLiteral("Edit identity..."), QRect());
    EditIdentity_->setToolTip(QStringLiteral(
        "Change the manufacturer, product code, serial number, date, monitor name or serial text"));
    checksumLayout->addWidget(EditIdentity_, 0, 2, 2, 1, Qt::AlignRight | Qt::AlignVCenter);
    FixNote_ = statusLabel(checksumGroup, "FixNote");
    checksumLayout->addWidget(FixNote_, 2, 0, 1, 3);
    IdentityChanges_ = readOnlyText(checksumGroup, "IdentityChanges", QStringLiteral("Changes"));
    IdentityChanges_->setFixedHeight(IdentityChanges_->fontMetrics().lineSpacing() * 9 +
                                     2 * IdentityChanges_->frameWidth() + 8);
    IdentityChanges_->hide();
    checksumLayout->addWidget(IdentityChanges_, 3, 0, 1, 3);
    checksumLayout->setColumnStretch(0, 1);
    layout->addWidget(checksumGroup);

    DeclaredGroup_ =
        FormControls::group(this, "DeclaredGroup", DeclaredTimings::headingText(0), QRect());
    auto* declaredLayout = new QVBoxLayout(DeclaredGroup_);
    DeclaredList_ =
        readOnlyText(DeclaredGroup_, "DeclaredList", QStringLiteral("Declared built-in timings"));
    DeclaredList_->setMinimumHeight(DeclaredList_->fontMetrics().lineSpacing() * DeclaredLines);
    declaredLayout->addWidget(DeclaredList_, 1);
    MarkInTimings_ = FormControls::button(DeclaredGroup_, "MarkInTimings",
                                          QStringLiteral("Mark in Timings"), QRect());
    MarkInTimings_->setToolTip(
        QStringLiteral("Open Edit > Timing with these timings marked; nothing is sent until "
                       "Upload there"));
    declaredLayout->addWidget(MarkInTimings_, 0, Qt::AlignLeft);
    layout->addWidget(DeclaredGroup_, 1);

    QGroupBox* decodeGroup =
        FormControls::group(this, "DecodeGroup", QStringLiteral("edid-decode -c"), QRect());
    auto* decodeLayout = new QVBoxLayout(decodeGroup);
    ConformityLabel_ = statusLabel(decodeGroup, "ConformityLabel");
    QFont big = ConformityLabel_->font();
    big.setPixelSize(ConformityPixels);
    ConformityLabel_->setFont(big);
    decodeLayout->addWidget(ConformityLabel_);
    DecodeStatus_ = statusLabel(decodeGroup, "DecodeStatus");
    decodeLayout->addWidget(DecodeStatus_);
    Report_ = readOnlyText(decodeGroup, "Report", QStringLiteral("Report"));
    decodeLayout->addWidget(Report_, 1);
    layout->addWidget(decodeGroup, 1);

    auto* buttons = new QHBoxLayout;
    CopyReport_ = FormControls::button(this, "CopyReport", QStringLiteral("Copy Report"), QRect());
    CopyReport_->setToolTip(
        QStringLiteral("Copy the summary, the checksums and edid-decode's report"));
    CloseButton_ = FormControls::button(this, "CloseButton", QStringLiteral("Close"), QRect());
    buttons->addWidget(CopyReport_);
    buttons->addStretch(1);
    buttons->addWidget(CloseButton_);
    layout->addLayout(buttons);

    connect(FixChecksums_, &QPushButton::clicked, this, &TEDID_Examiner::FixChecksumsClick);
    connect(MarkInTimings_, &QPushButton::clicked, this, &TEDID_Examiner::MarkInTimingsClick);
    connect(EditIdentity_, &QPushButton::clicked, this, &TEDID_Examiner::EditIdentityClick);
    connect(CopyReport_, &QPushButton::clicked, this, &TEDID_Examiner::CopyReportClick);
    connect(CloseButton_, &QPushButton::clicked, this, &QDialog::close);
    connect(decoder_, &EdidDecodeRun::finished, this, &TEDID_Examiner::showDecodeResult);

    refresh();
}

TEDID_Examiner::~TEDID_Examiner() = default;

void TEDID_Examiner::refresh() {
    const EdidInfo info(engine_.edid());
    const QStringList lines = info.summaryLines();
    // The block lines stand in the checksum group, in colour.
    Summary_->setPlainText(lines.mid(0, lines.size() - EdidInfo::ImageBlocks).join('\n'));
    showBlocks(info);
    showDeclared();
    FixNote_->clear();
    // Nothing to say: the control keeps its designer name.
    FixNote_->setAccessibleName(FixNote_->objectName());
    IdentityChanges_->hide();
    decodeStale_ = true;
    if (isVisible())
        startDecode();
}

void TEDID_Examiner::showBlocks(const EdidInfo& info) {
    for (int i = 0; i < EdidInfo::ImageBlocks; ++i) {
        const EdidInfo::Block& b = info.block(i);
        const QColor colour = !b.inUse ? UnusedColor : b.sound() ? SoundColor : FailColor;
        setLabel(BlockLabels_[i], info.blockLine(i), colour, b.inUse && !b.sound());
    }
    FixChecksums_->setEnabled(!info.checksumsSound());
}

void TEDID_Examiner::showDeclared() {
    const DeclaredTimings declared(engine_.edid());
    const QList<int> numbers = declared.numbers();
    const QString heading = DeclaredTimings::headingText(int(numbers.size()));
    DeclaredGroup_->setTitle(heading);
    DeclaredGroup_->setAccessibleName(heading);
    QStringList lines = declared.declaredLines();
    if (numbers.isEmpty())
        lines << QStringLiteral("This EDID declares none of the %1 built-in timings.")
                     .arg(TimingCount);
    const QStringList others = declared.unmatchedLines();
    lines << QString()
          << QStringLiteral("Modes without a built-in timing: %1")
                 .arg(others.isEmpty() ? QStringLiteral("none") : QString::number(others.size()));
    lines << others;
    if (!declared.modes().notes().isEmpty())
        lines << QString() << declared.modes().notes();
    DeclaredList_->setPlainText(lines.join(QLatin1Char('\n')));
    MarkInTimings_->setEnabled(!numbers.isEmpty());
}

void TEDID_Examiner::MarkInTimingsClick() {
    const DeclaredTimings declared(engine_.edid());
    if (declared.numbers().isEmpty())
        return;
    // Exactly these rows; the dialog clears its marks again when it closes.
    engine_.data().TimingSelection = declared.selection();
    if (OnMarkTimings)
        OnMarkTimings();
}

void TEDID_Examiner::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (decodeStale_)
        startDecode();
    // Centred over a main window near the top of a small screen, the caption would be above
    // it; once the frame is known, bring it down.
    QTimer::singleShot(0, this, [this] {
        const QRect frame = frameGeometry();
        const QScreen* s = screen();
        if (s && frame.top() < s->availableGeometry().top())
            move(x(), y() + s->availableGeometry().top() - frame.top());
    });
}

void TEDID_Examiner::startDecode() {
    decodeStale_ = false;
    const EdidInfo info(engine_.edid());
    // Only the blocks in use: a block 1 that byte 126 does not announce is not part of it.
    const int blocks = info.block(1).inUse ? 2 : 1;
    decodedBytes_ = QByteArray(reinterpret_cast<const char*>(engine_.edid().data()),
                               blocks * EdidInfo::BlockSize);
    setLabel(ConformityLabel_, QStringLiteral("EDID conformity: being checked..."),
             palette().color(QPalette::WindowText), false);
    DecodeStatus_->setText(QStringLiteral("edid-decode is decoding the image..."));
    DecodeStatus_->setAccessibleName(DecodeStatus_->text());
    Report_->clear();
    decoder_->start(decodedBytes_);
}

void TEDID_Examiner::showDecodeResult() {
    using Outcome = EdidDecodeRun::Outcome;
    const Outcome outcome = decoder_->outcome();
    const QString conformity = decoder_->conformityLine();
    if (!conformity.isEmpty()) {
        const bool pass = conformity.endsWith(QLatin1String("PASS"));
        setLabel(ConformityLabel_, conformity, pass ? SoundColor : FailColor, true);
    } else if (outcome == Outcome::Missing) {
        setLabel(ConformityLabel_,
                 QStringLiteral("EDID conformity: not checked (edid-decode is not installed)"),
                 UnusedColor, true);
    } else {
        setLabel(ConformityLabel_, QStringLiteral("EDID conformity: not known"), FailColor, true);
    }
    DecodeStatus_->setText(decoder_->outcomeText());
    DecodeStatus_->setAccessibleName(DecodeStatus_->text());
    Report_->setPlainText(outcome == Outcome::Missing ? EdidDecodeRun::InstallHint
                                                      : decoder_->report());
}

void TEDID_Examiner::FixChecksumsClick() {
    EdidImage& image = engine_.edid();
    const EdidImage before = image;
    const QList<int> fixed = EdidInfo::fixChecksums(image);
    if (fixed.isEmpty())
        return;
    refresh();
    QStringList done;
    for (int b : fixed) {
        const int at = b * EdidInfo::BlockSize + EdidInfo::BlockSize - 1;
        done << QStringLiteral("block %1's checksum byte (offset %2) from %3 to %4")
                    .arg(b)
                    .arg(at)
                    .arg(EdidInfo::hexByte(before[at]), EdidInfo::hexByte(image[at]));
    }
    const QString note = QStringLiteral("Changed %1.").arg(done.join(QStringLiteral(" and ")));
    FixNote_->setText(note);
    FixNote_->setAccessibleName(note);
}

void TEDID_Examiner::EditIdentityClick() {
    EdidImage image = engine_.edid();
    const EdidImage before = image;
    // Made on first use: most sessions never edit an identity.
    if (!IdentityDialog_)
        IdentityDialog_ = new TEDID_Identity(this);
    if (!IdentityDialog_->edit(image))
        return;
    engine_.edid() = image;
    refresh();
    const auto bytes = [](const EdidImage& i) {
        return QByteArray(reinterpret_cast<const char*>(i.data()), qsizetype(i.size()));
    };
    IdentityChanges_->setPlainText(
        EdidDiff::report(bytes(before), bytes(image)).join(QLatin1Char('\n')));
    IdentityChanges_->show();
}

QString TEDID_Examiner::reportText() const {
    QStringList parts{Summary_->toPlainText()};
    for (QLabel* l : BlockLabels_) parts << l->text();
    parts << QString() << DeclaredGroup_->title() << DeclaredList_->toPlainText();
    parts << QString() << ConformityLabel_->text() << DecodeStatus_->text() << QString()
          << Report_->toPlainText();
    return parts.join(QLatin1Char('\n'));
}

void TEDID_Examiner::CopyReportClick() {
    QApplication::clipboard()->setText(reportText());
}
