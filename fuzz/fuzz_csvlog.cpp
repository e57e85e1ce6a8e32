// Any bytes as a test-run log opened as a past run: the reader, and what the
// chart window does with what it took (decimation, the summary, the report).
#include "plot/csvlogreader.h"
#include "plot/decimator.h"
#include "plot/runsummary.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CsvLogReader reader;
    // Two pieces, so that a line cut between reads is exercised too.
    const size_t cut = size > 0 ? data[0] % (size + 1) : 0;
    reader.feed(reinterpret_cast<const char *>(data), cut);
    reader.feed(reinterpret_cast<const char *>(data) + cut, size - cut);
    reader.finish();

    const PointStore &points = reader.points();
    MinMaxDecimator decimator(8);
    for (int r = 0; r < points.size(); ++r) {
        PointStore::Values row;
        for (int s = 0; s < PointStore::Series; ++s)
            row[size_t(s)] = points.value(r, s);
        decimator.add(points.time(r), row);
    }
    for (int s = 0; s < PointStore::Series; ++s) {
        if (decimator.points(s).size() > 2 * decimator.bucketCount())
            __builtin_trap();
    }
    const RunSummary summary = RunSummary::of(points);
    if (summary.rows != points.size())
        __builtin_trap();
    (void)RunSummary::durationText(summary.durationMs);
    (void)reader.report(QStringLiteral("fuzz.csv"));
    return 0;
}
