#pragma once

#include <QDialog>

class LinkEngine;

// Lists all patterns; a double-click picks one for the pattern window.
class TPattern_List : public QDialog {
    Q_OBJECT
public:
    static constexpr int FormWidth = 338;
    static constexpr int FormHeight = 474;

    explicit TPattern_List(LinkEngine& engine, QWidget* parent = nullptr);

private:
    [[maybe_unused]] LinkEngine& engine_;
};
