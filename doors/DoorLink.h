#pragma once
// What the controller windows of this folder share: the pause between
// commands, calls on the controller object and the controller's version
// text. The port is opened and
// released through ctl:: (ControllerCalls.h).
#include "com/Com.h"

#include <QString>

namespace doorlink {

// The configured pause between two controller commands (a blocking sleep).
void pause();
// Waits ms milliseconds while the window's events run (no busy loop), for
// pauses inside polling timers that must not freeze the window.
void waitWithEvents(int ms);
// A member of the controller object, by name; by-reference results land in args.
com::Variant call(const QString& member, com::Args& args);

// The parts of the controller's 16-digit version text.
struct MachineVersion {
    QString model;     // characters 1-4
    QString date;      // "20yy-mm-dd"
    QString version;   // "1.2.10": the three two-digit parts without leading zeros
    // The label the settings keep for it: "JQ8096 V5.1.0".
    QString label() const { return QStringLiteral("JQ") + model + QStringLiteral(" V") + version; }
};
MachineVersion parseMachineVersion(const QString& text);

} // namespace doorlink
