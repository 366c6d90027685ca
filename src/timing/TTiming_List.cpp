#include "timing/TTiming_List.h"

#include "link/LinkEngine.h"

TTiming_List::TTiming_List(LinkEngine& engine, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      engine_(engine) {
    setObjectName(QStringLiteral("Timing_List"));
    setWindowTitle(QStringLiteral("List of Timings"));
    setAccessibleName(QStringLiteral("List of Timings"));
    setFixedSize(FormWidth, FormHeight);
    move(238, 180);
}
