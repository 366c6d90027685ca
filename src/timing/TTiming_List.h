#pragma once

#include <QDialog>

class LinkEngine;

// Lists all timings with their rates; a double-click picks one for the timing window.
class TTiming_List : public QDialog {
    Q_OBJECT
public:
    static constexpr int FormWidth = 588;
    static constexpr int FormHeight = 512;

    explicit TTiming_List(LinkEngine& engine, QWidget* parent = nullptr);

private:
    [[maybe_unused]] LinkEngine& engine_;
};
