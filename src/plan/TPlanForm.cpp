#include "plan/TPlanForm.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "plan/PlanControls.h"
#include "plan/PlanRunner.h"
#include "ui/TMainForm.h"

const QString TPlanForm::Caption = QStringLiteral("Test Plan");

TPlanForm::TPlanForm(LinkEngine& engine, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("PlanForm"));
    setWindowTitle(Caption);
    setAccessibleName(Caption);
    setModal(false);
    resize(FormWidth, FormHeight);

    Tabs_ = PlanControls::named(new QTabWidget(this), "PlanTabs", QStringLiteral("Test plan"));
    editor_ = new TPlanEditor(engine);
    runView_ = new TPlanRunView(engine, *editor_);
    Tabs_->addTab(editor_, QStringLiteral("Plan"));
    Tabs_->addTab(runView_, QStringLiteral("Run"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Tabs_);

    editor_->message = [this](const QString& text, const QString& detail) {
        message(text, detail, nullptr);
    };
    runView_->message = [this](const QString& text, const QString& detail, QWidget* focusAfter) {
        message(text, detail, focusAfter);
    };
    runView_->confirm = [this](const QString& text, const QString& yes, const QString& no,
                               QWidget* focusAfter) { return confirm(text, yes, no, focusAfter); };
    connect(editor_, &TPlanEditor::loaded, this, [this](const QString& path) {
        runView_->planLoaded(path, editor_->plan().reportFolder);
        showTitle();
        // A plan is loaded to be run: the first scan goes straight to Serial.
        Tabs_->setCurrentWidget(runView_);
        runView_->focusSerial();
    });
    runView_->onRunning = [this](bool running) {
        // The plan stays as it was when the run started, until the run ends.
        Tabs_->setTabEnabled(Tabs_->indexOf(editor_), !running);
        editor_->setRunning(running);
        if (running)
            Tabs_->setCurrentWidget(runView_);
    };
}

TPlanForm::~TPlanForm() = default;

bool TPlanForm::startStation(const QString& path, const QString& reportFolder,
                             const QString& operatorName) {
    runView_->setStation(reportFolder, operatorName);
    const bool loaded = editor_->startStation(path);
    showTitle();
    Tabs_->setCurrentWidget(runView_);
    runView_->focusSerial();
    return loaded;
}

void TPlanForm::showTitle() {
    if (!editor_->station())
        return;
    // The plan the station runs, by its name, or by its file while it has none.
    const QString name = editor_->plan().name.isEmpty() ? QFileInfo(editor_->planFile()).fileName()
                                                        : editor_->plan().name;
    setWindowTitle(QStringLiteral("Station: ") + name);
    setAccessibleName(windowTitle());
}

void TPlanForm::mainClosing() {
    runner().stop(RunRecord::End::ProgramClosed);
}

void TPlanForm::closeEvent(QCloseEvent* event) {
    runner().stop(RunRecord::End::WindowClosed);
    QDialog::closeEvent(event);
}

void TPlanForm::keyPressEvent(QKeyEvent* event) {
    // Escape never closes the window: in a run it only closes the note (the Run tab takes it).
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}

void TPlanForm::message(const QString& text, const QString& detail, QWidget* focusAfter) {
    // Through the main window, which the tests hook; the box is this window's own.
    if (auto* main = qobject_cast<TMainForm*>(parentWidget())) {
        main->showMessageIn(this, text, detail, focusAfter);
        return;
    }
    QMessageBox::information(this, QStringLiteral("ORVE-1"),
                             detail.isEmpty() ? text : text + QStringLiteral("\n\n") + detail);
    if (focusAfter)
        focusAfter->setFocus();
}

bool TPlanForm::confirm(const QString& text, const QString& yes, const QString& no,
                        QWidget* focusAfter) {
    if (auto* main = qobject_cast<TMainForm*>(parentWidget()))
        return main->confirmIn(this, text, QString(), yes, focusAfter, no);
    QMessageBox box(QMessageBox::Question, QStringLiteral("ORVE-1"), text, QMessageBox::NoButton,
                    this);
    QPushButton* accept = box.addButton(yes, QMessageBox::YesRole);
    QPushButton* refuse = box.addButton(no, QMessageBox::NoRole);
    box.setDefaultButton(refuse);
    box.setEscapeButton(refuse);
    box.exec();
    if (focusAfter)
        focusAfter->setFocus();
    return box.clickedButton() == accept;
}
