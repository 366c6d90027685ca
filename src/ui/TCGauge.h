#pragma once

#include <QColor>
#include <QProgressBar>

// A horizontal bar gauge: a foreground bar over a background colour, the whole-number
// percentage centred as "N%", inside a single-line border. Built on QProgressBar so that
// assistive technology reads its value.
class TCGauge : public QProgressBar {
    Q_OBJECT
public:
    explicit TCGauge(QWidget* parent = nullptr);

    int MinValue() const { return minimum(); }
    int MaxValue() const { return maximum(); }
    int Progress() const { return value(); }
    void setProgress(int value) { setValue(value); }

    QColor ForeColor() const { return foreColor_; }
    void setForeColor(const QColor& c);
    QColor BackColor() const { return backColor_; }
    void setBackColor(const QColor& c);

    // The shown text, "N%".
    QString percentText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor foreColor_{0, 0, 255};
    QColor backColor_;
};
