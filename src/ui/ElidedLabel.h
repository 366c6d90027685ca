#pragma once

#include <QLabel>

// A one-line label that shows as much of its text as fits, elided as its mode says, with the
// whole text in its tool tip and its accessible name: a long path or reason never widens nor
// heightens its window, whatever it says.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    ElidedLabel(QWidget* parent, const char* name, Qt::TextElideMode mode);

    void setFullText(const QString& text);
    const QString& fullText() const { return full_; }
    // The whole text does not fit.
    bool elided() const { return text() != full_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void elide();

    QString full_;
    Qt::TextElideMode mode_;
};
