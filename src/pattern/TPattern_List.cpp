#include "pattern/TPattern_List.h"

#include "link/LinkEngine.h"

TPattern_List::TPattern_List(LinkEngine& engine, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      engine_(engine) {
    setObjectName(QStringLiteral("Pattern_List"));
    setWindowTitle(QStringLiteral("List of patterns"));
    setAccessibleName(QStringLiteral("List of patterns"));
    setFixedSize(FormWidth, FormHeight);
}
