#pragma once

#include <QDialog>

class LinkEngine;

// Marks the timings the generator offers and uploads that selection.
class TTimings : public QDialog {
    Q_OBJECT
public:
    static constexpr int FormWidth = 603;
    static constexpr int FormHeight = 406;

    explicit TTimings(LinkEngine& engine, QWidget* parent = nullptr);

private:
    [[maybe_unused]] LinkEngine& engine_;
};
