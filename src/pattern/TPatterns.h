#pragma once

#include <QDialog>

#include "ui/TFormDialog.h"

class LinkEngine;
class QPainter;
class QPushButton;
class TStringGrid;

// Ticks the patterns the generator offers and uploads that selection. Created once, hidden;
// shown modally; closing it only hides it and clears the ticks.
class TPatterns : public TFormDialog {
    Q_OBJECT
public:
    static constexpr int FormWidth = 318;
    static constexpr int FormHeight = 399;
    static const QString Caption;
    static const QString SelectAllText;
    static const QString UnSelectAllText;
    static const QString TickText;
    static const QString NothingSelectedText;

    explicit TPatterns(LinkEngine& engine, QWidget* parent = nullptr);

    TStringGrid* StringGrid4() const { return StringGrid4_; }
    QPushButton* Button1() const { return Button1_; }
    QPushButton* Patterns_OK() const { return Patterns_OK_; }
    // Set by the first press in the grid and kept for the whole run.
    bool PatternGridClicked() const { return PatternGridClicked_; }

    void StringGrid4MouseDown(Qt::MouseButton button);
    void StringGrid4DrawCell(QPainter& painter, int col, int row, const QRect& rect);
    void Button1Click();
    void Patterns_OKClick();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    // Clears the ticks, unless an upload is still to read them.
    void clearSelection();
    // Keeps what a screen reader reads in a tick cell equal to what the cell shows.
    void refreshTickCell(int row);
    void message(const QString& text);

    LinkEngine& engine_;
    TStringGrid* StringGrid4_;
    QPushButton* Button1_;
    QPushButton* Patterns_OK_;
    bool PatternGridClicked_ = false;
};
