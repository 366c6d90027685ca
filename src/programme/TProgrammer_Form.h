#pragma once

#include <QDialog>

class LinkEngine;

// Edits the generator's automatic run programme and uploads it.
class TProgrammer_Form : public QDialog {
    Q_OBJECT
public:
    static constexpr int FormWidth = 661;
    static constexpr int FormHeight = 414;

    explicit TProgrammer_Form(LinkEngine& engine, QWidget* parent = nullptr);

private:
    [[maybe_unused]] LinkEngine& engine_;
};
