#pragma once

#include "platform/mscomm.h"
#include "ui/remoteswitches.h"

#include <QString>
#include <QWidget>
#include <array>
#include <memory>

class MapPicture;
struct ExtractedFields;
class TabControl;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The program's one window. Its controls keep their window names; its handlers and
// routines are defined beside the subsystem they belong to: start-up and
// registration in app/, the link in link/, the map in map/, layout and switches
// in ui/.
class Form1 : public QWidget {
    Q_OBJECT
public:
    // Takes the serial port service; without one it uses the system's serial ports.
    explicit Form1(std::unique_ptr<MSComm> port = nullptr, QWidget* parent = nullptr);
    ~Form1() override;

    // Font substitutes for the Japanese system fonts the window names, and the
    // widget style that shows the controls' colours.
    static void prepareApplication();

    // The start-up sequence. False when it ended the program (first start, or a
    // settings file that cannot be read or written).
    bool load();
    bool programEnded() const { return m_programEnded; }

    // --- Controls -----------------------------------------------------------------
    QLabel* Label1 = nullptr;
    std::array<QLabel*, 6> Label2{}; // elements 0, 2, 4 and 5 exist
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* Command6 = nullptr;
    QPushButton* Command7 = nullptr;
    QPushButton* Command8 = nullptr;
    QPushButton* Command9 = nullptr;
    QPushButton* Command10 = nullptr;
    QPushButton* Command11 = nullptr;
    QPushButton* Command12 = nullptr;
    QPushButton* Command13 = nullptr;
    QPushButton* Command14 = nullptr;
    QPushButton* Command15 = nullptr;
    QPushButton* Command16 = nullptr;
    QPushButton* Command17 = nullptr;
    QPushButton* Command18 = nullptr;
    QPushButton* Command19 = nullptr;
    QPushButton* Command20 = nullptr;
    QPushButton* Command21 = nullptr;
    QPushButton* Command22 = nullptr;
    QPushButton* Command23 = nullptr;
    QPushButton* Command24 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text5 = nullptr;
    QCheckBox* Check1 = nullptr;
    QComboBox* Combo1 = nullptr;
    std::array<QRadioButton*, 5> Option1{};
    MapPicture* Picture1 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QGroupBox* Frame4 = nullptr;
    TabControl* SSTab1 = nullptr;
    MSComm* MSComm1 = nullptr;

    // The primary switch button of switch n (1 to 8) and its twin on the panel.
    QPushButton* primarySwitchButton(int n) const;
    QPushButton* panelSwitchButton(int n) const;

    // --- Members ------------------------------------------------------------------
    QString inputLine;
    QString startingUp;
    QString settingsFileName;
    QString portNo;
    QString lineSettings;
    QString pictureNo;
    QString controlPosition;
    qint16 headingLineWidth = 3;

    // --- Routines -----------------------------------------------------------------
    // Link
    void listSerialPorts();
    void openLink(const QString& portText, const QString& settingsText);
    void closeLink();
    void armReceive();
    void showPortState();
    void showPortClosed();
    bool sendCommand(const QString& text);
    // Settings
    void registerSettings();
    // Layout
    void selectMapPicture(int index);
    void layoutSwitchPanel();
    // Map
    void fullRedraw();
    void drawCommandLine();
    // Label5, the last commanded azimuth, and the command line drawn for it.
    void setLastCommandedAzimuth(const QString& text);

    // Outer window size in twips, as the layout arithmetic reads and sets it.
    int windowHeightTwips() const;
    int windowWidthTwips() const;
    void setWindowHeightTwips(int twips);
    void setWindowWidthTwips(int twips);
    int tabHeightTwips() const { return m_tabHeightTwips; }
    int tabWidthTwips() const { return m_tabWidthTwips; }
    void setTabHeightTwips(int twips);
    void setTabWidthTwips(int twips);
    int command6LeftTwips() const { return m_command6LeftTwips; }
    int frame4TopTwips() const { return m_frame4TopTwips; }
    // Picture1's inner height and outer size in twips.
    int pictureInnerHeightTwips() const;
    int pictureOuterWidthTwips() const;
    int pictureOuterHeightTwips() const;

    // --- Handlers -----------------------------------------------------------------
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command8_Click();
    void Command9_Click();
    void toggleSwitch(int n);      // click of a primary switch button
    void panelSwitchClick(int n);  // click of a panel switch button
    void Check1_Click();
    void Combo1_Click(int row);
    void Option1_Click(int index);
    void SSTab1_Click();
    void Picture1_Click(int x, int y);
    void MSComm1_OnComm();
    void Label4_Change();

private:
    void createControls();
    void connectHandlers();
    void setLabel4(const QString& text);
    void setSwitchButtonColour(QPushButton* button, bool on);
    bool loadPicture(const QString& fileName);
    void endProgram(const QString& message);
    void portLost();
    bool readSettingsFile();
    void createDefaultFile();
    void recreateFromOldLine();
    void applyLinkFields(const ExtractedFields& fields);
    bool writeSettings(const QString& dataLine);
    void refreshOverlay();

    std::unique_ptr<MSComm> m_port;
    RemoteSwitches m_switches;
    bool m_programEnded = false;
    bool m_headingDrawn = false;
    int m_windowHeightTwips = 0;
    int m_windowWidthTwips = 0;
    int m_tabHeightTwips = 0;
    int m_tabWidthTwips = 0;
    int m_command6LeftTwips = 2640;
    int m_frame4TopTwips = 3360;
};
