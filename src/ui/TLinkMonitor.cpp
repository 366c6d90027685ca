#include "ui/TLinkMonitor.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "files/SafeFile.h"
#include "link/TappedLine.h"
#include "ui/FormControls.h"
#include "ui/TMainForm.h"

const QString TLinkMonitor::Caption = QStringLiteral("Link Monitor");
const QString TLinkMonitor::FileFilter = QStringLiteral("Text files (*.txt);;All files (*)");

namespace {

constexpr int ControlText = 16;  // pixel height of the buttons' and the status line's Arial
const QString DefaultFileName = QStringLiteral("link-record.txt");

}  // namespace

TLinkMonitor::TLinkMonitor(TappedLine& tap, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      tap_(tap) {
    setObjectName(QStringLiteral("LinkMonitor"));
    setModal(false);
    setSizeGripEnabled(true);
    setWindowTitle(Caption);
    setAccessibleName(Caption);
    FormControls::setOuterSize(this, QSize(FormWidth, FormHeight), false);
    move(FormLeft, FormTop);

    PauseButton_ = FormControls::button(this, "PauseButton", QStringLiteral("Pause"), QRect());
    // Pressed in while the view is held, so that the state shows and screen readers tell it.
    PauseButton_->setCheckable(true);
    ClearButton_ = FormControls::button(this, "ClearButton", QStringLiteral("Clear"), QRect());
    SaveButton_ = FormControls::button(this, "SaveButton", QStringLiteral("Save..."), QRect());
    for (QPushButton* b : {PauseButton_, ClearButton_, SaveButton_})
        b->setFont(FormControls::arial(ControlText));
    PauseButton_->setToolTip(
        QStringLiteral("Hold the view; what goes over the line meanwhile "
                       "is shown when Pause is released"));
    ClearButton_->setToolTip(QStringLiteral("Empty the view and forget what was recorded"));
    SaveButton_->setToolTip(QStringLiteral("Save the lines shown as a text file"));

    LinkRecord_ = new QPlainTextEdit(this);
    LinkRecord_->setObjectName(QStringLiteral("LinkRecord"));
    LinkRecord_->setAccessibleName(QStringLiteral("Link record"));
    LinkRecord_->setReadOnly(true);
    // Appends only: an undo history would keep every one of them.
    LinkRecord_->setUndoRedoEnabled(false);
    LinkRecord_->setLineWrapMode(QPlainTextEdit::NoWrap);
    LinkRecord_->setMaximumBlockCount(MaxLines);
    LinkRecord_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Lines can be selected and copied with the keyboard as well as the mouse.
    LinkRecord_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    StatusLabel_ = FormControls::label(this, "StatusLabel", QString(), QRect());
    StatusLabel_->setFont(FormControls::arial(ControlText));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(PauseButton_);
    buttons->addWidget(ClearButton_);
    buttons->addWidget(SaveButton_);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(LinkRecord_, 1);
    layout->addWidget(StatusLabel_);
    setFocusProxy(LinkRecord_);

    connect(PauseButton_, &QPushButton::clicked, this, &TLinkMonitor::PauseButtonClick);
    connect(ClearButton_, &QPushButton::clicked, this, &TLinkMonitor::ClearButtonClick);
    connect(SaveButton_, &QPushButton::clicked, this, &TLinkMonitor::SaveButtonClick);

    PullTimer_ = new QTimer(this);
    PullTimer_->setObjectName(QStringLiteral("PullTimer"));
    PullTimer_->setInterval(PullMs);
    connect(PullTimer_, &QTimer::timeout, this, &TLinkMonitor::pull);

    refreshStatus();
}

void TLinkMonitor::showMonitor() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void TLinkMonitor::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    PullTimer_->start();
    // Once the window has its size, so that the view can scroll to its last line.
    QTimer::singleShot(0, this, &TLinkMonitor::pull);
}

void TLinkMonitor::hideEvent(QHideEvent* event) {
    // Closed or minimised, nobody looks: the tap keeps recording, bounded, and the next showing
    // takes what it holds.
    PullTimer_->stop();
    QDialog::hideEvent(event);
}

bool TLinkMonitor::paused() const {
    return PauseButton_->isChecked();
}

void TLinkMonitor::pull() {
    if (paused()) {
        refreshStatus();
        return;
    }
    quint64 next = next_;
    const std::vector<TappedLine::Event> events = tap_.eventsSince(next_, &next);
    const quint64 firstHeld = next - events.size();
    std::vector<LinkTrace::Line> lines;
    QStringList texts;
    auto take = [&] {
        for (const LinkTrace::Line& line : lines) texts << trace_.format(line);
        lines.clear();
    };
    if (firstHeld > next_) {
        // The ring overflowed while the view was held or closed: say where, and how much.
        trace_.flush(lines);
        take();
        const quint64 lost = firstHeld - next_;
        missed_ += lost;
        texts << QStringLiteral(
                     "--- %1 events not shown: dropped from the record, which keeps "
                     "the last %2 ---")
                     .arg(lost)
                     .arg(tap_.capacity());
    }
    for (const TappedLine::Event& e : events) trace_.feed(e, lines);
    // A frame or a framed byte goes out in one piece, between two runs of this timer. Bytes
    // still short of theirs after a quiet interval were cut off; show them as they are.
    if (events.empty() && trace_.pending())
        trace_.flush(lines);
    take();
    next_ = next;
    if (!texts.isEmpty())
        append(texts);
    refreshStatus();
}

