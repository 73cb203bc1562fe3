#ifndef MACHINEDESCRIPTION_H
#define MACHINEDESCRIPTION_H

// A few lines that say which machine and which Qt a benchmark run used.

#include <QString>

namespace MachineDescription {

QString markdown();
// The 1, 5 and 15 minute load averages of the system (/proc/loadavg): the other work the machine
// was doing, which wall-clock times suffer from.
QString loadAverage();

} // namespace MachineDescription

#endif // MACHINEDESCRIPTION_H
