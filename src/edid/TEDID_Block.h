#pragma once

#include <QDialog>

class LinkEngine;

// Shows the EDID image as a grid of hexadecimal bytes for editing.
class TEDID_Block : public QDialog {
    Q_OBJECT
public:
    static constexpr int FormWidth = 625;
    static constexpr int FormHeight = 467;

    explicit TEDID_Block(LinkEngine& engine, QWidget* parent = nullptr);

private:
    [[maybe_unused]] LinkEngine& engine_;
};