void TLinkMonitor::append(const QStringList& texts) {
    QScrollBar* bar = LinkRecord_->verticalScrollBar();
    const bool atBottom = bar->value() >= bar->maximum();
    const int scrolledTo = bar->value();
    const int before = LinkRecord_->document()->isEmpty() ? 0 : LinkRecord_->blockCount();
    // One edit for the whole batch: one layout and one repaint.
    LinkRecord_->appendPlainText(texts.join(QLatin1Char('\n')));
    if (atBottom) {
        bar->setValue(bar->maximum());
    } else {
        // Scrolled back, the operator keeps reading the same lines, also when the oldest leave
        // the view at the top (the scroll bar of this view counts lines).
        const int removed = std::max(0, before + int(texts.size()) - MaxLines);
        bar->setValue(std::max(0, scrolledTo - removed));
    }
}

void TLinkMonitor::refreshStatus() {
    const int lines = LinkRecord_->document()->isEmpty() ? 0 : LinkRecord_->blockCount();
    QStringList parts;
    parts << (lines == 1 ? QStringLiteral("1 line") : QStringLiteral("%1 lines").arg(lines));
    if (paused()) {
        const quint64 waiting = tap_.recorded() > next_ ? tap_.recorded() - next_ : 0;
        parts << QStringLiteral("paused, %1 new events not shown yet").arg(waiting);
    }
    if (tap_.dropped() > 0) {
        QString full = QStringLiteral("the record keeps the last %1 events: %2 older ones dropped")
                           .arg(tap_.capacity())
                           .arg(tap_.dropped());
        if (missed_ > 0)
            full += QStringLiteral(", %1 of them before they were shown").arg(missed_);
        parts << full;
    }
    QString text = parts.join(QStringLiteral("; "));
    text[0] = text[0].toUpper();
    if (StatusLabel_->text() != text) {
        StatusLabel_->setText(text);
        StatusLabel_->setAccessibleName(text);
    }
}

void TLinkMonitor::PauseButtonClick() {
    // Released: what was recorded meanwhile is shown at once.
    pull();
}

void TLinkMonitor::ClearButtonClick() {
    // What was recorded but not shown yet is read and thrown away, so that a data byte sent
    // after the clearing is still put down to the command whose frame went before it.
    std::vector<LinkTrace::Line> discarded;
    for (const TappedLine::Event& e : tap_.eventsSince(next_, nullptr)) trace_.feed(e, discarded);
    trace_.flush(discarded);
    trace_.restartClock();
    tap_.clear();
    next_ = tap_.recorded();
    missed_ = 0;
    LinkRecord_->clear();
    refreshStatus();
}

void TLinkMonitor::SaveButtonClick() {
    const QString path = chooseFile();
    if (path.isEmpty())
        return;
    QString error;
    if (!saveRecord(path, error)) {
        showMessage(
            QStringLiteral("Cannot save %1: %2").arg(QDir::toNativeSeparators(path), error));
        return;
    }
    lastDir_ = QFileInfo(path).absolutePath();
}

bool TLinkMonitor::saveRecord(const QString& path, QString& error) const {
    // A device or a pipe would be replaced by a file, or could block the program.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir()) {
        error = QStringLiteral("not a regular file");
        return false;
    }
    QString text = LinkRecord_->toPlainText();
    if (!text.isEmpty())
        text += QLatin1Char('\n');
    const QByteArray bytes = text.toUtf8();
    // Complete or not at all: a failure leaves any file of that name as it was.
    if (!SafeFile::replace(path, bytes, error)) {
        error = error.mid(path.size() + 2);
        return false;
    }
    return true;
}

QString TLinkMonitor::chooseFile() {
    if (fileDialogHook_)
        return fileDialogHook_();
    const QString folder = lastDir_.isEmpty() ? QDir::homePath() : lastDir_;
    QFileDialog dialog(this, QStringLiteral("Save Link Record"), folder, FileFilter);
    dialog.setObjectName(QStringLiteral("SaveDialog"));
    // The same dialog on every desktop, and one that screen readers and tests can drive.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.selectFile(DefaultFileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

void TLinkMonitor::showMessage(const QString& text) {
    // Through the main window, which puts its boxes over whatever modal window is up.
    if (auto* main = qobject_cast<TMainForm*>(parentWidget())) {
        main->showMessage(text);
        return;
    }
    QMessageBox::warning(this, QStringLiteral("ORVE-1"), text);
}
