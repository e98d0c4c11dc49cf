#pragma once

#include <QString>
#include <array>

// The controller's eight remote outputs as the window shows them. The program never
// asks the controller, so this is what the operator last switched.
class RemoteSwitches {
public:
    static constexpr int count = 8;

    bool isOn(int number) const { return m_on.at(index(number)); }
    // "ON" while on, "SW" and the number while off.
    QString caption(int number) const;
    static QString offCaption(int number);
    // Flips switch number (1 to 8) and returns the command that sets the controller's
    // output to the new state: "Y", the number, "1" or "0".
    QString toggle(int number);

private:
    static std::size_t index(int number) { return static_cast<std::size_t>(number - 1); }
    std::array<bool, count> m_on{};
};
