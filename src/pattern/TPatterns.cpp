#include "pattern/TPatterns.h"

#include "link/LinkEngine.h"

TPatterns::TPatterns(LinkEngine& engine, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      engine_(engine) {
    setObjectName(QStringLiteral("Patterns"));
    setWindowTitle(QStringLiteral("Patterns"));
    setAccessibleName(QStringLiteral("Patterns"));
    setFixedSize(FormWidth, FormHeight);
}
