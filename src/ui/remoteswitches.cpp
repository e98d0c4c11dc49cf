#include "ui/remoteswitches.h"

QString RemoteSwitches::offCaption(int number) { return QStringLiteral("SW%1").arg(number); }

QString RemoteSwitches::caption(int number) const {
    return isOn(number) ? QStringLiteral("ON") : offCaption(number);
}

QString RemoteSwitches::toggle(int number) {
    bool& on = m_on.at(index(number));
    on = !on;
    return QStringLiteral("Y%1%2").arg(number).arg(on ? 1 : 0);
}
