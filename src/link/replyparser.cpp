#include "link/replyparser.h"

bool IsAllDigit(QStringView text) {
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

bool parseStep(QString& inputLine, QString* shownAzimuth) {
    if (!inputLine.startsWith(u'A')) {
        if (!inputLine.isEmpty())
            inputLine.remove(0, 1);
        return false;
    }
    const bool complete = inputLine.size() > 5 && inputLine.startsWith(QLatin1String("AZ=")) &&
                          IsAllDigit(QStringView(inputLine).mid(3, 3));
    if (complete) {
        int v = QStringView(inputLine).mid(3, 3).toInt();
        if (v >= 360)
            v -= 360;
        if (shownAzimuth)
            *shownAzimuth = QString::number(v);
        inputLine.remove(0, 6);
        return true;
    }
    if (inputLine.size() > 5)
        inputLine.remove(0, 1);
    return false;
}
