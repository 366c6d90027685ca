#pragma once

#include <QWidget>
#include <functional>

class QToolButton;

// A pair of arrow buttons, one above the other, with no field of its own: each press reports
// its direction and the form decides what it means. Holding a button repeats the press.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    enum class Direction { None, Up, Down };

    // name is the designer name, used as the accessible name ("<name> up", "<name> down" for
    // the two arrows).
    TUpDown(const char* name, QWidget* parent);

    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }
    // A press of one arrow, as if clicked.
    void press(Direction direction);

    std::function<void(Direction)> OnChangingEx;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QToolButton* up_;
    QToolButton* down_;
};
