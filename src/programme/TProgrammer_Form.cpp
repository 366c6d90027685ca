#include "programme/TProgrammer_Form.h"

#include "link/LinkEngine.h"

TProgrammer_Form::TProgrammer_Form(LinkEngine& engine, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      engine_(engine) {
    setObjectName(QStringLiteral("Programmer_Form"));
    setWindowTitle(QStringLiteral("Program"));
    setAccessibleName(QStringLiteral("Program"));
    setFixedSize(FormWidth, FormHeight);
}
