#pragma once

#include <QRect>
#include <QSize>
#include <QString>

class QComboBox;
class QFont;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Makers for the plain controls that every form places by hand, so that each gets its designer
// name, its accessible name and its place in one call.
class FormControls {
public:
    // Arial (or its metric twin) at a height in pixels.
    static QFont arial(int pixelHeight);
    // The accessible name is the caption.
    static QLabel* label(QWidget* parent, const char* name, const QString& text,
                         const QRect& geometry);
    static QPushButton* button(QWidget* parent, const char* name, const QString& text,
                               const QRect& geometry);
    static QGroupBox* group(QWidget* parent, const char* name, const QString& caption,
                            const QRect& geometry);
    // A read-only field; its accessible name is the designer name, and screen readers read
    // its text as the field's value.
    static QLineEdit* readOnlyField(QWidget* parent, const char* name, const QRect& geometry);
    // Keeps a top-level window at an outer size (frame included). The frame is only known once
    // the window system has framed the window, so the client size is corrected on showing.
    // With fixed set the operator cannot resize the window.
    static void setOuterSize(QWidget* window, const QSize& outer, bool fixed);
};
