#pragma once

#include <QLabel>

class TStatusBar;

// One fixed-width panel of TStatusBar. It keeps its own text and style; an owner-drawn panel
// is painted by the bar's draw handler. The label text (and accessible name) is what the
// operator actually sees, which for an owner-drawn panel is decided by that handler.
class TStatusPanel : public QLabel {
    Q_OBJECT
public:
    enum class Style { Text, OwnerDraw };

    TStatusPanel(TStatusBar& bar, int index);

    int index() const { return index_; }
    int panelWidth() const { return width_; }
    void setPanelWidth(int w) { width_ = w; }
    QString panelText() const { return panelText_; }
    void setPanelText(const QString& text);
    Style panelStyle() const { return style_; }
    void setPanelStyle(Style s);
    // The text as shown, for assistive technology and tests.
    void setShownText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TStatusBar& bar_;
    int index_;
    int width_ = 50;
    QString panelText_;
    Style style_ = Style::Text;
};
