#pragma once

#include <QDialog>

#include "ui/TFormDialog.h"

class LinkEngine;
class QPainter;
class TStringGrid;

// "List of Timings": every timing with its rates. A press highlights a row; a double-click
// picks that timing for the timing window and hides the list.
class TTiming_List : public TFormDialog {
    Q_OBJECT
public:
    static constexpr int FormLeft = 238;
    static constexpr int FormTop = 180;
    static constexpr int FormWidth = 588;
    static constexpr int FormHeight = 512;

    explicit TTiming_List(LinkEngine& engine, QWidget* parent = nullptr);

    // "Show List" of the timing window: no row highlighted, shown non-modally in front.
    void showList();

    TStringGrid* StringGrid1() const { return StringGrid1_; }

    // The grid row shown highlighted; 0 or less: none.
    qint8 TimingListHighlightRow = -1;

    void StringGrid1MouseDown();
    void StringGrid1DrawCell(QPainter& painter, int col, int row, const QRect& rect);
    void StringGrid1DblClick();

private:
    void FormCreate();

    LinkEngine& engine_;
    TStringGrid* StringGrid1_;
};
