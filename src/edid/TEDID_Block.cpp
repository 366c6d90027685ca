#include "edid/TEDID_Block.h"

#include "link/LinkEngine.h"

TEDID_Block::TEDID_Block(LinkEngine& engine, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      engine_(engine) {
    setObjectName(QStringLiteral("EDID_Block"));
    setWindowTitle(QStringLiteral("EDID Memory"));
    setAccessibleName(QStringLiteral("EDID Memory"));
    resize(FormWidth, FormHeight);
}
