#pragma once

// The real window, started once per fuzzing process from a settings file in a
// temporary directory, with a fake serial port whose COM3 is present.

#include "fuzzcheck.h"

#include "fakemscomm.h"
#include "formharness.h"

#include <QApplication>
#include <memory>

struct FormRig {
    FormHarness* harness = nullptr;
    Form1* form = nullptr;
    FakeMSComm* port = nullptr;
};

inline FormRig startForm(const char* programName, const QString& dataLine) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char* argv[] = {const_cast<char*>(programName), nullptr};
    // Lives as long as the process: libFuzzer never returns to a point where it
    // could be destroyed in order.
    new QApplication(argc, argv);
    Form1::prepareApplication();

    FormRig rig;
    rig.harness = new FormHarness;
    // A small map keeps the redraw after every shown azimuth cheap.
    rig.harness->writePicture(0, 40, 30);
    rig.harness->writeSettings(dataLine);
    auto port = std::make_unique<FakeMSComm>();
    port->setPortExists(3);
    rig.port = port.get();
    rig.form = &rig.harness->create(std::move(port));
    if (!rig.form->load())
        fuzzFail("start-up goes on", dataLine);
    if (!rig.harness->messages.isEmpty())
        fuzzFail("start-up shows no message", rig.harness->messages.first().text);
    if (!rig.port->PortOpen())
        fuzzFail("start-up opens COM3", dataLine);
    return rig;
}
