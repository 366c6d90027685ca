#pragma once

#include <QDialog>

#include "ui/TFormDialog.h"

class LinkEngine;
class QPainter;
class TStringGrid;

// Lists all patterns; a double-click picks one for the pattern window. Created once, hidden;
// closing it only hides it.
class TPattern_List : public TFormDialog {
    Q_OBJECT
public:
    static constexpr int FormWidth = 338;
    static constexpr int FormHeight = 474;
    static const QString Caption;

    explicit TPattern_List(LinkEngine& engine, QWidget* parent = nullptr);

    TStringGrid* StringGrid2() const { return StringGrid2_; }
    // The grid row last pressed with the mouse, -1 before the first press. It outlives the
    // picker's hiding, so a reopened picker shows the same row highlighted.
    qint8 PatternListHighlightRow() const { return PatternListHighlightRow_; }

    void StringGrid2MouseDown(Qt::MouseButton button);
    void StringGrid2DrawCell(QPainter& painter, int col, int row, const QRect& rect);
    void StringGrid2DblClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();

    LinkEngine& engine_;
    TStringGrid* StringGrid2_;
    qint8 PatternListHighlightRow_ = -1;
};
