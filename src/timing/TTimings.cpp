#include "timing/TTimings.h"

#include "link/LinkEngine.h"

TTimings::TTimings(LinkEngine& engine, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      engine_(engine) {
    setObjectName(QStringLiteral("Timings"));
    setWindowTitle(QStringLiteral("Timings"));
    setAccessibleName(QStringLiteral("Timings"));
    setFixedSize(FormWidth, FormHeight);
    move(222, 177);
}
