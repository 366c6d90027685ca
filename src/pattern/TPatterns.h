#pragma once

#include <QDialog>

class LinkEngine;

// Marks the patterns the generator offers and uploads that selection.
class TPatterns : public QDialog {
    Q_OBJECT
public:
    static constexpr int FormWidth = 318;
    static constexpr int FormHeight = 399;

    explicit TPatterns(LinkEngine& engine, QWidget* parent = nullptr);

private:
    [[maybe_unused]] LinkEngine& engine_;
};
