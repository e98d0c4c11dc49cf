#pragma once

#include <QString>

// True when every character is one of "1234567890"; the empty text gives true.
bool IsAllDigit(QStringView text);

// One step over the receive accumulator: drops a character that cannot start a
// reply, accepts a complete "AZ=ddd" reply (shownAzimuth gets its decimal text,
// 360 and more reduced by 360 once) or waits for more characters. Returns true
// when a reply was accepted.
bool parseStep(QString& inputLine, QString* shownAzimuth);
