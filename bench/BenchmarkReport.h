#ifndef BENCHMARKREPORT_H
#define BENCHMARKREPORT_H

// Collects the measurements of one benchmark run and renders them as Markdown tables: reading,
// saving, cost per byte, instruction counts and the goals.

#include "MeasuredOperation.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

struct BenchmarkMap
{
    QString label; // "small", "medium", "large", "legacy"
    bool legacy = false;
    QString path;
    qint64 bytes = 0;
    QString description; // what the map holds
};

class BenchmarkReport
{
public:
    void addMap(const BenchmarkMap &map);
    void addResult(const QString &mapLabel, Operation operation, const OperationResult &result);
    void addInstructions(const QString &mapLabel, Operation operation, qint64 instructions);

    QString markdown() const;

private:
    struct Key
    {
        QString map;
        Operation operation;
        bool operator<(const Key &other) const
        {
            return map != other.map ? map < other.map : operation < other.operation;
        }
    };

    QString mapsTable() const;
    QString readingTable(const BenchmarkMap &map) const;
    QString savingTable(const BenchmarkMap &map) const;
    QString costPerByteTable() const;
    QString instructionsTable() const;
    QString goals() const;

    bool has(const QString &map, Operation operation) const;
    double medianMilliseconds(const QString &map, Operation operation) const;
    double medianCpuMilliseconds(const QString &map, Operation operation) const;
    double medianPeakMB(const QString &map, Operation operation) const;
    double medianRetainedMB(const QString &map, Operation operation) const;
    qint64 bytes(const QString &map, Operation operation) const;

    QList<BenchmarkMap> maps;
    QMap<Key, QList<OperationResult>> results;
    QMap<Key, qint64> instructions;
};

#endif // BENCHMARKREPORT_H
