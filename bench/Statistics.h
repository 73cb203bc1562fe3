#ifndef STATISTICS_H
#define STATISTICS_H

// Median, least and greatest of a set of repeated measurements.

#include <QVector>

#include <algorithm>

struct Summary
{
    double median = 0;
    double min = 0;
    double max = 0;
    int count = 0;
};

inline Summary summarize(QVector<double> values)
{
    Summary summary;
    summary.count = values.size();
    if (values.isEmpty())
        return summary;
    std::sort(values.begin(), values.end());
    const int middle = values.size() / 2;
    summary.median = values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    summary.min = values.first();
    summary.max = values.last();
    return summary;
}

#endif // STATISTICS_H
