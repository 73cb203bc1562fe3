#ifndef MACHINEDESCRIPTION_H
#define MACHINEDESCRIPTION_H

// A few lines that say which machine and which Qt a benchmark run used.

#include <QString>

namespace MachineDescription {

QString markdown();

} // namespace MachineDescription

#endif // MACHINEDESCRIPTION_H
